// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Password encryption of a text for the clipboard and e-mail bodies, written
// as one line of Base64, in one of two forms:
//
// - compatible: Blowfish in 8-bit CFB keyed with the password's SHA-1
//   digest. No header, no length, no check value: a wrong password gives a
//   wrong text of the right length, and the same text under the same password
//   gives the same line.
// - sealed: the bytes of a sealed file (algorithm code 3, xchacha_file.h)
//   whose plain text is the text's bytes, compressed into one zstd frame: a
//   fresh salt and stream header every time, a key check, and a tag on every
//   piece, so a wrong password or a changed line is told, never shown.
//
// A sealed line is told from a compatible one by what it decodes to: the
// magic and the algorithm code 3.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/secret_string.h"
#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/sealed_key.h"
#include "transforms/xchacha_file.h"  // SealedKeyLookup

namespace voltare::transforms {

// The encrypted form, 4 * ceil(n / 3) characters for n bytes; the empty
// string for an empty text or on any failure.
std::string BlowfishEncryptString(std::string_view text, std::string_view password);

// The text back. CR LF pairs before and after the Base64 line are dropped,
// and CR, LF, blanks and tabs anywhere in it are ignored.
// The empty string on any failure: fewer than two characters, a length that
// is not a multiple of 4, nothing left to decode.
std::string BlowfishDecryptString(std::string_view text, std::string_view password);

// True when `text`, with the line breaks and blanks a mail may add dropped,
// decodes to bytes that begin with the magic and the algorithm code 3. Only
// the first groups of the line are decoded: a line cut off further on is
// still known for what it is, and reported as damaged when opened.
bool IsSealedText(std::string_view text);

// The sealed form of `text` under `key` (whose salt must be fresh for every
// text: SealedKeyRing::ForEncryption of a ring of its own); the empty string
// for an empty text. Throws std::bad_alloc or ECompressionError.
std::string SealText(std::string_view text, const SealedKey& key);

// Opens the sealed line `text` (line breaks and blanks dropped as above) into
// `plain`, with the key `keyFor` gives for the header's salt and limits.
// Success; ErrBadFile (no sealed header, or one the program refuses, such as
// Argon2 limits out of range: no key is asked for then); ErrBadPassword;
// ErrTampered (not Base64 of whole groups, a piece that does not open, a
// stream cut off or lengthened, or a text longer than `mostBytes`: the program
// never seals a longer one); ErrCancelled. `plain` is empty on any failure.
[[nodiscard]] platform::ResultCode OpenSealedText(std::string_view text, const SealedKeyLookup& keyFor,
                                                  std::size_t mostBytes, common::SecretString& plain,
                                                  platform::Progress& progress);

}  // namespace voltare::transforms
