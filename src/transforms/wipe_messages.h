#pragma once
// The wipe engine's own texts.

#include <string_view>

namespace voltare::transforms::wipe_messages {

// Filled with the result code and the name of the failed call (or the text of
// the exception that ended the time change).
inline constexpr std::string_view kChangeFileTimeFailed =
    "KOVA Voltare caused an unexpected in WipeChangeFileTime()\n\nError code: %d\nError message: "
    "%s";

inline constexpr std::string_view kSetFileTimeCall = "SetFileTime()";

}  // namespace voltare::transforms::wipe_messages
