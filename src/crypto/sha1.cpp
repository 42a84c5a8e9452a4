// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/sha1.h"

#include <cstring>
#include <stdexcept>

#include "crypto/burn.h"

namespace voltare::crypto {

namespace {

constexpr std::uint32_t kInitialHash[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

constexpr std::uint32_t Rotl(std::uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

TSha1Hash::TSha1Hash() : THashAlgorithm("SHA1", 160) { Burn(); }

TSha1Hash::~TSha1Hash() { Burn(); }

void TSha1Hash::Init() {
  Burn();
  std::memcpy(hash_, kInitialHash, sizeof(hash_));
  initialized_ = true;
}

void TSha1Hash::Burn() {
  len_hi_ = 0;
  len_lo_ = 0;
  index_ = 0;
  BurnBytes(buffer_, sizeof(buffer_), 0);
  BurnBytes(hash_, sizeof(hash_), 0);
  initialized_ = false;
}

void TSha1Hash::UpdateLen(std::size_t len) noexcept {
  const std::uint64_t bits = std::uint64_t{len} * 8;
  const std::uint32_t low_add = static_cast<std::uint32_t>(bits);
  const std::uint32_t old_low = len_lo_;
  len_lo_ += low_add;
  if (len_lo_ < old_low) ++len_hi_;
  len_hi_ += static_cast<std::uint32_t>(bits >> 32);
}

void TSha1Hash::Update(std::span<const std::uint8_t> bytes) {
  RequireInitialized();
  UpdateLen(bytes.size());
  const std::uint8_t* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const std::size_t take = std::min(left, sizeof(buffer_) - index_);
    std::memcpy(buffer_ + index_, data, take);
    index_ += take;
    data += take;
    left -= take;
    if (index_ == sizeof(buffer_)) {
      Compress();
      index_ = 0;
    }
  }
}

void TSha1Hash::Final(std::span<std::uint8_t> digest) {
  RequireInitialized();
  if (digest.size() < kDigestBytes) throw std::invalid_argument("digest buffer shorter than 20 bytes");
  buffer_[index_++] = 0x80;
  if (index_ > sizeof(buffer_) - 8) {
    std::memset(buffer_ + index_, 0, sizeof(buffer_) - index_);
    Compress();
    index_ = 0;
  }
  std::memset(buffer_ + index_, 0, sizeof(buffer_) - 8 - index_);
  const std::uint32_t length_words[2] = {len_hi_, len_lo_};
  for (int w = 0; w < 2; ++w) {
    for (int b = 0; b < 4; ++b) buffer_[56 + w * 4 + b] = static_cast<std::uint8_t>(length_words[w] >> (24 - 8 * b));
  }
  Compress();
  for (int w = 0; w < 5; ++w) {
    for (int b = 0; b < 4; ++b) digest[w * 4 + b] = static_cast<std::uint8_t>(hash_[w] >> (24 - 8 * b));
  }
  Burn();
}

void TSha1Hash::Compress() noexcept {
  std::uint32_t w[80];
  for (int t = 0; t < 16; ++t) {
    w[t] = (std::uint32_t{buffer_[t * 4]} << 24) | (std::uint32_t{buffer_[t * 4 + 1]} << 16) |
           (std::uint32_t{buffer_[t * 4 + 2]} << 8) | std::uint32_t{buffer_[t * 4 + 3]};
  }
  for (int t = 16; t < 80; ++t) w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  std::uint32_t a = hash_[0], b = hash_[1], c = hash_[2], d = hash_[3], e = hash_[4];
  auto step = [&](std::uint32_t f, std::uint32_t k, std::uint32_t word) {
    const std::uint32_t temp = Rotl(a, 5) + f + e + k + word;
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = temp;
  };
  for (int t = 0; t < 20; ++t) step((b & c) | (~b & d), 0x5A827999, w[t]);
  for (int t = 20; t < 40; ++t) step(b ^ c ^ d, 0x6ED9EBA1, w[t]);
  for (int t = 40; t < 60; ++t) step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, w[t]);
  for (int t = 60; t < 80; ++t) step(b ^ c ^ d, 0xCA62C1D6, w[t]);

  hash_[0] += a;
  hash_[1] += b;
  hash_[2] += c;
  hash_[3] += d;
  hash_[4] += e;
  BurnBytes(w, sizeof(w), 0);
  BurnBytes(buffer_, sizeof(buffer_), 0);
}

}  // namespace voltare::crypto
