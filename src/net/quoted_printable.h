// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Quoted-printable of RFC 2045 section 6.7, for the text part of a message:
// long lines are broken by soft line breaks, so that no line on the wire is
// longer than 76 characters and relays have nothing to fold, while the
// recipient's mail program joins them back into the original lines.

#include <string>
#include <string_view>

namespace voltare::net {

// The longest encoded line, its soft line break "=" included.
inline constexpr std::size_t kMaxQuotedPrintableLine = 76;

// `text` encoded, each CR LF of it kept as a line break of the encoding, and
// the result ending in CR LF. A lone CR or LF is encoded like any other
// control byte. A "." that would start a line is encoded as well, so that the
// lines need no SMTP dot-stuffing and stay within the limit.
std::string EncodeQuotedPrintable(std::string_view text);

}  // namespace voltare::net
