// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/sealed_key.h"

#include <sodium.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <future>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "transforms/sodium_init.h"

namespace voltare::transforms {

namespace {

// Three passes over 256 MiB: the moderate limits of the library.
constexpr Argon2Limits kArgon2Default{3, 256 * 1024};

// "passes,KiB", for the test suite only; nullopt when absent or malformed.
std::optional<Argon2Limits> LimitsFromEnvironment() {
  const char* text = std::getenv("VOLTARE_ARGON2_LIMITS");
  if (text == nullptr) return std::nullopt;
  const std::string_view value(text);
  const auto comma = value.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  Argon2Limits limits;
  const auto passes = value.substr(0, comma);
  const auto memory = value.substr(comma + 1);
  if (std::from_chars(passes.data(), passes.data() + passes.size(), limits.passes).ptr !=
      passes.data() + passes.size()) {
    return std::nullopt;
  }
  if (std::from_chars(memory.data(), memory.data() + memory.size(), limits.memoryKiB).ptr !=
      memory.data() + memory.size()) {
    return std::nullopt;
  }
  if (!Argon2LimitsAllowed(limits)) return std::nullopt;
  return limits;
}

}  // namespace

bool Argon2LimitsAllowed(const Argon2Limits& limits) noexcept {
  return limits.passes >= kArgon2Lowest.passes && limits.passes <= kArgon2Highest.passes &&
         limits.memoryKiB >= kArgon2Lowest.memoryKiB && limits.memoryKiB <= kArgon2Highest.memoryKiB;
}

Argon2Limits DefaultArgon2Limits() { return LimitsFromEnvironment().value_or(kArgon2Default); }

SealedKey DeriveSealedKey(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits) {
  if (!Argon2LimitsAllowed(limits)) throw std::invalid_argument("Argon2id limits out of range");
  RequireSodium();
  SealedKey key{limits, salt, {}};
  static_assert(sizeof(SealedKeyBytes) == 64);
  auto* out = reinterpret_cast<unsigned char*>(key.bytes.get());
  // The library fails only when it cannot have the memory the limits ask for.
  if (crypto_pwhash(out, sizeof(SealedKeyBytes), password.data(), password.size(), salt.data(), limits.passes,
                    static_cast<std::size_t>(limits.memoryKiB) * 1024U, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    throw std::bad_alloc();
  }
  return key;
}

SealedKeyRing::SealedKeyRing() = default;

SealedKeyRing::~SealedKeyRing() = default;

const SealedKey& SealedKeyRing::ForEncryption(std::string_view password) {
  for (const auto& entry : entries_) {
    if (entry->forEncryption && entry->password == password) return entry->key;
  }
  SealedSalt salt;
  RequireSodium();
  randombytes_buf(salt.data(), salt.size());
  return Derive(password, salt, DefaultArgon2Limits(), true);
}

const SealedKey& SealedKeyRing::ForFile(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits) {
  for (const auto& entry : entries_) {
    if (entry->key.salt == salt && entry->key.limits == limits && entry->password == password) return entry->key;
  }
  return Derive(password, salt, limits, false);
}

// The derivation runs on a thread of its own while this one repaints, so the
// window stays alive for the second or so it takes.
const SealedKey& SealedKeyRing::Derive(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits,
                                       bool forEncryption) {
  if (deriving_) deriving_(true);
  auto derivation = std::async(std::launch::async, [&] { return DeriveSealedKey(password, salt, limits); });
  while (derivation.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    if (progress_ != nullptr) progress_->repaint();
  }
  if (deriving_) deriving_(false);
  auto entry = std::make_unique<Entry>(Entry{common::SecretString(password), forEncryption, derivation.get()});
  ++derivations_;
  entries_.push_back(std::move(entry));
  return entries_.back()->key;
}

}  // namespace voltare::transforms
