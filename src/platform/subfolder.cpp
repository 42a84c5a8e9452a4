// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/subfolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::platform {

namespace {

namespace fs = std::filesystem;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Opens `name` in the folder `parent`, making it first when it is missing.
// O_NOFOLLOW alone cannot tell a link from a file (both give ENOTDIR or
// ELOOP), so a failure looks at what the name is.
int OpenOrMake(int parent, const std::string& name, const fs::path& shown) {
  int fd = ::openat(parent, name.c_str(), kFolderFlags);
  if (fd < 0 && errno == ENOENT) {
    // Another run may make it at the same moment: that folder is as good.
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
      ThrowLastError(common::Filled(tr_("cannot make %s"), {shown.string()}));
    fd = ::openat(parent, name.c_str(), kFolderFlags);
  }
  if (fd >= 0) return fd;
  const int error = errno;
  struct stat status {};
  if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(status.st_mode)) throw BlockedWay(ELOOP, shown);
    if (!S_ISDIR(status.st_mode)) throw BlockedWay(ENOTDIR, shown);
  }
  throw OsError(error, shown.string());
}

}  // namespace

Subfolder::Subfolder(const fs::path& root, const fs::path& relative) : lexical_(root / relative) {
  fd_ = ::open(root.c_str(), kFolderFlags & ~O_NOFOLLOW);
  if (fd_ < 0) ThrowLastError(common::Filled(tr_("cannot open %s"), {root.string()}));
  fs::path shown = root;
  for (const fs::path& part : relative) {
    if (part.empty()) continue;  // a trailing separator
    shown /= part;
    if (part == "." || part == "..") {
      ::close(fd_);
      throw OsError(EINVAL, shown.string());
    }
    int next = -1;
    try {
      next = OpenOrMake(fd_, part.string(), shown);
    } catch (...) {
      ::close(fd_);
      throw;
    }
    ::close(fd_);
    fd_ = next;
  }
}

Subfolder::~Subfolder() {
  if (fd_ >= 0) ::close(fd_);
}

fs::path Subfolder::path() const {
  const fs::path own = "/proc/self/fd/" + std::to_string(fd_);
  std::error_code error;
  return fs::is_directory(own, error) ? own : lexical_;
}

}  // namespace voltare::platform
