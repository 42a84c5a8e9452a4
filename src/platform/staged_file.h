#pragma once
// A file written under a temporary name next to its target and put in place
// only when complete, so that the target name never shows a half-written file.
// The temporary name is hidden, short and of fixed length (".vlt-<8>.part"),
// so every name the file system allows can be a target.

#include <filesystem>

#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/result_codes.h"

namespace voltare::platform {

class StagedFile {
 public:
  // Creates the staging file (exclusively, mode 0600) in the directory of
  // `target`, marked as in use until committed or removed; first removes the
  // staging files of killed runs found there. Throws OsError when it cannot
  // be made.
  explicit StagedFile(const std::filesystem::path& target);
  // Removes the staging file unless Commit succeeded.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  File& file() noexcept { return file_; }
  const std::filesystem::path& stagingPath() const noexcept { return staging_; }

  // Forces the contents to the disk, closes the file and renames it to the
  // target. Whatever had that name (a file, a symbolic link) is replaced, never
  // written through. Flushing the directory afterwards only hastens the
  // rename to the disk: a directory we may write in but not open (a drop box)
  // does not turn a complete file into a failure.
  void Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path staging_;
  File file_;
  bool committed_ = false;
};

// Runs `write` (a function of the staging path that returns a ResultCode) for
// a new file at `target`, and puts the file in place when it returns Success.
// Any other result, or the code of a failure to stage or commit, is returned
// with `target` as it was.
template <typename Write>
[[nodiscard]] ResultCode WriteStaged(const std::filesystem::path& target, Write&& write) noexcept {
  try {
    StagedFile staged(target);
    const ResultCode result = write(staged.stagingPath());
    if (result == Success) staged.Commit();
    return result;
  } catch (...) {
    return CurrentExceptionCode();
  }
}

// Removes the staging files in `directory` that killed runs left behind: those
// of this user that no running copy marks as in use.
void RemoveStaleStagedFiles(const std::filesystem::path& directory) noexcept;

}  // namespace voltare::platform
