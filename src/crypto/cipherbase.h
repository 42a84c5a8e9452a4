// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The block-cipher and hash component bases shared by Blowfish, CAST-128 and
// SHA-1, plus the small bit utilities their block functions use.
//
// Every cipher works on 64-bit blocks. Keys are set up once per operation,
// then CBC or 8-bit CFB run over the data in pieces; the chaining value (CV)
// carries over from call to call until `Reset` restores the IV.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/locked_memory.h"

namespace voltare::crypto {

// Every cipher and hash failure: bad key size, use before key setup.
class CipherError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// out[i] = in1[i] XOR in2[i] for i < size; nothing when size <= 0.
void XorBlock(const std::uint8_t* in1, const std::uint8_t* in2, std::uint8_t* out, int size) noexcept;

constexpr std::uint16_t LRot16(std::uint16_t x, int n) noexcept {
  const unsigned s = static_cast<unsigned>(n) & 15u;
  return static_cast<std::uint16_t>((x << s) | (x >> ((16u - s) & 15u)));
}
constexpr std::uint16_t RRot16(std::uint16_t x, int n) noexcept {
  const unsigned s = static_cast<unsigned>(n) & 15u;
  return static_cast<std::uint16_t>((x >> s) | (x << ((16u - s) & 15u)));
}
constexpr std::uint32_t LRot32(std::uint32_t x, int n) noexcept {
  const unsigned s = static_cast<unsigned>(n) & 31u;
  return (x << s) | (x >> ((32u - s) & 31u));
}
constexpr std::uint32_t RRot32(std::uint32_t x, int n) noexcept {
  const unsigned s = static_cast<unsigned>(n) & 31u;
  return (x >> s) | (x << ((32u - s) & 31u));
}
constexpr std::uint32_t SwapDWord(std::uint32_t x) noexcept {
  return (x >> 24) | ((x >> 8) & 0x0000FF00u) | ((x << 8) & 0x00FF0000u) | (x << 24);
}

// Abstract 64-bit block cipher.
//
// Data arguments are byte spans; `in` and `out` may be the same buffer. The
// mode operations process in.size() bytes and need out.size() >= in.size()
// (std::invalid_argument otherwise). Used before key setup they throw
// CipherError("<Algorithm>: Not initialized").
class TBlockCipher {
 public:
  static constexpr std::size_t kBlockBytes = 8;
  using Block = std::array<std::uint8_t, kBlockBytes>;

  virtual ~TBlockCipher() = default;
  TBlockCipher(const TBlockCipher&) = delete;
  TBlockCipher& operator=(const TBlockCipher&) = delete;

  // Key setup. `key` holds size / 8 bytes, `size` is in bits; `iv` holds 8
  // bytes or is null, in which case the IV becomes E_K(FF FF FF FF FF FF FF FF).
  // Throws CipherError("<Algorithm>: Invalid key size - <size>") when size is
  // not a positive multiple of 8 up to MaxKeySize(); the cipher then stays
  // uninitialized.
  virtual void Init(const void* key, int size, const void* iv) = 0;
  // Keys the cipher with SHA-1(text), at most MaxKeySize() bits of it, and the
  // default IV.
  void InitStr(std::string_view text);
  // Overwrites key material, IV and CV with 0xFF; the cipher becomes uninitialized.
  virtual void Burn() = 0;
  // Restarts chaining: CV = IV.
  virtual void Reset() = 0;

  // One block without chaining; CV is neither read nor changed.
  virtual void EncryptECB(std::span<const std::uint8_t, kBlockBytes> in, std::span<std::uint8_t, kBlockBytes> out) = 0;
  virtual void DecryptECB(std::span<const std::uint8_t, kBlockBytes> in, std::span<std::uint8_t, kBlockBytes> out) = 0;

  // CBC over any length. Whole blocks chain through CV; a final partial block
  // of r bytes is XORed with the first r bytes of E(CV) and leaves CV as it
  // was, in both directions.
  virtual void EncryptCBC(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) = 0;
  virtual void DecryptCBC(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) = 0;

