// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/secret_string.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <utility>

#include "common/locked_memory.h"

namespace voltare::common {

namespace {
// The first block: a password of ordinary length never has to move.
constexpr std::size_t kFirstCapacity = 63;
}  // namespace

SecretString::SecretString(std::string_view text) { append(text); }

SecretString::SecretString(SecretString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

SecretString& SecretString::operator=(const SecretString& other) {
  if (this != &other) *this = other.view();
  return *this;
}

SecretString& SecretString::operator=(SecretString&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

SecretString& SecretString::operator=(std::string_view text) {
  if (Holds(text)) {
    SecretString copy(text);
    return *this = std::move(copy);
  }
  clear();
  append(text);
  return *this;
}

SecretString::~SecretString() { Release(); }

void SecretString::clear() noexcept {
  ZeroSecret(data_, size_);
  size_ = 0;
}

void SecretString::reserve(std::size_t count) {
  if (count <= capacity_) return;
  std::size_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_;
  while (capacity < count) {
    if (capacity > SIZE_MAX / 4) throw std::length_error("secret text too long");
    capacity = capacity * 2 + 1;  // blocks of 64, 128, 256... bytes with the terminator
  }
  auto* grown = static_cast<char*>(AllocateLocked(capacity + 1));
  const std::size_t size = size_;
  std::memcpy(grown, data(), size);
  grown[size] = '\0';
  Release();  // zeroes the old block
  data_ = grown;
  size_ = size;
  capacity_ = capacity;
}

void SecretString::append(std::string_view text) {
  if (text.empty()) return;
  if (text.size() > SIZE_MAX / 4 - size_) throw std::length_error("secret text too long");
  // A piece of this very text is found again after the block has moved.
  const bool ownText = Holds(text);
  const std::size_t offset = ownText ? static_cast<std::size_t>(text.data() - data_) : 0;
  reserve(size_ + text.size());
  const char* source = ownText ? data_ + offset : text.data();
  std::memmove(data_ + size_, source, text.size());
  size_ += text.size();
  data_[size_] = '\0';
}

void SecretString::pop_back() noexcept {
  if (size_ == 0) return;
  --size_;
  data_[size_] = '\0';
}

bool SecretString::Holds(std::string_view text) const noexcept {
  const std::less_equal<const char*> notAfter;
  return data_ != nullptr && notAfter(data_, text.data()) && notAfter(text.data(), data_ + size_);
}

void SecretString::Release() noexcept {
  if (data_ != nullptr) ReleaseLocked(data_, capacity_ + 1);
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

}  // namespace voltare::common
