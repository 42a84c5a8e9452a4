// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_hold.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace voltare::platform {

namespace {

struct flock WholeFileWriteLock() {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however long the file grows
  return lock;
}

// True when `name` (in `dirFd`) still names the file open as `fd`, and that
// file still has a name at all.
bool StillNamed(int fd, int dirFd, const char* name) noexcept {
  struct stat opened {
  }, named{};
  return ::fstat(fd, &opened) == 0 && opened.st_nlink > 0 && ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

}  // namespace

bool MarkInUseAt(int fd, int dirFd, const char* name) noexcept {
  struct flock lock = WholeFileWriteLock();
  // Waits out a cleaner that is looking at the file this very moment; it lets
  // go at once, and the name check below tells whether it took the file.
  while (::fcntl(fd, F_OFD_SETLKW, &lock) != 0 && errno == EINTR) {
  }
  return StillNamed(fd, dirFd, name);
}

bool RemoveIfUnusedAt(int dirFd, const char* name, bool (*isOurs)(int fd) noexcept) noexcept {
  // Non-blocking, so that a FIFO planted under the name cannot stall us.
  const int fd = ::openat(dirFd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  struct flock lock = WholeFileWriteLock();
  const bool unused = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                      (isOurs == nullptr || isOurs(fd)) && ::fcntl(fd, F_OFD_SETLK, &lock) == 0 &&
                      StillNamed(fd, dirFd, name);
  const bool removed = unused && ::unlinkat(dirFd, name, 0) == 0;
  ::close(fd);
  return removed;
}

}  // namespace voltare::platform
