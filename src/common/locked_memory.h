// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Memory for secrets: passwords, key schedules, decrypted list text.
//
// It is locked into RAM (mlock), so it never reaches the swap, and left out
// of core dumps (MADV_DONTDUMP); it is zeroed before it is handed out again.
// When the lock limit (RLIMIT_MEMLOCK) is reached or the system refuses the
// lock, the memory is ordinary memory, still left out of dumps and still
// zeroed: a secret is never refused for want of locked memory.
//
// Small blocks come from a pool of whole pages that the program keeps for the
// rest of its run, so creating a cipher per file costs no system call. Every
// function here may be called from any thread.
//
// This lives below the cipher library, which keeps its key schedules here,
// and it is the one place of the program that talks to the kernel about
// memory.

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace voltare::common {

// At least `size` bytes (1 when size is 0), aligned to 64 bytes. Throws
// std::bad_alloc when no memory can be had at all.
void* AllocateLocked(std::size_t size);
// Zeroes the block and gives it back; `size` is the size it was asked with.
// nullptr does nothing.
void ReleaseLocked(void* block, std::size_t size) noexcept;

// Overwrites `size` bytes with zeros in a way the compiler cannot drop.
void ZeroSecret(void* data, std::size_t size) noexcept;

// True when the block came from AllocateLocked and its pages are locked.
bool IsLocked(const void* block) noexcept;

// Bytes of locked memory the program holds now (pool pages and large blocks).
std::size_t LockedBytes() noexcept;

// One T in locked memory, owned like a std::unique_ptr and zeroed when it
// goes. Never empty except after being moved from.
template <typename T>
class LockedBox {
  static_assert(alignof(T) <= 64, "LockedBox blocks are 64-byte aligned");

 public:
  LockedBox() : value_(::new (AllocateLocked(sizeof(T))) T()) {}
  ~LockedBox() { Reset(); }
  LockedBox(LockedBox&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  LockedBox& operator=(LockedBox&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
  }
  LockedBox(const LockedBox&) = delete;
  LockedBox& operator=(const LockedBox&) = delete;

  T& operator*() const noexcept { return *value_; }
  T* operator->() const noexcept { return value_; }
  T* get() const noexcept { return value_; }

 private:
  void Reset() noexcept {
    if (value_ == nullptr) return;
    value_->~T();
    ReleaseLocked(value_, sizeof(T));
    value_ = nullptr;
  }

  T* value_;
};

}  // namespace voltare::common
