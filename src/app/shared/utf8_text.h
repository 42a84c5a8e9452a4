// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts are UTF-8 bytes. These helpers count and cut them by character and
// repair bytes that are not UTF-8 (a text decrypted with a wrong password),
// so that what reaches the clipboard or the printer is always text.
//
// A byte sequence that is not well-formed UTF-8 counts as one character per
// maximal ill-formed part, which is also what one replacement character
// stands for.

#include <cstddef>
#include <string>
#include <string_view>

namespace voltare::app {

// `text` with every ill-formed part replaced by U+FFFD; well-formed text is
// returned unchanged.
std::string ValidUtf8(std::string_view text);

std::size_t Utf8CharacterCount(std::string_view text);

// The bytes of the first `count` characters (all of `text` when it is shorter).
std::string_view Utf8Prefix(std::string_view text, std::size_t count);

}  // namespace voltare::app
