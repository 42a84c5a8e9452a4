// SPDX-License-Identifier: GPL-3.0-or-later
// DES block encryption against OpenSSL's legacy single-block ECB call, in the
// 4096-byte pieces the encrypted-file stream uses.

#include <openssl/des.h>

#include <cstdint>
#include <vector>

#include "compare.h"
#include "crypto/des.h"

namespace {

using voltare::bench::AddThroughputBenchmark;
using voltare::bench::Side;

constexpr std::size_t kPiece = voltare::crypto::TDESCipher::kPieceSize;
constexpr std::uint64_t kKey = 0x133457799BBCDFF1;

enum class Direction { kEncrypt, kDecrypt };

void Account(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPiece));
}

void OursEcb(benchmark::State& state, Direction direction) {
  const voltare::crypto::TDESCipher cipher(kKey);
  std::vector<std::uint8_t> piece(kPiece, 0x5a);
  for (auto _ : state) {
    if (direction == Direction::kEncrypt) {
      cipher.EncryptBlocks(piece);
    } else {
      cipher.DecryptBlocks(piece);
    }
    benchmark::DoNotOptimize(piece.data());
    benchmark::ClobberMemory();
  }
  Account(state);
}

void OpensslEcb(benchmark::State& state, Direction direction) {
  // The same key in the standard byte order.
  DES_cblock key_bytes;
  for (int i = 0; i < 8; ++i) key_bytes[i] = static_cast<unsigned char>(kKey >> (56 - 8 * i));
  DES_key_schedule schedule;
  DES_set_key_unchecked(&key_bytes, &schedule);
  std::vector<std::uint8_t> piece(kPiece, 0x5a);
  const int mode = direction == Direction::kEncrypt ? DES_ENCRYPT : DES_DECRYPT;
  for (auto _ : state) {
    for (std::size_t offset = 0; offset < kPiece; offset += 8) {
      auto* block = reinterpret_cast<DES_cblock*>(piece.data() + offset);
      DES_ecb_encrypt(block, block, &schedule, mode);
    }
    benchmark::DoNotOptimize(piece.data());
    benchmark::ClobberMemory();
  }
  Account(state);
}

void Compare(const char* operation, Direction direction) {
  AddThroughputBenchmark(operation, Side::kOurs, [=](benchmark::State& s) { OursEcb(s, direction); });
  AddThroughputBenchmark(operation, Side::kReference, [=](benchmark::State& s) { OpensslEcb(s, direction); });
}

const bool registered = [] {
  Compare("DES-ECB encrypt 4K", Direction::kEncrypt);
  Compare("DES-ECB decrypt 4K", Direction::kDecrypt);
  return true;
}();

}  // namespace
