// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts the file transforms raise.

#include <string_view>

#include "common/translate.h"

namespace voltare::transforms::messages {

inline constexpr common::Text kInvalidStreamOperation = N_("Invalid stream operation");
inline constexpr std::string_view kZlibError = "error";

}  // namespace voltare::transforms::messages
