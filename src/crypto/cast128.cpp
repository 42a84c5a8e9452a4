// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/cast128.h"

#include <bit>
#include <cstring>
#include <utility>

#include "crypto/block_modes.h"
#include "crypto/burn.h"
#include "crypto/cast128_tables.h"

namespace voltare::crypto {

namespace {

using cast128_tables::kS;

inline std::uint32_t Rotl(std::uint32_t x, std::uint32_t n) noexcept { return std::rotl(x, static_cast<int>(n)); }

// Hides a value from the optimiser so that the expression around it is
// computed as written (see below).
[[gnu::always_inline]] inline std::uint32_t Grouped(std::uint32_t x) noexcept {
  asm("" : "+r"(x));
  return x;
}

// The S1..S4 indexes of a round: the bytes of I = x <<< Kr from the most
// significant down. The encryption of a CBC stream is one long dependency
// chain through these rounds, so each link is kept short: the second byte
// comes from a second rotation (by 16 more) rather than a shift after the
// first, and in the round functions below sums are regrouped (addition and
// subtraction commute modulo 2^32) so that the slowest look-up enters last.
struct RoundIndexes {
  std::uint32_t a, b, c, d;
};

[[gnu::always_inline]] inline RoundIndexes Indexes(std::uint32_t x, std::uint32_t kr) noexcept {
  const std::uint32_t i = Rotl(x, kr);
  const std::uint32_t j = Rotl(x, Grouped(kr + 16) & 31);
  return {i >> 24, j & 0xFF, (i >> 8) & 0xFF, i & 0xFF};
}

// The input of round r's function: Km op D, where op is +, ^ or - by the
// round's type (r mod 3).
template <int Round>
[[gnu::always_inline]] inline std::uint32_t Combine(const Cast128Engine::Schedule& k, std::uint32_t d) noexcept {
  if constexpr (Round % 3 == 0) {
    return k.masking[Round] + d;
  } else if constexpr (Round % 3 == 1) {
    return k.masking[Round] ^ d;
  } else {
    return k.masking[Round] - d;
  }
}

// f of round r from its combined input x. The round number is a template
// argument so that every round compiles to straight-line code.
template <int Round>
[[gnu::always_inline]] inline std::uint32_t RoundF(std::uint32_t x, const Cast128Engine::Schedule& k) noexcept {
  const RoundIndexes n = Indexes(x, k.rotation[Round]);
  if constexpr (Round % 3 == 0) {
    // ((S1 ^ S2) - S3) + S4
    return (kS[0][n.a] ^ kS[1][n.b]) + Grouped(kS[3][n.d] - kS[2][n.c]);
  } else if constexpr (Round % 3 == 1) {
    // ((S1 - S2) + S3) ^ S4
    return (Grouped(kS[0][n.a] + kS[2][n.c]) - kS[1][n.b]) ^ kS[3][n.d];
  } else {
    return ((kS[0][n.a] + kS[1][n.b]) ^ kS[2][n.c]) - kS[3][n.d];
  }
}

// One Feistel step for N blocks: target ^= f(x), x holding this round's
// combined input; x then becomes the combined input of round Next (none when
// Next < 0), whose D is the new target. When Next combines by XOR,
// Km ^ (target ^ f) is formed as (Km ^ target) ^ f: one operation after f
// instead of two.
template <int Round, int Next, int N>
[[gnu::always_inline]] inline void Step(const Cast128Engine::Schedule& k, std::uint32_t* target,
                                        std::uint32_t* x) noexcept {
  for (int i = 0; i < N; ++i) {
    const std::uint32_t f = RoundF<Round>(x[i], k);
    if constexpr (Next >= 0 && Next % 3 == 1) {
      x[i] = Grouped(k.masking[Next] ^ target[i]) ^ f;
      target[i] ^= f;
    } else {
      target[i] ^= f;
      if constexpr (Next >= 0) x[i] = Combine<Next>(k, target[i]);
    }
  }
}

template <int Rounds, int N, std::size_t... Pair>
[[gnu::always_inline]] inline void EncryptPairs(const Cast128Engine::Schedule& k, std::uint32_t* l, std::uint32_t* r,
                                                std::uint32_t* x, std::index_sequence<Pair...>) noexcept {
  ((Step<2 * Pair, 2 * Pair + 1, N>(k, l, x),
    Step<2 * Pair + 1, (2 * Pair + 2 < Rounds ? static_cast<int>(2 * Pair + 2) : -1), N>(k, r, x)),
   ...);
}

template <int Rounds, int N, std::size_t... Pair>
[[gnu::always_inline]] inline void DecryptPairs(const Cast128Engine::Schedule& k, std::uint32_t* l, std::uint32_t* r,
                                                std::uint32_t* x, std::index_sequence<Pair...>) noexcept {
  ((Step<Rounds - 1 - 2 * Pair, Rounds - 2 - 2 * Pair, N>(k, l, x),
    Step<Rounds - 2 - 2 * Pair, Rounds - 3 - 2 * static_cast<int>(Pair), N>(k, r, x)),
   ...);
}

// Both directions end with the halves exchanged; the local copies keep the
// words in registers (see the Blowfish block function).
template <int Rounds, int N>
[[gnu::always_inline]] inline void EncryptRounds(const Cast128Engine::Schedule& k, std::uint32_t* left,
                                                 std::uint32_t* right) noexcept {
  std::uint32_t l[N], r[N], x[N];
  for (int i = 0; i < N; ++i) {
    l[i] = left[i];
    r[i] = right[i];
    x[i] = Combine<0>(k, r[i]);
  }
  EncryptPairs<Rounds, N>(k, l, r, x, std::make_index_sequence<Rounds / 2>());
  for (int i = 0; i < N; ++i) {
    left[i] = r[i];
    right[i] = l[i];
  }
}

template <int Rounds, int N>
[[gnu::always_inline]] inline void DecryptRounds(const Cast128Engine::Schedule& k, std::uint32_t* left,
                                                 std::uint32_t* right) noexcept {
  std::uint32_t l[N], r[N], x[N];
  for (int i = 0; i < N; ++i) {
    l[i] = left[i];
    r[i] = right[i];
    x[i] = Combine<Rounds - 1>(k, r[i]);
  }
  DecryptPairs<Rounds, N>(k, l, r, x, std::make_index_sequence<Rounds / 2>());
  for (int i = 0; i < N; ++i) {
    left[i] = r[i];
    right[i] = l[i];
  }
}

// The key schedule works on the 16 key bytes x and a second 16-byte state z;
// each step replaces one word of one state by a word of the other XORed with
// five S-box entries picked by bytes of both.
struct ScheduleState {
  std::uint8_t x[16];
  std::uint8_t z[16];
  ~ScheduleState() { BurnBytes(this, sizeof(*this)); }
};

inline std::uint32_t Word(const std::uint8_t* b, int at) noexcept {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
         std::uint32_t{b[at + 3]};
}

inline void SetWord(std::uint8_t* b, int at, std::uint32_t v) noexcept {
  b[at] = static_cast<std::uint8_t>(v >> 24);
  b[at + 1] = static_cast<std::uint8_t>(v >> 16);
  b[at + 2] = static_cast<std::uint8_t>(v >> 8);
  b[at + 3] = static_cast<std::uint8_t>(v);
}

// S5 ^ S6 ^ S7 ^ S8 of four bytes.
inline std::uint32_t Mix(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) noexcept {
  return kS[4][a] ^ kS[5][b] ^ kS[6][c] ^ kS[7][d];
}

void XFromZ(ScheduleState& s) noexcept {
  const std::uint8_t* z = s.z;
  std::uint8_t* x = s.x;
  SetWord(x, 0, Word(z, 8) ^ Mix(z[5], z[7], z[4], z[6]) ^ kS[6][z[0]]);
  SetWord(x, 4, Word(z, 0) ^ Mix(x[0], x[2], x[1], x[3]) ^ kS[7][z[2]]);
  SetWord(x, 8, Word(z, 4) ^ Mix(x[7], x[6], x[5], x[4]) ^ kS[4][z[1]]);
  SetWord(x, 12, Word(z, 12) ^ Mix(x[10], x[9], x[11], x[8]) ^ kS[5][z[3]]);
}

void ZFromX(ScheduleState& s) noexcept {
  const std::uint8_t* x = s.x;
  std::uint8_t* z = s.z;
  SetWord(z, 0, Word(x, 0) ^ Mix(x[13], x[15], x[12], x[14]) ^ kS[6][x[8]]);
  SetWord(z, 4, Word(x, 8) ^ Mix(z[0], z[2], z[1], z[3]) ^ kS[7][x[10]]);
  SetWord(z, 8, Word(x, 12) ^ Mix(z[7], z[6], z[5], z[4]) ^ kS[4][x[9]]);
  SetWord(z, 12, Word(x, 4) ^ Mix(z[10], z[9], z[11], z[8]) ^ kS[5][x[11]]);
}

// Sixteen subkeys: four from each of z, x, z, x in turn.
void DeriveSixteen(ScheduleState& s, std::uint32_t* k) noexcept {
  const std::uint8_t* x = s.x;
  const std::uint8_t* z = s.z;
  ZFromX(s);
  k[0] = Mix(z[8], z[9], z[7], z[6]) ^ kS[4][z[2]];
  k[1] = Mix(z[10], z[11], z[5], z[4]) ^ kS[5][z[6]];
  k[2] = Mix(z[12], z[13], z[3], z[2]) ^ kS[6][z[9]];
  k[3] = Mix(z[14], z[15], z[1], z[0]) ^ kS[7][z[12]];
  XFromZ(s);
  k[4] = Mix(x[3], x[2], x[12], x[13]) ^ kS[4][x[8]];
  k[5] = Mix(x[1], x[0], x[14], x[15]) ^ kS[5][x[13]];
  k[6] = Mix(x[7], x[6], x[8], x[9]) ^ kS[6][x[3]];
  k[7] = Mix(x[5], x[4], x[10], x[11]) ^ kS[7][x[7]];
  ZFromX(s);
  k[8] = Mix(z[3], z[2], z[12], z[13]) ^ kS[4][z[9]];
  k[9] = Mix(z[1], z[0], z[14], z[15]) ^ kS[5][z[12]];
  k[10] = Mix(z[7], z[6], z[8], z[9]) ^ kS[6][z[2]];
  k[11] = Mix(z[5], z[4], z[10], z[11]) ^ kS[7][z[6]];
  XFromZ(s);
  k[12] = Mix(x[8], x[9], x[7], x[6]) ^ kS[4][x[3]];
  k[13] = Mix(x[10], x[11], x[5], x[4]) ^ kS[5][x[7]];
  k[14] = Mix(x[12], x[13], x[3], x[2]) ^ kS[6][x[8]];
  k[15] = Mix(x[14], x[15], x[1], x[0]) ^ kS[7][x[13]];
}

}  // namespace

template <int N>
[[gnu::always_inline]] inline void Cast128Engine::Encrypt(const Schedule& k, std::uint32_t* left,
                                                          std::uint32_t* right) noexcept {
  if (k.rounds == 12) {
    EncryptRounds<12, N>(k, left, right);
  } else {
    EncryptRounds<16, N>(k, left, right);
  }
}

template <int N>
[[gnu::always_inline]] inline void Cast128Engine::Decrypt(const Schedule& k, std::uint32_t* left,
                                                          std::uint32_t* right) noexcept {
  if (k.rounds == 12) {
    DecryptRounds<12, N>(k, left, right);
  } else {
    DecryptRounds<16, N>(k, left, right);
  }
}

void Cast128Engine::ScheduleKey(Schedule& k, std::span<const std::uint8_t> key) noexcept {
  ScheduleState s;
  std::memset(s.x, 0, sizeof(s.x));
  std::memcpy(s.x, key.data(), key.size());
  k.rounds = key.size() * 8 <= 80 ? 12 : 16;
  DeriveSixteen(s, k.masking);
  DeriveSixteen(s, k.rotation);
  for (std::uint32_t& r : k.rotation) r &= 31;
}

void Cast128Engine::BurnSchedule(Schedule& k) noexcept {
  // The round count is not secret and stays.
  BurnBytes(k.masking, sizeof(k.masking));
  BurnBytes(k.rotation, sizeof(k.rotation));
}

template class BlockCipherModes<Cast128Engine>;

}  // namespace voltare::crypto
