// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/base64.h"

#include <cstdint>

namespace voltare::crypto {
namespace {

constexpr const char* kIncorrectFormat = "Base64: Incorrect string format";

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

// Anything that is not a letter, a digit or "+" counts as 63, the value of "/".
constexpr unsigned ValueOf(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a') + 26;
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0') + 52;
  if (c == '+') return 62;
  return 63;
}

constexpr char Byte(unsigned value) noexcept { return static_cast<char>(value & 0xFF); }

unsigned ByteAt(std::string_view bytes, std::size_t index) noexcept {
  return index < bytes.size() ? static_cast<std::uint8_t>(bytes[index]) : 0;
}

}  // namespace

std::string B64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned b0 = ByteAt(bytes, i);
    const unsigned b1 = ByteAt(bytes, i + 1);
    const unsigned b2 = ByteAt(bytes, i + 2);
    text += kAlphabet[b0 >> 2];
    text += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    text += kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
    text += kAlphabet[b2 & 63];
  }
  // The zero bytes that completed the last group become padding.
  switch (bytes.size() % 3) {
    case 1:
      text.replace(text.size() - 2, 2, 2, kPad);
      break;
    case 2:
      text.back() = kPad;
      break;
    default:
      break;
  }
  return text;
}

std::string B64Decode(std::string_view text) {
  if (text.size() % 4 != 0) throw CipherError(kIncorrectFormat);
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const unsigned c0 = ValueOf(text[i]);
    const unsigned c1 = ValueOf(text[i + 1]);
    const unsigned c2 = ValueOf(text[i + 2]);
    const unsigned c3 = ValueOf(text[i + 3]);
    const bool last_group = i + 4 == text.size();
    bytes += Byte((c0 << 2) | (c1 >> 4));
    if (last_group && text[i + 2] == kPad) break;
    bytes += Byte((c1 << 4) | (c2 >> 2));
    if (last_group && text[i + 3] == kPad) break;
    bytes += Byte((c2 << 6) | c3);
  }
  return bytes;
}

}  // namespace voltare::crypto
