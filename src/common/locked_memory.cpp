// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/locked_memory.h"

#include <sanitizer/asan_interface.h>
#include <string.h>  // explicit_bzero
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace voltare::common {

namespace {

// Blocks up to the largest slot come from the pool; larger ones (the text of
// a long saved list) get pages of their own, returned when released.
constexpr std::size_t kSmallestSlot = 64;
constexpr std::size_t kLargestSlot = 16384;
constexpr std::size_t kSlotClasses = std::countr_zero(kLargestSlot) - std::countr_zero(kSmallestSlot) + 1;

std::size_t SlotClass(std::size_t size) noexcept {
  const std::size_t slot = std::bit_ceil(size < kSmallestSlot ? kSmallestSlot : size);
  return static_cast<std::size_t>(std::countr_zero(slot) - std::countr_zero(kSmallestSlot));
}

constexpr std::size_t SlotSize(std::size_t slotClass) noexcept { return kSmallestSlot << slotClass; }

// The lock limit of the process as it stands now (it may be lowered while
// the program runs); the kernel would refuse locks beyond it anyway, except
// to privileged processes, which keep to it here as well.
std::size_t LockLimit() noexcept {
  rlimit limit{};
  if (::getrlimit(RLIMIT_MEMLOCK, &limit) != 0) return 0;
  return limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_cur);
}

// Under AddressSanitizer, free slots and the unused end of every block are
// poisoned, so a secret read or written past its bounds, or after it was
// given back, is caught as it would be on the ordinary heap. (No-ops in
// other builds.)
class Pool {
 public:
  void* Allocate(std::size_t size) {
    const std::lock_guard<std::mutex> hold(mutex_);
    const std::size_t used = size == 0 ? 1 : size;
    if (size > kLargestSlot) {
      const std::size_t bytes = RoundToPages(size);
      auto* block = static_cast<std::uint8_t*>(MapRegion(bytes));
      ASAN_POISON_MEMORY_REGION(block + used, bytes - used);
      return block;
    }
    const std::size_t slotClass = SlotClass(size);
    std::vector<void*>& slots = free_[slotClass];
    if (slots.empty()) Carve(slotClass);
    void* block = slots.back();
    slots.pop_back();
    ASAN_UNPOISON_MEMORY_REGION(block, used);
    return block;
  }

  void Release(void* block, std::size_t size) noexcept {
    if (block == nullptr) return;
    const std::lock_guard<std::mutex> hold(mutex_);
    if (size > kLargestSlot) {
      const std::size_t bytes = RoundToPages(size);
      ASAN_UNPOISON_MEMORY_REGION(block, bytes);
      ZeroSecret(block, bytes);
      Unmap(block, bytes);
      return;
    }
    const std::size_t slotClass = SlotClass(size);
    ASAN_UNPOISON_MEMORY_REGION(block, SlotSize(slotClass));
    ZeroSecret(block, SlotSize(slotClass));
    ASAN_POISON_MEMORY_REGION(block, SlotSize(slotClass));
    // Never reallocates: Carve reserved room for every slot of the class.
    free_[slotClass].push_back(block);
  }

  bool IsLocked(const void* block) noexcept {
    const std::lock_guard<std::mutex> hold(mutex_);
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    auto region = regions_.upper_bound(address);
    if (region == regions_.begin()) return false;
    --region;
    return address < region->first + region->second.bytes && region->second.locked;
  }

  std::size_t LockedBytes() noexcept {
    const std::lock_guard<std::mutex> hold(mutex_);
    return lockedBytes_;
  }

 private:
  struct Region {
    std::size_t bytes;
    bool locked;
  };

  std::size_t RoundToPages(std::size_t size) const noexcept { return (size + pageSize_ - 1) / pageSize_ * pageSize_; }

  // A new run of pages cut into slots of one class.
  void Carve(std::size_t slotClass) {
    const std::size_t slot = SlotSize(slotClass);
    const std::size_t bytes = slot < pageSize_ ? pageSize_ : slot;
    const std::size_t count = bytes / slot;
    std::vector<void*>& slots = free_[slotClass];
    slotsMade_[slotClass] += count;
    slots.reserve(slotsMade_[slotClass]);
    auto* start = static_cast<std::uint8_t*>(MapRegion(bytes));
    ASAN_POISON_MEMORY_REGION(start, bytes);
    for (std::size_t i = count; i-- > 0;) slots.push_back(start + i * slot);
  }

  // Fresh pages, left out of dumps and locked while the limit allows.
  void* MapRegion(std::size_t bytes) {
    void* start = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) throw std::bad_alloc();
    // Best effort: a kernel without the flag still gives usable memory.
    ::madvise(start, bytes, MADV_DONTDUMP);
    const bool locked = lockedBytes_ + bytes <= LockLimit() && ::mlock(start, bytes) == 0;
    if (locked) lockedBytes_ += bytes;
    try {
      regions_.emplace(reinterpret_cast<std::uintptr_t>(start), Region{bytes, locked});
    } catch (...) {
      Unmap(start, bytes);
      throw;
    }
    return start;
  }

  void Unmap(void* start, std::size_t bytes) noexcept {
    const auto found = regions_.find(reinterpret_cast<std::uintptr_t>(start));
    if (found != regions_.end()) {
      if (found->second.locked) {
        ::munlock(start, bytes);
        lockedBytes_ -= bytes;
      }
      regions_.erase(found);
    }
    ::munmap(start, bytes);
  }

  std::mutex mutex_;
  const std::size_t pageSize_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::array<std::vector<void*>, kSlotClasses> free_;
  std::array<std::size_t, kSlotClasses> slotsMade_{};
  std::map<std::uintptr_t, Region> regions_;  // by start address
  std::size_t lockedBytes_ = 0;
};

// Never destroyed: objects with static storage may still give their
// secrets back while the program ends.
Pool& ThePool() {
  alignas(Pool) static unsigned char storage[sizeof(Pool)];
  static Pool* const pool = ::new (storage) Pool();
  return *pool;
}

}  // namespace

void* AllocateLocked(std::size_t size) { return ThePool().Allocate(size); }

void ReleaseLocked(void* block, std::size_t size) noexcept { ThePool().Release(block, size); }

void ZeroSecret(void* data, std::size_t size) noexcept {
  if (data != nullptr) ::explicit_bzero(data, size);
}

bool IsLocked(const void* block) noexcept { return ThePool().IsLocked(block); }

std::size_t LockedBytes() noexcept { return ThePool().LockedBytes(); }

}  // namespace voltare::common
