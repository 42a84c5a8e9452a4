// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/cipherbase.h"

#include <algorithm>
#include <utility>

#include "crypto/burn.h"
#include "crypto/sha1.h"

namespace voltare::crypto {

namespace {

// Failure texts; each follows "<Algorithm>: ".
constexpr const char* kNotInitialized = "Not initialized";
constexpr const char* kInvalidKeySize = "Invalid key size - ";  // then the size given, in bits

}  // namespace

void XorBlock(const std::uint8_t* in1, const std::uint8_t* in2, std::uint8_t* out, int size) noexcept {
  for (int i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(in1[i] ^ in2[i]);
}

TBlockCipher::TBlockCipher(std::string algorithm, int max_key_size)
    : algorithm_(std::move(algorithm)), max_key_size_(max_key_size) {}

void TBlockCipher::RequireInitialized() const {
  if (!initialized_) throw CipherError(algorithm_ + ": " + kNotInitialized);
}

void TBlockCipher::RequireValidKeySize(int size) const {
  if (size > max_key_size_ || size <= 0 || size % 8 != 0) {
    throw CipherError(algorithm_ + ": " + kInvalidKeySize + std::to_string(size));
  }
}

void TBlockCipher::InitStr(std::string_view text) {
  TSha1Hash hash;
  hash.Init();
  hash.UpdateStr(text);
  TSha1Hash::Digest digest;
  BurnOnExit<TSha1Hash::Digest> burn_digest(digest);
  hash.Final(digest);
  Init(digest.data(), std::min(max_key_size_, static_cast<int>(digest.size() * 8)), nullptr);
}

THashAlgorithm::THashAlgorithm(std::string algorithm, int hash_size)
    : algorithm_(std::move(algorithm)), hash_size_(hash_size) {}

void THashAlgorithm::RequireInitialized() const {
  if (!initialized_) throw CipherError(algorithm_ + ": " + kNotInitialized);
}

void THashAlgorithm::SetHashSize(int /*size*/) noexcept {}

void THashAlgorithm::UpdateStr(std::string_view text) {
  Update({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace voltare::crypto
