// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's temporary files. They live in a private directory of the user,
// ${TMPDIR:-/tmp}/kova-voltare-<uid>/, which holds compressed plaintext while a
// file is encrypted and decrypted; so it must be the user's alone.

#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

namespace voltare::platform {

// The private temporary directory, created mode 0700 when missing. Nothing
// when it cannot be had, or when what is there is not a real directory owned by
// this user and closed to others (a symlink or someone else's directory planted
// in a shared /tmp, or one that has been opened to others).
std::optional<std::filesystem::path> PrivateTempDir();

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

  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  TempFile(std::filesystem::path path, int fd, std::shared_ptr<const TempFolder> folder = nullptr) noexcept
      : path_(std::move(path)), fd_(fd), folder_(std::move(folder)) {}
  void Release() noexcept;

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

  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  TempFolder(TempFile mark, std::filesystem::path path) noexcept : mark_(std::move(mark)), path_(std::move(path)) {}

  TempFile mark_;
  std::filesystem::path path_;
};

// Removes the files killed runs left in the private temporary directory (the
// program's "Vol*.TMP", archive members "*.vlt" and staging files) that no
// running copy of the program marks as in use, and the TempFolders whose mark
// file is gone. For the start of each program
// and its close. Staging files beside outputs elsewhere are removed by the
// next StagedFile made in their directory.
void RemoveStaleTempFiles() noexcept;

}  // namespace voltare::platform