  // 8-bit cipher feedback.
  virtual void EncryptCFB(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) = 0;
  virtual void DecryptCFB(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) = 0;

  const std::string& Algorithm() const noexcept { return algorithm_; }
  int BlockSize() const noexcept { return block_size_; }     // bits
  int MaxKeySize() const noexcept { return max_key_size_; }  // bits
  bool Initialized() const noexcept { return initialized_; }
  const Block& IV() const noexcept { return iv_; }
  const Block& CV() const noexcept { return cv_; }

 protected:
  TBlockCipher(std::string algorithm, int max_key_size);

  void RequireInitialized() const;
  void RequireValidKeySize(int size) const;

  bool initialized_ = false;
  Block iv_{};
  Block cv_{};

 private:
  std::string algorithm_;
  int block_size_ = 64;
  int max_key_size_;
};

// The modes of TBlockCipher run over an engine's inline block functions, so
// the per-block work of CBC and CFB involves no virtual call. An Engine
// provides:
//   static constexpr char kName[];  static constexpr int kMaxKeyBits;
//   struct Schedule;  (key material, trivially copyable)
//   static void ScheduleKey(Schedule&, std::span<const std::uint8_t> key);
//   static void BurnSchedule(Schedule&);  (overwrites the key material)
//   template <int N> static void Encrypt(const Schedule&, std::uint32_t* left, std::uint32_t* right);
//   template <int N> static void Decrypt(const Schedule&, std::uint32_t* left, std::uint32_t* right);
// where Encrypt/Decrypt<N> process N independent blocks given as big-endian
// word halves.
// The member definitions live in block_modes.h, instantiated once per engine.
template <typename Engine>
class BlockCipherModes : public TBlockCipher {
 public:
  ~BlockCipherModes() override;

  void Init(const void* key, int size, const void* iv) override;
  void Burn() override;
  void Reset() override;
  void EncryptECB(std::span<const std::uint8_t, kBlockBytes> in, std::span<std::uint8_t, kBlockBytes> out) override;
  void DecryptECB(std::span<const std::uint8_t, kBlockBytes> in, std::span<std::uint8_t, kBlockBytes> out) override;
  void EncryptCBC(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) override;
  void DecryptCBC(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) override;
  void EncryptCFB(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) override;
  void DecryptCFB(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) override;

 protected:
  BlockCipherModes();
  const typename Engine::Schedule& schedule() const noexcept { return schedule_; }

 private:
  void BurnState() noexcept;

  // Kept in locked memory, out of swap and core dumps.
  common::LockedBox<typename Engine::Schedule> locked_schedule_;
  typename Engine::Schedule& schedule_ = *locked_schedule_;
};

// Abstract hash.
class THashAlgorithm {
 public:
  virtual ~THashAlgorithm() = default;
  THashAlgorithm(const THashAlgorithm&) = delete;
  THashAlgorithm& operator=(const THashAlgorithm&) = delete;

  // The size is fixed by the algorithm; assigning it changes nothing.
  virtual void SetHashSize(int size) noexcept;
  // Starts a new digest, wiping any previous state first.
  virtual void Init() = 0;
  // Wipes the state; the hash becomes uninitialized.
  virtual void Burn() = 0;
  // Feeds bytes. Throws CipherError("<Algorithm>: Not initialized") before Init.
  virtual void Update(std::span<const std::uint8_t> bytes) = 0;
  // Writes HashSize() / 8 bytes into digest (std::invalid_argument if it is
  // smaller), then burns the state. Throws CipherError when uninitialized.
  virtual void Final(std::span<std::uint8_t> digest) = 0;
  // Feeds the characters of text, without a terminator.
  void UpdateStr(std::string_view text);

  const std::string& Algorithm() const noexcept { return algorithm_; }
  int HashSize() const noexcept { return hash_size_; }  // bits
  bool Initialized() const noexcept { return initialized_; }

 protected:
  THashAlgorithm(std::string algorithm, int hash_size);

  void RequireInitialized() const;

  bool initialized_ = false;

 private:
  std::string algorithm_;
  int hash_size_;
};

}  // namespace voltare::crypto
