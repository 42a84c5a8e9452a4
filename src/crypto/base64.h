// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Base64 with the standard alphabet and "=" padding, as one single line.
//
// Decoding is lenient on purpose: any character outside "A-Z a-z 0-9 +"
// counts as the value 63 (like "/"), including "=", blanks, CR and LF, so text
// that went through a mail program still decodes to something. Only a length
// that is not a multiple of 4 is refused.

#include <string>
#include <string_view>

#include "crypto/cipherbase.h"

namespace voltare::crypto {

// ((n + 2) div 3) * 4 characters for n bytes; never inserts line breaks.
std::string B64Encode(std::string_view bytes);

// Throws CipherError "Base64: Incorrect string format" when the length of
// `text` is not a multiple of 4. In the last group, "=" as third character
// yields one byte (the fourth is not looked at), "=" as fourth yields two.
std::string B64Decode(std::string_view text);

}  // namespace voltare::crypto
