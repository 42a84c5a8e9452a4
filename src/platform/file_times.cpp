// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::platform {

void SetLastWriteTime(File& file, std::time_t when) {
  const struct timespec times[2] = {
      {.tv_sec = 0, .tv_nsec = UTIME_OMIT},  // access time unchanged
      {.tv_sec = when, .tv_nsec = 0},
  };
  if (::futimens(file.fd(), times) != 0) {
    ThrowLastError(common::Filled(tr_("cannot set the modification time of %s"), {file.path().string()}));
  }
}

}  // namespace voltare::platform
