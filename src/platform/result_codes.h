// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Result codes of the file operations, their texts, and the one message that
// reports a code to the user.
//
// 0 is success, the negative codes are the program's own, and a positive code
// is the errno value captured where an operation failed.

#include <cstdint>
#include <string>
#include <string_view>

namespace voltare::platform {

using ResultCode = std::int32_t;

inline constexpr ResultCode Success = 0;
inline constexpr ResultCode ErrInternal = -1;
inline constexpr ResultCode ErrBadPassword = -2;
inline constexpr ResultCode ErrNoTempFile = -3;
inline constexpr ResultCode ErrNoSuchFile = -4;
inline constexpr ResultCode ErrBadFile = -5;
// The failure was already shown to the user; callers only stop.
inline constexpr ResultCode ErrReported = -6;
// The user stopped the step; its partial output is gone. Callers end the
// batch quietly instead of reporting a failure.
inline constexpr ResultCode ErrCancelled = -7;
// A new file's temporary name stopped naming the file being written (someone
// swapped it for another file or a link); nothing was put in place.
inline constexpr ResultCode ErrStagingReplaced = -8;
// The output's name has the form of the program's temporary files, which a
// later clean-up could take for a leftover; nothing was written.
inline constexpr ResultCode ErrReservedName = -9;
// A sealed file (algorithm 3) whose pieces do not open: damaged or changed
// after it was encrypted. Nothing of it reaches the output.
inline constexpr ResultCode ErrTampered = -10;

// The text that belongs to a code: the program's own for the negative codes
// (ErrNoTempFile's names the temporary folder and what is wrong with it now),
// the system's text for an errno value, empty for 0 and for unknown values.
std::string ErrorText(ResultCode code);

// "KOVA Voltare caused an unexpected system error. ..." filled with the code
// and its text; `text` replaces ErrorText(code) where a caller reports the
// text of the exception that ended an operation.
std::string ErrorFormat(ResultCode code);
std::string ErrorFormat(ResultCode code, std::string_view text);

}  // namespace voltare::platform
