// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/key_material.h"

#include <algorithm>

#include "crypto/burn.h"

namespace voltare::transforms {

namespace {

void CopyKeyBlock(std::string_view password, std::array<std::uint8_t, 8>& block) noexcept {
  block.fill(0);
  const auto count = std::min(password.size(), block.size());
  std::transform(password.begin(), password.begin() + static_cast<std::ptrdiff_t>(count), block.begin(),
                 [](char c) { return static_cast<std::uint8_t>(c); });
}

}  // namespace

KeyMaterial::KeyMaterial(std::string_view password_text, std::shared_ptr<SealedKeyRing> batchKeys)
    : password(password_text),
      sealedKeys(batchKeys != nullptr ? std::move(batchKeys) : std::make_shared<SealedKeyRing>()) {
  CopyKeyBlock(password_text, *keyBlock);
}

KeyMaterial::~KeyMaterial() { crypto::Burn(*keyBlock); }

std::uint64_t DesKeyFromKeyBlock(std::span<const std::uint8_t, 8> key_block) noexcept {
  std::uint64_t key = 0;
  for (std::size_t i = key_block.size(); i-- > 0;) key = (key << 8) | key_block[i];
  return key;
}

std::uint64_t DesKeyFromPassword(std::string_view password) noexcept {
  std::array<std::uint8_t, 8> block;
  CopyKeyBlock(password, block);
  const std::uint64_t key = DesKeyFromKeyBlock(block);
  crypto::Burn(block);
  return key;
}

}  // namespace voltare::transforms
