// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/core_dumps.h"

#include <sys/prctl.h>

namespace voltare::platform {

bool TurnOffCoreDumps() noexcept { return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0; }

}  // namespace voltare::platform
