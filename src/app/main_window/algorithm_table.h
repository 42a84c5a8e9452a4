// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ciphers a batch encryption can use: the stored "Algorithm" text, the
// caption the password prompt shows, the code the per-file step dispatches
// on, and the name voltare-cli takes for it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace voltare::app {

inline constexpr std::uint8_t kBlowfishCode = 0xBB;
inline constexpr std::uint8_t kCast5Code = 0xCC;
inline constexpr std::uint8_t kDesCode = 0xDD;
inline constexpr std::uint8_t kXChaChaCode = 0xEE;

struct AlgorithmEntry {
  std::string_view setting;  // the "Algorithm" value
  std::string_view caption;  // shown in the password prompt
  std::uint8_t code;
  std::string_view name;  // voltare-cli's --algorithm and `config set Algorithm`
};

inline constexpr std::array<AlgorithmEntry, 4> kAlgorithmTable{{
    {"0", "Blowfish", kBlowfishCode, "blowfish"},
    {"1", "CAST5", kCast5Code, "cast5"},
    {"2", "DES", kDesCode, "des"},
    {"3", "XChaCha20-Poly1305", kXChaChaCode, "xchacha20"},
}};

// The entry whose setting is exactly `setting`; nullptr for any other text
// (" 1" and "01" included).
constexpr const AlgorithmEntry* FindAlgorithm(std::string_view setting) {
  for (const AlgorithmEntry& entry : kAlgorithmTable) {
    if (entry.setting == setting) return &entry;
  }
  return nullptr;
}

// The entry voltare-cli knows by `name`, in any case; nullptr for others.
constexpr const AlgorithmEntry* FindAlgorithmByName(std::string_view name) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const AlgorithmEntry& entry : kAlgorithmTable) {
    if (std::ranges::equal(entry.name, name, {}, {}, lower)) return &entry;
  }
  return nullptr;
}

// The caption of the algorithm whose code a ".vlt" file holds (the code is
// the setting's number); empty for an unknown code.
constexpr std::string_view CaptionOfFileAlgorithm(int code) {
  for (const AlgorithmEntry& entry : kAlgorithmTable) {
    if (entry.setting.size() == 1 && entry.setting[0] - '0' == code) return entry.caption;
  }
  return {};
}

}  // namespace voltare::app
