// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/replaced_output.h"

#include <sys/stat.h>
#include <unistd.h>

namespace voltare::app {

bool OutputNameTaken(const std::filesystem::path& target) {
  struct stat info {};
  return ::lstat(target.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void KeepReplacedMode(const std::filesystem::path& target, int staging) noexcept {
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) return;
  const mode_t owner = (info.st_mode & S_IRWXU) >> 6;  // as rwx, 0 to 7
  const mode_t mode =
      (info.st_mode & S_IRWXU) | (info.st_mode & S_IRWXG & (owner << 3)) | (info.st_mode & S_IRWXO & owner);
  ::fchmod(staging, mode);
}

}  // namespace voltare::app
