// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A password (or any secret text) held in locked memory.
//
// Unlike std::string, even a one-letter text lives in the locked block: there
// is no buffer inside the object, which sits on the stack or in an ordinary
// object. Every block the text leaves behind (when it grows, is cleared or
// goes) is zeroed first, and copies are made only into locked memory.

#include <cstddef>
#include <string_view>

namespace voltare::common {

class SecretString {
 public:
  SecretString() noexcept = default;
  SecretString(std::string_view text);                                      // NOLINT: converts like std::string
  SecretString(const char* text) : SecretString(std::string_view(text)) {}  // NOLINT
  SecretString(const SecretString& other) : SecretString(other.view()) {}
  SecretString(SecretString&& other) noexcept;
  SecretString& operator=(const SecretString& other);
  SecretString& operator=(SecretString&& other) noexcept;
  SecretString& operator=(std::string_view text);
  SecretString& operator=(const char* text) { return *this = std::string_view(text); }
  ~SecretString();

  // Never null; zero-terminated.
  const char* data() const noexcept { return data_ != nullptr ? data_ : ""; }
  const char* c_str() const noexcept { return data(); }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  std::size_t capacity() const noexcept { return capacity_; }
  std::string_view view() const noexcept { return {data(), size_}; }
  operator std::string_view() const noexcept { return view(); }  // NOLINT

  // Zeroes the characters; the block is kept for the next text.
  void clear() noexcept;
  // Room for `count` characters without moving the text.
  void reserve(std::size_t count);
  void append(std::string_view text);
  void push_back(char c) { append(std::string_view(&c, 1)); }
  // Drops (and zeroes) the last character; nothing when empty.
  void pop_back() noexcept;

  friend bool operator==(const SecretString& a, std::string_view b) noexcept { return a.view() == b; }

 private:
  // True when `text` points into this text's block.
  bool Holds(std::string_view text) const noexcept;
  void Release() noexcept;

  char* data_ = nullptr;  // capacity_ + 1 bytes of locked memory
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace voltare::common
