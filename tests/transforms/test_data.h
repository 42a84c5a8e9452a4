// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Inputs for the transforms' tests: reproducible pseudo-random bytes and
// compressible text.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace voltare::transforms::testing {

inline std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed = 1) {
  std::mt19937 generator(seed);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
  return bytes;
}

inline std::vector<std::uint8_t> TextBytes(std::size_t size) {
  static const std::string kWords[] = {"file ",    "password ", "the ", "encrypted ", "list\r\n",
                                       "archive ", "wipe ",     "of ",  "KOVA ",      "data "};
  std::mt19937 generator(7);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(size);
  while (bytes.size() < size) {
    const auto& word = kWords[generator() % 10];
    for (char c : word) {
      if (bytes.size() == size) break;
      bytes.push_back(static_cast<std::uint8_t>(c));
    }
  }
  return bytes;
}

}  // namespace voltare::transforms::testing
