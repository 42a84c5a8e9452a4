// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/blowfish.h"

#include <cstring>

#include "crypto/block_modes.h"
#include "crypto/blowfish_tables.h"
#include "crypto/burn.h"

namespace voltare::crypto {

namespace {

[[gnu::always_inline]] inline std::uint32_t F(const BlowfishEngine::Schedule& k, std::uint32_t x) noexcept {
  return ((k.s[0][x >> 24] + k.s[1][(x >> 16) & 0xFF]) ^ k.s[2][(x >> 8) & 0xFF]) + k.s[3][x & 0xFF];
}

}  // namespace

// The 16 Feistel rounds, written without the swaps: the halves trade roles
// from one round to the next, and the final exchange is the reversed output.
template <int N>
[[gnu::always_inline]] inline void BlowfishEngine::Encrypt(const Schedule& k, std::uint32_t* left,
                                                           std::uint32_t* right) noexcept {
  // Local copies stay in registers: the caller's words may sit in memory that
  // the compiler cannot prove distinct from the tables.
  std::uint32_t l[N], r[N];
  for (int i = 0; i < N; ++i) {
    l[i] = left[i] ^ k.p[0];
    r[i] = right[i];
  }
  for (int round = 1; round < 16; round += 2) {
    for (int i = 0; i < N; ++i) r[i] ^= F(k, l[i]) ^ k.p[round];
    for (int i = 0; i < N; ++i) l[i] ^= F(k, r[i]) ^ k.p[round + 1];
  }
  for (int i = 0; i < N; ++i) {
    left[i] = r[i] ^ k.p[17];
    right[i] = l[i];
  }
}

template <int N>
[[gnu::always_inline]] inline void BlowfishEngine::Decrypt(const Schedule& k, std::uint32_t* left,
                                                           std::uint32_t* right) noexcept {
  std::uint32_t l[N], r[N];
  for (int i = 0; i < N; ++i) {
    l[i] = left[i] ^ k.p[17];
    r[i] = right[i];
  }
  for (int round = 16; round > 1; round -= 2) {
    for (int i = 0; i < N; ++i) r[i] ^= F(k, l[i]) ^ k.p[round];
    for (int i = 0; i < N; ++i) l[i] ^= F(k, r[i]) ^ k.p[round - 1];
  }
  for (int i = 0; i < N; ++i) {
    left[i] = r[i] ^ k.p[0];
    right[i] = l[i];
  }
}

void BlowfishEngine::ScheduleKey(Schedule& k, std::span<const std::uint8_t> key) noexcept {
  std::memcpy(k.s, blowfish_tables::kInitialS, sizeof(k.s));
  std::memcpy(k.p, blowfish_tables::kInitialP, sizeof(k.p));

  std::size_t at = 0;
  for (std::uint32_t& entry : k.p) {
    std::uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      word = (word << 8) | key[at];
      at = (at + 1) % key.size();
    }
    entry ^= word;
  }

  // Each encryption of the running block replaces the next two entries,
  // first through the P-array, then through the S-boxes in order.
  std::uint32_t block[2] = {0, 0};
  auto refill = [&](std::uint32_t* entries, std::size_t count) {
    for (std::size_t i = 0; i < count; i += 2) {
      Encrypt<1>(k, &block[0], &block[1]);
      entries[i] = block[0];
      entries[i + 1] = block[1];
    }
  };
  refill(k.p, 18);
  for (auto& box : k.s) refill(box, 256);
  BurnBytes(block, sizeof(block));
}

void BlowfishEngine::BurnSchedule(Schedule& k) noexcept { BurnBytes(&k, sizeof(k)); }

template class BlockCipherModes<BlowfishEngine>;

}  // namespace voltare::crypto
