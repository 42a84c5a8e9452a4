// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Setting the modification time of an open file.

#include <ctime>

#include "platform/file.h"

namespace voltare::platform {

// Sets the last-write time of `file` and leaves its access time alone.
// Throws OsError on failure.
void SetLastWriteTime(File& file, std::time_t when);

}  // namespace voltare::platform
