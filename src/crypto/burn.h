// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Overwriting secrets (key schedules, chaining values, digests, passwords)
// before their memory is released. The writes go through a volatile pointer
// and are followed by a compiler barrier, so the optimiser cannot drop them as
// dead stores.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace voltare::crypto {

inline constexpr std::uint8_t kBurnByte = 0xFF;

inline void BurnBytes(void* data, std::size_t size, std::uint8_t value = kBurnByte) noexcept {
  volatile auto* bytes = static_cast<volatile std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = value;
  asm volatile("" : : "r"(data) : "memory");
}

template <typename T, std::size_t N>
void Burn(std::array<T, N>& values, std::uint8_t value = kBurnByte) noexcept {
  BurnBytes(values.data(), sizeof(T) * N, value);
}

template <typename T, std::size_t N>
void Burn(T (&values)[N], std::uint8_t value = kBurnByte) noexcept {
  BurnBytes(values, sizeof(T) * N, value);
}

inline void Burn(std::span<std::uint8_t> bytes, std::uint8_t value = kBurnByte) noexcept {
  BurnBytes(bytes.data(), bytes.size(), value);
}

// Passwords live in std::string; this clears the characters it holds now.
inline void Burn(std::string& text, std::uint8_t value = 0) noexcept { BurnBytes(text.data(), text.size(), value); }

// Burns an object's bytes when it goes out of scope, on every path out.
template <typename T>
class BurnOnExit {
 public:
  explicit BurnOnExit(T& target) noexcept : target_(target) {}
  ~BurnOnExit() { Burn(target_); }
  BurnOnExit(const BurnOnExit&) = delete;
  BurnOnExit& operator=(const BurnOnExit&) = delete;

 private:
  T& target_;
};

}  // namespace voltare::crypto
