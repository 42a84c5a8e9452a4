// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keys of the sealed files (algorithm code 3): derived from the password
// with Argon2id, which is slow and memory-hard on purpose, so that guessing
// passwords costs an attacker what it costs us, once per guess.
//
// A derivation takes the better part of a second and hundreds of MiB, so a
// batch derives once: a SealedKeyRing keeps the keys it derived, found again
// by password, salt and limits, in locked memory, burned when the ring goes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "common/locked_memory.h"
#include "common/progress.h"
#include "common/secret_string.h"

namespace voltare::transforms {

inline constexpr std::size_t kSealedSaltSize = 16;
using SealedSalt = std::array<std::uint8_t, kSealedSaltSize>;

// What the file header stores about its key: Argon2id's passes and memory.
struct Argon2Limits {
  std::uint32_t passes = 0;
  std::uint32_t memoryKiB = 0;
  friend bool operator==(const Argon2Limits&, const Argon2Limits&) = default;
};

// What a file may ask for. A hostile header must never make the program
// spend more than this, nor a weak one pass for a sealed file.
inline constexpr Argon2Limits kArgon2Lowest{1, 8 * 1024};
inline constexpr Argon2Limits kArgon2Highest{20, 1024 * 1024};

bool Argon2LimitsAllowed(const Argon2Limits& limits) noexcept;

// The limits new files get: three passes over 256 MiB. The test suite lowers
// them through VOLTARE_ARGON2_LIMITS="passes,KiB" (within the allowed range;
// anything else is ignored) so that it stays fast.
Argon2Limits DefaultArgon2Limits();

// 32 bytes that key the stream, and 32 that key the password check.
struct SealedKeyBytes {
  std::array<std::uint8_t, 32> stream;
  std::array<std::uint8_t, 32> check;
};

struct SealedKey {
  Argon2Limits limits;
  SealedSalt salt{};
  common::LockedBox<SealedKeyBytes> bytes;
};

// Derives the key for `password`, `salt` and `limits`; throws
// std::bad_alloc when the memory cannot be had, std::invalid_argument for
// limits outside the allowed range.
SealedKey DeriveSealedKey(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits);

class SealedKeyRing {
 public:
  SealedKeyRing();
  ~SealedKeyRing();
  SealedKeyRing(const SealedKeyRing&) = delete;
  SealedKeyRing& operator=(const SealedKeyRing&) = delete;

  // Who is told of a derivation: `deriving(true)` before one starts and
  // `deriving(false)` once it ended (the window shows its status text for
  // that time), and `progress` is repainted while it runs. Either may be empty.
  void Observe(std::function<void(bool)> deriving, common::Progress* progress) {
    deriving_ = std::move(deriving);
    progress_ = progress;
  }

  // The key a batch encrypts with: derived with a fresh salt at the default
  // limits the first time a password is asked for, the same key afterwards.
  const SealedKey& ForEncryption(std::string_view password);
  // The key of a file whose header holds `salt` and `limits`, derived only
  // when no key of the ring matches all three.
  const SealedKey& ForFile(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits);

  // How many derivations the ring ran.
  int derivations() const noexcept { return derivations_; }

 private:
  struct Entry {
    common::SecretString password;
    bool forEncryption;
    SealedKey key;
  };
  const SealedKey& Derive(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits,
                          bool forEncryption);

  std::function<void(bool)> deriving_;
  common::Progress* progress_ = nullptr;
  std::vector<std::unique_ptr<Entry>> entries_;
  int derivations_ = 0;
};

}  // namespace voltare::transforms
