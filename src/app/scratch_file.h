#pragma once

// A temporary file for one step of a job. It may hold plain text or
// compressed plain text, so it is deleted on every way out of the step.

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/temp_files.h"

namespace voltare::app {

class ScratchFile {
 public:
  ScratchFile() : path_(platform::MakeTempFileName()) {}
  ~ScratchFile() { Delete(); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // False when no temporary name could be had.
  bool Exists() const { return path_.has_value(); }
  const std::filesystem::path& Path() const { return *path_; }
  void Delete() {
    if (path_) ::unlink(path_->c_str());
    path_.reset();
  }

 private:
  std::optional<std::filesystem::path> path_;
};

}  // namespace voltare::app
