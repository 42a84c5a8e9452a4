#pragma once
// A file written under a temporary name next to its target and put in place
// only when complete, so that the target name never shows a half-written file.

#include <filesystem>

#include "platform/file.h"

namespace voltare::platform {

class StagedFile {
 public:
  // Creates the staging file (exclusively, mode 0600) in the directory of
  // `target`. Throws OsError when it cannot be made.
  explicit StagedFile(const std::filesystem::path& target);
  // Removes the staging file unless Commit succeeded.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  File& file() noexcept { return file_; }
  const std::filesystem::path& stagingPath() const noexcept { return staging_; }

  // Forces the contents to the disk, closes the file and renames it to the
  // target, replacing any file of that name; then makes the rename durable.
  void Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path staging_;
  File file_;
  bool committed_ = false;
};

}  // namespace voltare::platform
