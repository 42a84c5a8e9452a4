// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CAST-128: 64-bit blocks, keys of 8 to 128 bits in steps of 8; 12 rounds for
// keys of at most 80 bits, 16 otherwise.

#include <cstdint>
#include <span>

#include "crypto/cipherbase.h"

namespace voltare::crypto {

struct Cast128Engine {
  static constexpr char kName[] = "Cast128";
  static constexpr int kMaxKeyBits = 128;

  struct Schedule {
    std::uint32_t masking[16];
    std::uint32_t rotation[16];  // only the low 5 bits are kept
    // 12 or 16; a cipher with no key yet reports the full-length count.
    int rounds = 16;
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

extern template class BlockCipherModes<Cast128Engine>;

class TCast128Cipher final : public BlockCipherModes<Cast128Engine> {
 public:
  TCast128Cipher() = default;
  // Rounds of the current key schedule (12 or 16).
  int Rounds() const noexcept { return schedule().rounds; }
};

}  // namespace voltare::crypto
