// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The layers above know the progress indicator as a platform service; it is
// defined lower down so that the ciphers can move it too.

#include "common/progress.h"

namespace voltare::platform {

using Progress = common::Progress;

}  // namespace voltare::platform
