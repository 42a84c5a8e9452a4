// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the batch commands hand to the single-file encryptions: the password
// text for Blowfish and CAST-128, its first 8 bytes (zero-padded) for DES,
// the keys derived from it for sealed files.
// Both live in locked memory and are overwritten when the object goes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/locked_memory.h"
#include "common/secret_string.h"
#include "transforms/sealed_key.h"

namespace voltare::transforms {

struct KeyMaterial {
  // `batchKeys`: the ring of sealed-file keys the whole batch shares, so that
  // a batch derives once however many KeyMaterials it makes; a ring of its
  // own when none is given.
  explicit KeyMaterial(std::string_view password_text, std::shared_ptr<SealedKeyRing> batchKeys = nullptr);
  ~KeyMaterial();
  KeyMaterial(const KeyMaterial&) = delete;
  KeyMaterial& operator=(const KeyMaterial&) = delete;

  common::LockedBox<std::array<std::uint8_t, 8>> keyBlock;
  common::SecretString password;
  // The sealed files' keys derived in the batch. A cache: filling it changes
  // no meaning, so a const KeyMaterial may fill it.
  std::shared_ptr<SealedKeyRing> sealedKeys;
};

// The 8-byte block read as an unsigned little-endian integer (byte 0 least
// significant): the key the DES cipher is given.
std::uint64_t DesKeyFromKeyBlock(std::span<const std::uint8_t, 8> key_block) noexcept;

// The password's first 8 bytes, zero-padded, as DES key. Passwords that agree
// in their first eight bytes give the same key.
std::uint64_t DesKeyFromPassword(std::string_view password) noexcept;

}  // namespace voltare::transforms
