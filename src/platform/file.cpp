// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::platform {

namespace {

int OpenFlags(File::Mode mode) {
  switch (mode) {
    case File::Mode::Read:
      return O_RDONLY;
    case File::Mode::ReadWrite:
      return O_RDWR;
    case File::Mode::Overwrite:
      return O_WRONLY | O_NOFOLLOW;
    case File::Mode::CreateTruncate:
      return O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
    case File::Mode::CreateNew:
      return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

LockCall lockCall = ::flock;

// The errors of a lock call that mean "this file system keeps no locks":
// flock(2) gives them on NFS for some lock kinds, FUSE may give EOPNOTSUPP.
bool LocksUnsupported(int error) {
  return error == EBADF || error == ENOLCK || error == EOPNOTSUPP || error == ENOTSUP;
}

}  // namespace

void SetLockCallForTesting(LockCall call) noexcept { lockCall = call != nullptr ? call : ::flock; }

File::File(const std::filesystem::path& path, Mode mode) : path_(path) {
  fd_ = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0600);
  if (fd_ < 0) ThrowLastError(common::Filled(tr_("cannot open %s"), {path.string()}));
}

File File::Adopt(int fd, std::filesystem::path path) noexcept {
  File file;
  file.fd_ = fd;
  file.path_ = std::move(path);
  return file;
}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::size_t File::read(std::span<std::uint8_t> buffer) {
  std::size_t total = 0;
  while (total < buffer.size()) {
    const ssize_t n = ::read(fd_, buffer.data() + total, buffer.size() - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError(common::Filled(tr_("cannot read %s"), {path_.string()}));
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
  }
  return total;
}

void File::write(std::span<const std::uint8_t> data) {
  std::size_t total = 0;
  while (total < data.size()) {
    const ssize_t n = ::write(fd_, data.data() + total, data.size() - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError(common::Filled(tr_("cannot write %s"), {path_.string()}));
    }
    if (n == 0) {
      errno = ENOSPC;
      ThrowLastError(common::Filled(tr_("cannot write %s"), {path_.string()}));
    }
    total += static_cast<std::size_t>(n);
  }
}

std::uint64_t File::size() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) ThrowLastError(common::Filled(tr_("cannot read the size of %s"), {path_.string()}));
  return static_cast<std::uint64_t>(info.st_size);
}

bool File::isRegular() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) ThrowLastError(common::Filled(tr_("cannot examine %s"), {path_.string()}));
  return S_ISREG(info.st_mode);
}

std::uint64_t File::tell() const {
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0) ThrowLastError(common::Filled(tr_("cannot read the position in %s"), {path_.string()}));
  return static_cast<std::uint64_t>(at);
}

void File::seek(std::uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    ThrowLastError(common::Filled(tr_("cannot seek in %s"), {path_.string()}));
  }
}

void File::truncate(std::uint64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
    ThrowLastError(common::Filled(tr_("cannot truncate %s"), {path_.string()}));
  }
}

void File::sync() {
  if (::fsync(fd_) != 0) ThrowLastError(common::Filled(tr_("cannot flush %s"), {path_.string()}));
}

void File::lockExclusive() {
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) ThrowLastError(common::Filled(tr_("cannot lock %s"), {path_.string()}));
}

void File::lockShared() {
  if (lockCall(fd_, LOCK_SH | LOCK_NB) == 0 || LocksUnsupported(errno)) return;
  ThrowLastError(common::Filled(tr_("cannot lock %s"), {path_.string()}));
}

void File::close() {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) ThrowLastError(common::Filled(tr_("cannot close %s"), {path_.string()}));
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  File file(path, File::Mode::Read);
  std::string text;
  std::uint8_t chunk[8192];
  // /proc files tell no size: read until a piece comes back short.
  for (;;) {
    const std::size_t n = file.read(chunk);
    text.append(reinterpret_cast<const char*>(chunk), n);
    if (n < sizeof chunk) break;
  }
  return text;
}

std::string ReadTextFile(const std::filesystem::path& path) noexcept {
  try {
    return ReadWholeFile(path);
  } catch (...) {
    return {};
  }
}

bool FileExists(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsReadableSource(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode));
}

void RemoveIfStillSame(const File& file) noexcept {
  struct stat opened {};
  struct stat named {};
  if (!file.isOpen() || ::fstat(file.fd(), &opened) != 0 || !S_ISREG(opened.st_mode)) return;
  if (::lstat(file.path().c_str(), &named) != 0) return;
  if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) return;
  ::unlink(file.path().c_str());
}

void TrySyncParentDirectory(const std::filesystem::path& file) noexcept {
  const std::filesystem::path dir = file.parent_path();
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace voltare::platform
