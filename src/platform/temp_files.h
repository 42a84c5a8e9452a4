// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's temporary files. They live in a private directory of the user,
// ${TMPDIR:-/tmp}/kova-voltare-<uid>/, which holds compressed plaintext while a
// file is encrypted and decrypted; so it must be the user's alone.
//
// The directory is opened once, checked through that descriptor, and every
// file in it is made, found and removed relative to the descriptor. The paths
// handed out lead through the descriptor too (/proc/self/fd/<n>/<name>), so a
// later open by such a path reaches the file made, even when someone has since
// renamed another directory into the private one's place.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/file.h"

namespace voltare::platform {

// The private temporary directory, created mode 0700 when missing. Nothing
// when it cannot be had, or when what is there is not a real directory owned by
// this user and closed to others (a symlink or someone else's directory planted
// in a shared /tmp, or one that has been opened to others), or when the root
// it lies in may be written by other users and is not sticky (they could
// rename it away and put their own in its place).
std::optional<std::filesystem::path> PrivateTempDir();

// Why no temporary file can be had, for the user: the folder at fault, the
// reason ("it belongs to another user"...), and whether that is a danger to
// the files' secrecy or only a failure of the system (a full disk).
struct TempFolderTrouble {
  std::filesystem::path folder;
  std::string reason;
  bool unsafe = false;
};
TempFolderTrouble DiagnoseTempFolder();

// A new, empty, uniquely named file "Vol<unique>.TMP" in the private temporary
// directory, created exclusively with mode 0600; nothing when none can be made.
// Nothing marks it as in use: a file that must outlive a moment is a TempFile.
std::optional<std::filesystem::path> MakeTempFileName();

class TempFolder;

// A "Vol<unique>.TMP" file of this run, marked as in use (see file_hold.h)
// while the object lives and removed when it goes, so that no other copy of
// the program takes it for a leftover.
class TempFile {
 public:
  // Nothing when no file can be made.
  static std::optional<TempFile> Create();
  // The same inside `folder`, whose mark covers it: the file holds no
  // descriptor, and the folder lives at least as long as the file.
  static std::optional<TempFile> CreateIn(std::shared_ptr<const TempFolder> folder);
  ~TempFile();
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Leads through the held directory's descriptor: valid while this lives.
  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  friend class TempFolder;
  TempFile(File directory, std::string name, int fd, std::shared_ptr<const TempFolder> folder = nullptr);
  int directoryFd() const noexcept;
  void Release() noexcept;

  File directory_;  // the private directory, unless the file is in a folder
  std::string name_;
  std::filesystem::path path_;
  int fd_ = -1;                               // keeps the in-use mark
  std::shared_ptr<const TempFolder> folder_;  // or the folder's mark keeps it
};

// A folder "Vol<unique>.TMP.d" in the private temporary directory for many
// files of one step (the members taken out of an archive), beside the marked
// file "Vol<unique>.TMP" that stands for it. One descriptor marks all of its
// files, so a step may make more of them than a process may hold open. The
// folder goes with everything in it when the object goes, and its mark file
// after it; a folder without its mark file is a killed run's leftover.
class TempFolder {
 public:
  // Nothing when no folder can be made.
  static std::shared_ptr<const TempFolder> Create();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Leads through the folder's descriptor, like TempFile::path().
  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  friend class TempFile;
  TempFolder(TempFile mark, std::string name, File folder);

  TempFile mark_;
  std::string name_;
  File folder_;
  std::filesystem::path path_;
};

// Removes the files killed runs left in the private temporary directory (the
// program's "Vol*.TMP", archive members "*.vlt" and staging files) that no
// running copy of the program marks as in use, and the TempFolders whose mark
// file is gone. For the start of each program
// and its close. Staging files beside outputs elsewhere are removed by the
// next StagedFile made in their directory.
void RemoveStaleTempFiles() noexcept;

// A seam for tests, which make an attacker's swap of the directory's name
// deterministic: runs with the directory's name each time it has been opened
// and checked.
namespace temp_test_hooks {
void SetAfterOpen(std::function<void(const std::filesystem::path&)> hook);
}  // namespace temp_test_hooks

}  // namespace voltare::platform
