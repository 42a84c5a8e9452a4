// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/temp_files.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "platform/file_hold.h"
#include "platform/staged_file.h"

namespace voltare::platform {

namespace {

constexpr int kMarkAttempts = 16;

std::filesystem::path TempRoot() {
  const char* tmpdir = std::getenv("TMPDIR");
  return (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
}

// A directory we may keep secrets in: ours, not a symlink, closed to others.
// One that has been open to others is refused rather than repaired: while it
// was open, anyone could have placed or taken files in it.
bool IsPrivateDirectory(const std::filesystem::path& dir) {
  struct stat info {};
  if (::lstat(dir.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
  return (info.st_mode & 0777) == 0700;
}

// Creates "Vol<unique>.TMP" in `dir` exclusively with mode 0600 (mkstemps
// does both); its descriptor, or -1.
int CreateTempFile(const std::filesystem::path& dir, std::string& name) {
  name = (dir / "VolXXXXXX.TMP").string();
  return ::mkstemps(name.data(), 4);
}

// The names the program gives its files here: "Vol<unique>.TMP" and the
// archive members taken out for decryption ("<name>.vlt").
bool IsProgramFileName(const std::string& name) {
  return ::fnmatch("Vol*.TMP", name.c_str(), FNM_PERIOD) == 0 || ::fnmatch("*.vlt", name.c_str(), FNM_PERIOD) == 0;
}

// A TempFolder is its mark file's name with this appended.
constexpr char kFolderSuffix[] = ".d";

std::filesystem::path FolderOfMark(const std::filesystem::path& mark) { return mark.string() + kFolderSuffix; }

// Removes the regular files in `folder` (a TempFolder holds nothing else).
void RemoveFolderFiles(const std::filesystem::path& folder) noexcept {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    if (entry->is_regular_file(error)) ::unlink(entry->path().c_str());
  }
}

// A killed run's TempFolder: a real folder of this user named like one,
// whose mark file is gone (its run removed the mark last, and a cleaner
// removes only an unmarked one).
bool IsOrphanedFolder(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  if (!name.ends_with(kFolderSuffix)) return false;
  const std::string markName = name.substr(0, name.size() - std::strlen(kFolderSuffix));
  struct stat info {};
  if (::fnmatch("Vol*.TMP", markName.c_str(), FNM_PERIOD) != 0 || ::lstat(path.c_str(), &info) != 0 ||
      !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    return false;
  }
  return ::lstat((path.parent_path() / markName).c_str(), &info) != 0 && errno == ENOENT;
}

}  // namespace

std::optional<std::filesystem::path> PrivateTempDir() {
  const auto dir = TempRoot() / ("kova-voltare-" + std::to_string(::getuid()));
  if (::mkdir(dir.c_str(), 0700) == 0) {
    ::chmod(dir.c_str(), 0700);  // a restrictive umask must not lock us out
  } else if (errno != EEXIST) {
    return std::nullopt;
  }
  if (!IsPrivateDirectory(dir)) return std::nullopt;
  return dir;
}

std::optional<std::filesystem::path> MakeTempFileName() {
  const auto dir = PrivateTempDir();
  if (!dir) return std::nullopt;
  std::string pattern;
  const int fd = CreateTempFile(*dir, pattern);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return std::filesystem::path(pattern);
}

std::optional<TempFile> TempFile::Create() {
  const auto dir = PrivateTempDir();
  if (!dir) return std::nullopt;
  for (int attempt = 0; attempt < kMarkAttempts; ++attempt) {
    std::string name;
    const int fd = CreateTempFile(*dir, name);
    if (fd < 0) return std::nullopt;
    if (MarkInUse(fd, name)) return TempFile(name, fd);
    ::close(fd);  // another copy's cleaning took it before the mark
  }
  return std::nullopt;
}

std::optional<TempFile> TempFile::CreateIn(std::shared_ptr<const TempFolder> folder) {
  if (folder == nullptr) return std::nullopt;
  std::string name;
  const int fd = CreateTempFile(folder->path(), name);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return TempFile(name, -1, std::move(folder));
}

TempFile::~TempFile() { Release(); }

TempFile::TempFile(TempFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), folder_(std::move(other.folder_)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Release();
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    folder_ = std::move(other.folder_);
  }
  return *this;
}

// Removes the file before the mark goes, so that nobody sees it unmarked.
void TempFile::Release() noexcept {
  if (fd_ < 0 && folder_ == nullptr) return;
  ::unlink(path_.c_str());
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  folder_.reset();
}

std::shared_ptr<const TempFolder> TempFolder::Create() {
  for (int attempt = 0; attempt < kMarkAttempts; ++attempt) {
    std::optional<TempFile> mark = TempFile::Create();
    if (!mark) return nullptr;
    std::filesystem::path path = FolderOfMark(mark->path());
    if (::mkdir(path.c_str(), 0700) == 0) {
      return std::shared_ptr<const TempFolder>(new TempFolder(std::move(*mark), std::move(path)));
    }
    if (errno != EEXIST) return nullptr;
    // A killed run's folder under the new mark's name: its files are not ours.
  }
  return nullptr;
}

// Emptied and removed while the mark still stands, so that no cleaner meets
// the folder without it.
TempFolder::~TempFolder() {
  RemoveFolderFiles(path_);
  ::rmdir(path_.c_str());
}

void RemoveStaleTempFiles() noexcept {
  const auto dir = PrivateTempDir();
  if (!dir) return;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(*dir, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (IsProgramFileName(name)) RemoveIfUnused(entry->path());
  }
  // After the files: a killed run's mark file has gone by now.
  for (std::filesystem::directory_iterator entry(*dir, error), end; !error && entry != end; entry.increment(error)) {
    if (!IsOrphanedFolder(entry->path())) continue;
    RemoveFolderFiles(entry->path());
    ::rmdir(entry->path().c_str());
  }
  RemoveStaleStagedFiles(*dir);
}

}  // namespace voltare::platform
