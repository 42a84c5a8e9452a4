// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Header texts kept to 7-bit ASCII, as a relay that never negotiated 8BITMIME
// expects them: words outside ASCII become RFC 2047 encoded-words (UTF-8,
// Base64), and attachment names RFC 2231 parameters.

#include <string>
#include <string_view>

namespace voltare::net {

// True when every byte is printable ASCII, a space or a tab.
bool IsPlainAscii(std::string_view text);

// An unstructured header value (a subject) as it may go out: unchanged when
// it is plain ASCII and holds nothing a reader would take for an encoded
// word, else one or more encoded-words, folded onto continuation lines.
std::string EncodeHeaderText(std::string_view text);

// A display name before "<address>": unchanged when plain ASCII, else its
// encoded-words (surrounding double quotes dropped first).
std::string EncodeDisplayName(std::string_view name);

// A recipient entry as typed ("Name <address>", a bare address, ...) with
// its display name encoded where needed; the rest stays as typed.
std::string EncodeRecipientEntry(std::string_view entry);

// The MIME parameter `name` carrying a file name: `name="file"` when the name
// is plain ASCII without quotes or backslashes. Otherwise `fallback` decides:
// true gives `name="<ASCII stand-in>"; name*=UTF-8''<percent-encoded>`, false
// only the RFC 2231 form (for a header whose readers should take the full
// name: some of them take the first of the two).
std::string FileNameParameter(std::string_view name, std::string_view fileName, bool fallback);

// The header line `start` (up to and including its "; " and any padding)
// with the file-name parameter `name` of FileNameParameter: unchanged when
// the line fits in 78 characters. A longer one is folded, each parameter on
// a line of its own, and the RFC 2231 form cut into numbered sections
// (`name*0*=UTF-8''...`, `name*1*=...`) of at most 78 characters a line;
// without `fallback` a long plain name takes that form too. The quoted form
// for readers without RFC 2231 cannot be cut; it keeps its line below 998.
std::string FileNameHeader(std::string_view start, std::string_view name, std::string_view fileName, bool fallback);

}  // namespace voltare::net
