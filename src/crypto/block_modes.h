// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Member definitions of BlockCipherModes<Engine>. Included only by the .cpp of
// each cipher, next to the engine's inline block functions, and instantiated
// there once, so the chaining loops compile around the block function itself.

#include <cstring>
#include <stdexcept>

#include "crypto/burn.h"
#include "crypto/cipherbase.h"

namespace voltare::crypto {

namespace block_io {

inline std::uint32_t LoadBig(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

inline void StoreBig(std::uint8_t* p, std::uint32_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

inline void RequireRoom(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  if (out.size() < in.size()) throw std::invalid_argument("output buffer shorter than input");
}

// Words are wiped once a call ends so no key-dependent block stays on the stack.
template <std::size_t N>
struct WordBlocks {
  std::uint32_t left[N];
  std::uint32_t right[N];
  ~WordBlocks() { BurnBytes(this, sizeof(*this)); }
};

}  // namespace block_io

template <typename Engine>
BlockCipherModes<Engine>::BlockCipherModes() : TBlockCipher(Engine::kName, Engine::kMaxKeyBits) {
  BurnState();
}

template <typename Engine>
BlockCipherModes<Engine>::~BlockCipherModes() {
  if (initialized_) BurnState();
}

template <typename Engine>
void BlockCipherModes<Engine>::Init(const void* key, int size, const void* iv) {
  if (initialized_) Burn();
  RequireValidKeySize(size);
  if (key == nullptr) throw std::invalid_argument("key is null");
  Engine::ScheduleKey(schedule_, {static_cast<const std::uint8_t*>(key), static_cast<std::size_t>(size / 8)});
  if (iv != nullptr) {
    std::memcpy(iv_.data(), iv, kBlockBytes);
  } else {
    iv_.fill(0xFF);
    block_io::WordBlocks<1> t;
    t.left[0] = block_io::LoadBig(iv_.data());
    t.right[0] = block_io::LoadBig(iv_.data() + 4);
    Engine::template Encrypt<1>(schedule_, t.left, t.right);
    block_io::StoreBig(iv_.data(), t.left[0]);
    block_io::StoreBig(iv_.data() + 4, t.right[0]);
  }
  cv_ = iv_;
  initialized_ = true;
}

template <typename Engine>
void BlockCipherModes<Engine>::BurnState() noexcept {
  Engine::BurnSchedule(schedule_);
  crypto::Burn(iv_);
  crypto::Burn(cv_);
  initialized_ = false;
}

template <typename Engine>
void BlockCipherModes<Engine>::Burn() {
  BurnState();
}

template <typename Engine>
void BlockCipherModes<Engine>::Reset() {
  cv_ = iv_;
}

template <typename Engine>
void BlockCipherModes<Engine>::EncryptECB(std::span<const std::uint8_t, kBlockBytes> in,
                                          std::span<std::uint8_t, kBlockBytes> out) {
  RequireInitialized();
  block_io::WordBlocks<1> t;
  t.left[0] = block_io::LoadBig(in.data());
  t.right[0] = block_io::LoadBig(in.data() + 4);
  Engine::template Encrypt<1>(schedule_, t.left, t.right);
  block_io::StoreBig(out.data(), t.left[0]);
  block_io::StoreBig(out.data() + 4, t.right[0]);
}

template <typename Engine>
void BlockCipherModes<Engine>::DecryptECB(std::span<const std::uint8_t, kBlockBytes> in,
                                          std::span<std::uint8_t, kBlockBytes> out) {
  RequireInitialized();
  block_io::WordBlocks<1> t;
  t.left[0] = block_io::LoadBig(in.data());
  t.right[0] = block_io::LoadBig(in.data() + 4);
  Engine::template Decrypt<1>(schedule_, t.left, t.right);
  block_io::StoreBig(out.data(), t.left[0]);
  block_io::StoreBig(out.data() + 4, t.right[0]);
}

namespace block_io {

// The partial last block of CBC: XOR with the first bytes of E(CV); CV stays.
// Being an XOR with a value both sides can compute, it is its own inverse.
template <typename Engine>
void CbcTail(const typename Engine::Schedule& schedule, const TBlockCipher::Block& cv, const std::uint8_t* in,
             std::uint8_t* out, std::size_t count) {
  WordBlocks<1> t;
  t.left[0] = LoadBig(cv.data());
  t.right[0] = LoadBig(cv.data() + 4);
  Engine::template Encrypt<1>(schedule, t.left, t.right);
  TBlockCipher::Block pad;
  BurnOnExit<TBlockCipher::Block> burn_pad(pad);
  StoreBig(pad.data(), t.left[0]);
  StoreBig(pad.data() + 4, t.right[0]);
  XorBlock(in, pad.data(), out, static_cast<int>(count));
}

}  // namespace block_io

// The chaining loops keep their block words in plain locals, which live in
// registers; the only temporary block that reaches memory is the tail pad,
// and it is burned.
template <typename Engine>
void BlockCipherModes<Engine>::EncryptCBC(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  using namespace block_io;
  RequireInitialized();
  RequireRoom(in, out);
  const std::uint8_t* src = in.data();
  std::uint8_t* dst = out.data();
  std::uint32_t left[1] = {LoadBig(cv_.data())};
  std::uint32_t right[1] = {LoadBig(cv_.data() + 4)};
  for (std::size_t blocks = in.size() / kBlockBytes; blocks > 0; --blocks) {
    left[0] ^= LoadBig(src);
    right[0] ^= LoadBig(src + 4);
    Engine::template Encrypt<1>(schedule_, left, right);
    StoreBig(dst, left[0]);
    StoreBig(dst + 4, right[0]);
    src += kBlockBytes;
    dst += kBlockBytes;
  }
  StoreBig(cv_.data(), left[0]);
  StoreBig(cv_.data() + 4, right[0]);
  if (const std::size_t tail = in.size() % kBlockBytes; tail != 0) CbcTail<Engine>(schedule_, cv_, src, dst, tail);
}

template <typename Engine>
void BlockCipherModes<Engine>::DecryptCBC(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  using namespace block_io;
  RequireInitialized();
  RequireRoom(in, out);
  // Blocks decrypt independently, so four run interleaved to hide the
  // latency of the table look-ups.
  constexpr std::size_t kLanes = 4;
  const std::uint8_t* src = in.data();
  std::uint8_t* dst = out.data();
  std::uint32_t cv_left = LoadBig(cv_.data());
  std::uint32_t cv_right = LoadBig(cv_.data() + 4);
  std::size_t blocks = in.size() / kBlockBytes;
  for (; blocks >= kLanes; blocks -= kLanes) {
    std::uint32_t c_left[kLanes], c_right[kLanes], left[kLanes], right[kLanes];
    for (std::size_t i = 0; i < kLanes; ++i) {
      c_left[i] = left[i] = LoadBig(src + i * kBlockBytes);
      c_right[i] = right[i] = LoadBig(src + i * kBlockBytes + 4);
    }
    Engine::template Decrypt<kLanes>(schedule_, left, right);
    StoreBig(dst, left[0] ^ cv_left);
    StoreBig(dst + 4, right[0] ^ cv_right);
    for (std::size_t i = 1; i < kLanes; ++i) {
      StoreBig(dst + i * kBlockBytes, left[i] ^ c_left[i - 1]);
      StoreBig(dst + i * kBlockBytes + 4, right[i] ^ c_right[i - 1]);
    }
    cv_left = c_left[kLanes - 1];
    cv_right = c_right[kLanes - 1];
    src += kLanes * kBlockBytes;
    dst += kLanes * kBlockBytes;
  }
  for (; blocks > 0; --blocks) {
    std::uint32_t left[1] = {LoadBig(src)};
    std::uint32_t right[1] = {LoadBig(src + 4)};
    const std::uint32_t c_left = left[0], c_right = right[0];
    Engine::template Decrypt<1>(schedule_, left, right);
    StoreBig(dst, left[0] ^ cv_left);
    StoreBig(dst + 4, right[0] ^ cv_right);
    cv_left = c_left;
    cv_right = c_right;
    src += kBlockBytes;
    dst += kBlockBytes;
  }
  StoreBig(cv_.data(), cv_left);
  StoreBig(cv_.data() + 4, cv_right);
  if (const std::size_t tail = in.size() % kBlockBytes; tail != 0) CbcTail<Engine>(schedule_, cv_, src, dst, tail);
}

template <typename Engine>
void BlockCipherModes<Engine>::EncryptCFB(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  using namespace block_io;
  RequireInitialized();
  RequireRoom(in, out);
  // CV as a 64-bit shift register: high word = CV[0..3], low word = CV[4..7].
  std::uint32_t cv_left = LoadBig(cv_.data());
  std::uint32_t cv_right = LoadBig(cv_.data() + 4);
  for (std::size_t i = 0; i < in.size(); ++i) {
    std::uint32_t left[1] = {cv_left};
    std::uint32_t right[1] = {cv_right};
    Engine::template Encrypt<1>(schedule_, left, right);
    const std::uint8_t c = static_cast<std::uint8_t>(in[i] ^ (left[0] >> 24));
    out[i] = c;
    cv_left = (cv_left << 8) | (cv_right >> 24);
    cv_right = (cv_right << 8) | c;
  }
  StoreBig(cv_.data(), cv_left);
  StoreBig(cv_.data() + 4, cv_right);
}

template <typename Engine>
void BlockCipherModes<Engine>::DecryptCFB(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  using namespace block_io;
  RequireInitialized();
  RequireRoom(in, out);
  // When decrypting, the register contents for every byte are known in
  // advance (the previous eight ciphertext bytes), so several key-stream
  // blocks are computed side by side. `window` holds the last eight
  // ciphertext bytes followed by the next kLanes ones, copied before any
  // output is written so that in-place operation reads the ciphertext.
  constexpr std::size_t kLanes = 4;
  std::uint8_t window[kBlockBytes + kLanes];
  BurnOnExit<std::uint8_t[kBlockBytes + kLanes]> burn_window(window);
  std::memcpy(window, cv_.data(), kBlockBytes);
  std::size_t i = 0;
  for (; in.size() - i >= kLanes; i += kLanes) {
    std::memcpy(window + kBlockBytes, in.data() + i, kLanes);
    std::uint32_t left[kLanes], right[kLanes];
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      left[lane] = LoadBig(window + lane);
      right[lane] = LoadBig(window + lane + 4);
    }
    Engine::template Encrypt<kLanes>(schedule_, left, right);
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      out[i + lane] = static_cast<std::uint8_t>(window[kBlockBytes + lane] ^ (left[lane] >> 24));
    }
    std::memmove(window, window + kLanes, kBlockBytes);
  }
  for (; i < in.size(); ++i) {
    window[kBlockBytes] = in[i];
    std::uint32_t left[1] = {LoadBig(window)};
    std::uint32_t right[1] = {LoadBig(window + 4)};
    Engine::template Encrypt<1>(schedule_, left, right);
    out[i] = static_cast<std::uint8_t>(window[kBlockBytes] ^ (left[0] >> 24));
    std::memmove(window, window + 1, kBlockBytes);
  }
  std::memcpy(cv_.data(), window, kBlockBytes);
}

}  // namespace voltare::crypto
