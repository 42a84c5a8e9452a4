// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A temporary file for one step of a job. It may hold plain text or
// compressed plain text, so it is deleted on every way out of the step, and
// marked as in use meanwhile so that no other copy of the program removes it.

#include <filesystem>
#include <optional>

#include "platform/temp_files.h"

namespace voltare::app {

class ScratchFile {
 public:
  ScratchFile() : file_(platform::TempFile::Create()) {}
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // False when no temporary name could be had.
  bool Exists() const { return file_.has_value(); }
  const std::filesystem::path& Path() const { return file_->path(); }
  void Delete() { file_.reset(); }

 private:
  std::optional<platform::TempFile> file_;
};

}  // namespace voltare::app
