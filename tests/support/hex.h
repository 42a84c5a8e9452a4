// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hexadecimal text <-> bytes, for test vectors and expected file contents.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace voltare::testing {

inline std::vector<std::uint8_t> FromHex(std::string_view hex) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument("not a hex digit");
  };
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : hex) {
    if (c == ' ' || c == '\n' || c == '\t') continue;
    if (high < 0) {
      high = nibble(c);
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + nibble(c)));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  return bytes;
}

template <typename Bytes>
std::string ToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (auto b : bytes) {
    const auto v = static_cast<std::uint8_t>(b);
    text += kDigits[v >> 4];
    text += kDigits[v & 15];
  }
  return text;
}

}  // namespace voltare::testing
