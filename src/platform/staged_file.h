// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the program writes a file: under a temporary name next to its
// target, put in place by a rename only when complete, so that the target name
// never shows a half-written file and a crash leaves the old file or the new.
//
// The rules, the same for every caller:
// - the temporary name is hidden, short and of fixed length (".vlt-<8>.part"),
//   so every name the file system allows can be a target; an output whose own
//   name has that form is refused (ErrReservedName), since the clean-up below
//   would take it for a leftover;
// - the temporary file is created exclusively, never through a link, mode
//   0600, and written only through the descriptor of that creation; before the
//   rename its name must still refer to that very file (ErrStagingReplaced
//   otherwise, and nothing is put in place);
// - the directory is opened once and every name is used relative to it, so a
//   directory swapped for another meanwhile does not redirect the write;
// - the contents are flushed before the rename and the directory after it;
// - the temporary files of killed runs in the directory are removed first:
//   only regular files of this user that carry the program's staging mark
//   and that no running copy marks as in use; the mark goes at the rename;
// - a staging file that is not put in place is emptied through its
//   descriptor before it is closed, even when its name was taken away;
// - a replaced file's permission bits are kept only when it is ours.
//   Within a StagingBatch this happens once per directory.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/result_codes.h"

namespace voltare::platform {

// What becomes of a file already at the target.
enum class Replacing {
  // Outputs and the settings store: a link of that name is replaced, never
  // written through, and the new file is private (0600).
  TheName,
  // Files edited in place (initialization files): a link is followed and the
  // file it leads to is replaced; that file keeps its permission bits when
  // it is ours (another user's file comes back private).
  TheLinkedFile,
};

class StagedFile {
 public:
  // Creates the staging file in the directory of `target`, marked as in use
  // until committed or removed. Throws OsError when it cannot be made, and
  // RefusedError(ErrReservedName) for a target named like a staging file.
  explicit StagedFile(const std::filesystem::path& target, Replacing rule = Replacing::TheName);
  // Removes the staging file unless Commit succeeded.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The only way to the contents: the descriptor of the exclusive creation.
  File& file() noexcept { return file_; }
  const std::filesystem::path& stagingPath() const noexcept { return staging_; }

  // Forces the contents to the disk and renames the file to the target.
  // Throws RefusedError(ErrStagingReplaced) when the staging name no longer
  // refers to the file written, OsError when the rename fails. Flushing the
  // directory afterwards only hastens the rename to the disk: a directory we
  // may write in but not open (a drop box) does not turn a complete file
  // into a failure.
  void Commit();

 private:
  void CreateStagingFile();
  void KeepModeOfReplacedFile();
  bool NameRefersToOurFile(const std::string& name) const noexcept;

  std::filesystem::path target_;
  std::string targetName_;
  std::string stagingName_;
  std::filesystem::path staging_;
  File directory_;
  File file_;
  Replacing rule_;
  bool committed_ = false;
};

// Runs `write` (a function of the staging File that returns a ResultCode)
// for a new file at `target`, and puts the file in place when it returns
// Success. Any other result, or the code of a failure to stage or commit, is
// returned with `target` as it was.
template <typename Write>
[[nodiscard]] ResultCode WriteStaged(const std::filesystem::path& target, Write&& write,
                                     Replacing rule = Replacing::TheName) noexcept {
  try {
    StagedFile staged(target, rule);
    const ResultCode result = write(staged.file());
    if (result == Success) staged.Commit();
    return result;
  } catch (...) {
    return CurrentExceptionCode();
  }
}

// Writes `contents` as the file `target` by way of a StagedFile; throws
// OsError or RefusedError, leaving the old file untouched.
void WriteFileStaged(const std::filesystem::path& target, std::string_view contents,
                     Replacing rule = Replacing::TheName);

// While one of these lives (they nest), each directory is cleaned of
// leftovers by its first StagedFile only: a batch of n files in one folder
// then reads that folder once instead of n times. Leftovers appear only when
// a run is killed, and a batch's own staging files are always in use.
class StagingBatch {
 public:
  StagingBatch();
  ~StagingBatch();
  StagingBatch(const StagingBatch&) = delete;
  StagingBatch& operator=(const StagingBatch&) = delete;
};

// True for names of the staging form ".vlt-<8 letters or digits>.part".
bool IsStagingName(std::string_view name) noexcept;

// Removes the staging files in `directory` that killed runs left behind: those
// of this user that carry the program's staging mark and that no running copy
// marks as in use. A user's own file of such a name carries no mark and stays.
void RemoveStaleStagedFiles(const std::filesystem::path& directory) noexcept;
// The same for the directory open as `dirFd`; `directory` names it for the hooks.
void RemoveStaleStagedFilesAt(int dirFd, const std::filesystem::path& directory) noexcept;

// Marks the file open as `fd` as one of the program's staging files, the mark
// the clean-up above looks for. False when the file system keeps neither mark.
bool MarkAsStaged(int fd) noexcept;

// Seams for tests, which make the races an attacker would need deterministic.
namespace staging_test_hooks {
using Hook = std::function<void(const std::filesystem::path&)>;
// Runs with the staging path right after each staging file is created.
void SetAfterCreate(Hook hook);
// Runs with the directory each time a directory is read for leftovers.
void SetOnLeftoverScan(Hook hook);
}  // namespace staging_test_hooks

}  // namespace voltare::platform
