// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Blowfish: 64-bit blocks, keys of 8 to 448 bits in steps of 8.

#include <cstdint>
#include <span>

#include "crypto/cipherbase.h"

namespace voltare::crypto {

struct BlowfishEngine {
  static constexpr char kName[] = "Blowfish";
  static constexpr int kMaxKeyBits = 448;

  struct Schedule {
    std::uint32_t s[4][256];
    std::uint32_t p[18];
  };

  static void ScheduleKey(Schedule& schedule, std::span<const std::uint8_t> key) noexcept;
  static void BurnSchedule(Schedule& schedule) noexcept;
  // N independent blocks, interleaved round by round (defined where the
  // modes are instantiated).
  template <int N>
  static void Encrypt(const Schedule& schedule, std::uint32_t* left, std::uint32_t* right) noexcept;
  template <int N>
  static void Decrypt(const Schedule& schedule, std::uint32_t* left, std::uint32_t* right) noexcept;
};

extern template class BlockCipherModes<BlowfishEngine>;

class TBlowfishCipher final : public BlockCipherModes<BlowfishEngine> {
 public:
  TBlowfishCipher() = default;
};

}  // namespace voltare::crypto
