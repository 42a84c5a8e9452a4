// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The peers' tests point the program at a peer through the shared ScopedEnv.

#include "support/scoped_env.h"

namespace voltare::net::testing {
using voltare::testing::ScopedEnv;
}  // namespace voltare::net::testing
