// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text from outside (names inside an archive or a list, messages that quote
// them) made safe to print: a name could otherwise carry escape sequences
// that move the cursor, retitle the window or hide the lines before it.

#include <string>
#include <string_view>

namespace voltare::cli {

// `text` with every control character (C0, DEL and the C1 range), every
// byte that is not part of well-formed UTF-8, and the backslash written as
// escapes: \t, \n, \r, \\ or \xNN. With `keepLineBreaks` (for messages, which
// are several lines) a line break (LF or CR LF) is kept as a bare LF.
std::string EscapeControls(std::string_view text, bool keepLineBreaks = false);

}  // namespace voltare::cli
