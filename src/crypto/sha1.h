// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SHA-1 (FIPS 180-1): 160-bit digests; turns passwords into cipher keys.

#include <array>
#include <cstdint>
#include <span>

#include "common/locked_memory.h"
#include "crypto/cipherbase.h"

namespace voltare::crypto {

class TSha1Hash final : public THashAlgorithm {
 public:
  static constexpr std::size_t kDigestBytes = 20;
  using Digest = std::array<std::uint8_t, kDigestBytes>;

  TSha1Hash();
  ~TSha1Hash() override;

  void Init() override;
  void Burn() override;
  void Update(std::span<const std::uint8_t> bytes) override;
  void Final(std::span<std::uint8_t> digest) override;

 private:
  void Compress() noexcept;
  void UpdateLen(std::size_t len) noexcept;

  std::uint32_t len_hi_ = 0;
  std::uint32_t len_lo_ = 0;
  std::size_t index_ = 0;  // bytes waiting in buffer_

  // The chaining words and the waiting bytes (a password's, when keys are
  // made from one) live in locked memory, out of swap and core dumps.
  struct State {
    std::uint32_t hash[5];
    std::uint8_t buffer[64];
  };
  common::LockedBox<State> state_;
  std::uint32_t (&hash_)[5] = state_->hash;
  std::uint8_t (&buffer_)[64] = state_->buffer;
};

}  // namespace voltare::crypto
