// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The socket error table: the classic socket error numbers and their
// descriptions, and the "code:description" text a socket-level failure shows.

#include <string>
#include <string_view>

namespace voltare::net {

// The description of a socket error number; "Unrecognized error code" for 0
// and for numbers the table does not know.
std::string_view SocketErrorDescription(int code);

// True when the table holds `code` (0, the closing row, included).
bool IsKnownSocketError(int code);

// "<code>:<description>" for a code of the table, else "Unknown Error No. <code>".
std::string SocketErrorText(int code);

// The table code for a POSIX errno, or 0 when the table has no counterpart.
int SocketErrorFromErrno(int error);

// The text of a failed socket call: the table's text when the errno has a
// counterpart there, else "<errno>:<system text>".
std::string SocketErrnoText(int error);

}  // namespace voltare::net
