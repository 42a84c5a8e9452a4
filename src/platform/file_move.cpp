// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_move.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace voltare::platform {

namespace {

// For file systems without an atomic no-replace rename: a hard link fails
// when the name exists, and then the old name goes.
int LinkThenUnlink(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  if (::unlink(from.c_str()) != 0) {
    const int error = errno;
    ::unlink(to.c_str());
    return error;
  }
  return 0;
}

}  // namespace

int MoveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error == EINVAL || error == ENOSYS) return LinkThenUnlink(from, to);
  return error;
}

}  // namespace voltare::platform
