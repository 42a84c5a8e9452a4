// SPDX-License-Identifier: GPL-3.0-or-later
// Blowfish and CAST-128 chaining modes against OpenSSL's legacy block-cipher
// API, in the 8 KB pieces the file transforms use.

#include <openssl/blowfish.h>
#include <openssl/cast.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "compare.h"
#include "crypto/blowfish.h"
#include "crypto/cast128.h"

namespace {

using voltare::bench::AddThroughputBenchmark;
using voltare::bench::Side;

constexpr std::size_t kChunk = 8192;
constexpr std::array<std::uint8_t, 16> kKey = {0x01, 0x23, 0x45, 0x67, 0x12, 0x34, 0x56, 0x78,
                                               0x23, 0x45, 0x67, 0x89, 0x34, 0x56, 0x78, 0x9a};

struct Buffers {
  std::vector<std::uint8_t> in = std::vector<std::uint8_t>(kChunk, 0x5a);
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kChunk);
};

void Account(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

enum class Direction { kEncrypt, kDecrypt };

template <typename Cipher>
void OursCbc(benchmark::State& state, Direction direction) {
  Cipher cipher;
  cipher.Init(kKey.data(), 128, nullptr);
  Buffers b;
  for (auto _ : state) {
    if (direction == Direction::kEncrypt) {
      cipher.EncryptCBC(b.in, b.out);
    } else {
      cipher.DecryptCBC(b.in, b.out);
    }
    benchmark::DoNotOptimize(b.out.data());
  }
  Account(state, kChunk);
}

template <typename Cipher>
void OursCfb(benchmark::State& state, Direction direction) {
  Cipher cipher;
  cipher.Init(kKey.data(), 128, nullptr);
  Buffers b;
  for (auto _ : state) {
    if (direction == Direction::kEncrypt) {
      cipher.EncryptCFB(b.in, b.out);
    } else {
      cipher.DecryptCFB(b.in, b.out);
    }
    benchmark::DoNotOptimize(b.out.data());
  }
  Account(state, kChunk);
}

void OpensslBlowfishCbc(benchmark::State& state, Direction direction) {
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(kKey.size()), kKey.data());
  unsigned char iv[8] = {};
  Buffers b;
  const int mode = direction == Direction::kEncrypt ? BF_ENCRYPT : BF_DECRYPT;
  for (auto _ : state) {
    BF_cbc_encrypt(b.in.data(), b.out.data(), kChunk, &key, iv, mode);
    benchmark::DoNotOptimize(b.out.data());
  }
  Account(state, kChunk);
}

void OpensslCastCbc(benchmark::State& state, Direction direction) {
  CAST_KEY key;
  CAST_set_key(&key, static_cast<int>(kKey.size()), kKey.data());
  unsigned char iv[8] = {};
  Buffers b;
  const int mode = direction == Direction::kEncrypt ? CAST_ENCRYPT : CAST_DECRYPT;
  for (auto _ : state) {
    CAST_cbc_encrypt(b.in.data(), b.out.data(), kChunk, &key, iv, mode);
    benchmark::DoNotOptimize(b.out.data());
  }
  Account(state, kChunk);
}

BF_LONG BigWord(const unsigned char* p) {
  return static_cast<BF_LONG>((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
                              p[3]);
}

// OpenSSL offers Blowfish with 64-bit feedback only, so the reference for
// 8-bit feedback is its block function under the plain byte-wise CFB loop.
void OpensslBlowfishCfb8(benchmark::State& state, Direction direction) {
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(kKey.size()), kKey.data());
  unsigned char reg[8] = {};
  Buffers b;
  for (auto _ : state) {
    for (std::size_t i = 0; i < kChunk; ++i) {
      BF_LONG words[2] = {BigWord(reg), BigWord(reg + 4)};
      BF_encrypt(words, &key);
      const std::uint8_t c_in = b.in[i];
      const auto p = static_cast<std::uint8_t>(c_in ^ (words[0] >> 24));
      b.out[i] = p;
      std::memmove(reg, reg + 1, 7);
      reg[7] = direction == Direction::kEncrypt ? p : c_in;
    }
    benchmark::DoNotOptimize(b.out.data());
  }
  Account(state, kChunk);
}

template <typename Fn>
void Compare(const char* operation, Fn ours, Fn reference, Direction direction) {
  AddThroughputBenchmark(operation, Side::kOurs, [=](benchmark::State& s) { ours(s, direction); });
  AddThroughputBenchmark(operation, Side::kReference, [=](benchmark::State& s) { reference(s, direction); });
}

using BenchFn = void (*)(benchmark::State&, Direction);

const bool registered = [] {
  Compare<BenchFn>("Blowfish-CBC encrypt 8K", OursCbc<voltare::crypto::TBlowfishCipher>, OpensslBlowfishCbc,
                   Direction::kEncrypt);
  Compare<BenchFn>("Blowfish-CBC decrypt 8K", OursCbc<voltare::crypto::TBlowfishCipher>, OpensslBlowfishCbc,
                   Direction::kDecrypt);
  Compare<BenchFn>("CAST-128-CBC encrypt 8K", OursCbc<voltare::crypto::TCast128Cipher>, OpensslCastCbc,
                   Direction::kEncrypt);
  Compare<BenchFn>("CAST-128-CBC decrypt 8K", OursCbc<voltare::crypto::TCast128Cipher>, OpensslCastCbc,
                   Direction::kDecrypt);
  Compare<BenchFn>("Blowfish-CFB8 encrypt 8K", OursCfb<voltare::crypto::TBlowfishCipher>, OpensslBlowfishCfb8,
                   Direction::kEncrypt);
  Compare<BenchFn>("Blowfish-CFB8 decrypt 8K", OursCfb<voltare::crypto::TBlowfishCipher>, OpensslBlowfishCfb8,
                   Direction::kDecrypt);
  return true;
}();

}  // namespace
