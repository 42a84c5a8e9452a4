// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's pseudo-random generator: a 64-bit linear congruential state,
// advanced as state * 22695477 + 1 (mod 2^64), yielding bits 32-62 of the new
// state. The wipe engine seeds it from the clock; nothing here is meant to be
// unpredictable, only to vary the overwritten data and the file times.

#include <cstdint>

namespace voltare::transforms {

class PseudoRandom {
 public:
  static constexpr std::uint64_t kMultiplier = 22695477;  // 0x015A4E35

  void Seed(std::uint32_t seed) noexcept { state_ = seed; }

  // A value from 0 to 2147483647.
  std::uint32_t Next() noexcept {
    state_ = state_ * kMultiplier + 1;
    return static_cast<std::uint32_t>(state_ >> 32) & 0x7FFFFFFFU;
  }

  std::uint8_t NextByte() noexcept { return static_cast<std::uint8_t>(Next() % 256); }

  std::uint64_t state() const noexcept { return state_; }

 private:
  std::uint64_t state_ = 0;
};

// The one generator the whole program shares.
PseudoRandom& ProgramRandom() noexcept;

// The current calendar time in whole seconds since 1970-01-01, the seed the
// program always uses (cut to 32 bits).
std::uint32_t ClockSeed() noexcept;

}  // namespace voltare::transforms
