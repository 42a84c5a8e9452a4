// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a file transform turns the exception that ended it into its result code.

#include "platform/result_codes.h"

namespace voltare::transforms {

// Inside a catch block: the result code for the exception being handled.
// Data that cannot be decoded (a damaged zlib stream, a cipher error such as a
// DES payload of a wrong length) gives ErrBadFile; a failed system call gives
// the errno it left; anything else a fixed nonzero code. Never Success.
[[nodiscard]] platform::ResultCode ResultOfCurrentException() noexcept;

}  // namespace voltare::transforms
