// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/sealed_key.h"

#include <sodium.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

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

namespace {

// What a derivation needs, owned by its thread: a derivation the user stops
// cannot be interrupted, so it runs on to its end after the step is gone.
struct DerivationJob {
  common::SecretString password;
  SealedSalt salt;
  Argon2Limits limits;
  std::promise<SealedKey> result;
};

// One derivation at a time in the whole program: one the user left behind
// still holds its memory (up to a GiB), and the next waits for it to end.
// Never destroyed, since a thread left behind may still hold it at exit.
std::mutex& DerivationSlot() {
  static auto* slot = new std::mutex;
  return *slot;
}

// Starts the derivation on a thread of its own. Once nobody waits for it any
// more, its key is burned as the thread ends.
std::future<SealedKey> StartDerivation(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits) {
  auto job = std::make_shared<DerivationJob>(DerivationJob{common::SecretString(password), salt, limits, {}});
  std::future<SealedKey> result = job->result.get_future();
  std::thread([job] {
    const std::lock_guard<std::mutex> slot(DerivationSlot());
    try {
      job->result.set_value(DeriveSealedKey(job->password, job->salt, job->limits));
    } catch (...) {
      job->result.set_exception(std::current_exception());
    }
  }).detach();
  return result;
}

}  // namespace

// The derivation runs on a thread of its own while this one repaints, so the
// window stays alive for the second or so it takes, and its Cancel is heard:
// a stop ends the step at once, as every stop does, and leaves the
// derivation to finish and burn its key on its own.
const SealedKey& SealedKeyRing::Derive(std::string_view password, const SealedSalt& salt, const Argon2Limits& limits,
                                       bool forEncryption) {
  common::StopIfCancelled(progress_);
  std::future<SealedKey> derivation = StartDerivation(password, salt, limits);
  if (deriving_) deriving_(true);
  bool stopped = false;
  while (!stopped && derivation.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    if (progress_ == nullptr) continue;
    progress_->repaint();
    stopped = progress_->cancelRequested();
  }
  if (deriving_) deriving_(false);
  if (stopped) throw common::StepCancelled();
  auto entry = std::make_unique<Entry>(Entry{common::SecretString(password), forEncryption, derivation.get()});
  ++derivations_;
  entries_.push_back(std::move(entry));
  return entries_.back()->key;
}

}  // namespace voltare::transforms
