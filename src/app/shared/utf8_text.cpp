// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/utf8_text.h"

namespace voltare::app {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// What a lead byte announces: the sequence length and the range its second
// byte must lie in (which excludes overlong forms, surrogates and values
// beyond U+10FFFF). Length 0 for a byte that cannot start a character.
struct Lead {
  std::size_t length;
  unsigned char low;
  unsigned char high;
};

Lead LeadOf(unsigned char byte) {
  if (byte < 0x80) return {1, 0, 0};
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

// One character, or one maximal ill-formed part, at the start of `text`.
struct Piece {
  std::size_t size;
  bool wellFormed;
};

Piece NextPiece(std::string_view text) {
  const Lead lead = LeadOf(static_cast<unsigned char>(text[0]));
  if (lead.length == 0) return {1, false};
  std::size_t size = 1;
  while (size < lead.length && size < text.size()) {
    const auto byte = static_cast<unsigned char>(text[size]);
    const unsigned char low = size == 1 ? lead.low : 0x80;
    const unsigned char high = size == 1 ? lead.high : 0xBF;
    if (byte < low || byte > high) break;
    ++size;
  }
  return {size, size == lead.length};
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  while (!text.empty()) {
    const Piece piece = NextPiece(text);
    valid += piece.wellFormed ? text.substr(0, piece.size) : kReplacement;
    text.remove_prefix(piece.size);
  }
  return valid;
}

std::size_t Utf8CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (; !text.empty(); ++count) text.remove_prefix(NextPiece(text).size);
  return count;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t size = 0;
  for (; count > 0 && size < text.size(); --count) size += NextPiece(text.substr(size)).size;
  return text.substr(0, size);
}

}  // namespace voltare::app
