// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Password encryption of a text for the clipboard and e-mail bodies: Blowfish
// in 8-bit CFB keyed with the password's SHA-1 digest, written as one line of
// Base64. No header, no length, no check value: a wrong password gives a
// wrong text of the right length.

#include <string>
#include <string_view>

namespace voltare::transforms {

// The encrypted form, 4 * ceil(n / 3) characters for n bytes; the empty
// string for an empty text or on any failure.
std::string BlowfishEncryptString(std::string_view text, std::string_view password);

// The text back. CR LF pairs before and after the Base64 line are dropped,
// and CR, LF, blanks and tabs anywhere in it are ignored.
// The empty string on any failure: fewer than two characters, a length that
// is not a multiple of 4, nothing left to decode.
std::string BlowfishDecryptString(std::string_view text, std::string_view password);

}  // namespace voltare::transforms
