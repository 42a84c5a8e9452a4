// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's temporary files. They live in a private directory of the user,
// ${TMPDIR:-/tmp}/kova-voltare-<uid>/, which holds compressed plaintext while a
// file is encrypted and decrypted; so it must be the user's alone.

#include <filesystem>
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

// A "Vol<unique>.TMP" file of this run, marked as in use (see file_hold.h)
// while the object lives and removed when it goes, so that no other copy of
// the program takes it for a leftover.
class TempFile {
 public:
  // Nothing when no file can be made.
  static std::optional<TempFile> Create();
  ~TempFile();
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  TempFile(std::filesystem::path path, int fd) noexcept : path_(std::move(path)), fd_(fd) {}
  void Release() noexcept;

  std::filesystem::path path_;
  int fd_ = -1;  // keeps the in-use mark
};

// Removes the files killed runs left in the private temporary directory (the
// program's "Vol*.TMP", archive members "*.vlt" and staging files) that no
// running copy of the program marks as in use. For the start of each program
// and its close. Staging files beside outputs elsewhere are removed by the
// next StagedFile made in their directory.
void RemoveStaleTempFiles() noexcept;

}  // namespace voltare::platform
