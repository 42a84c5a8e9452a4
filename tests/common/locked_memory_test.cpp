// SPDX-License-Identifier: GPL-3.0-or-later
// Locked memory as the kernel sees it: the mapping's "Locked:" size and its
// "dd" (left out of dumps) flag in /proc/self/smaps.

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/locked_memory.h"
#include "common/secret_string.h"

namespace {

using voltare::common::AllocateLocked;
using voltare::common::IsLocked;
using voltare::common::ReleaseLocked;
using voltare::common::SecretString;

// AddressSanitizer replaces mlock with a call that does nothing, so the
// kernel never sees those locks in the sanitizer build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKernelSeesLocks = false;
#else
constexpr bool kKernelSeesLocks = true;
#endif

struct Mapping {
  bool found = false;
  std::size_t lockedKb = 0;
  bool leftOutOfDumps = false;
};

// The /proc/self/smaps entry of the mapping that holds `address`.
Mapping MappingOf(const void* address) {
  const auto target = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  Mapping mapping;
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    std::uintptr_t start = 0, end = 0;
    char dash = 0;
    std::istringstream fields(line);
    if (fields >> std::hex >> start >> dash >> end && dash == '-' && line.find(':') > line.find(' ')) {
      if (mapping.found) break;  // past the entry we looked at
      inside = start <= target && target < end;
      mapping.found = inside;
      continue;
    }
    if (!inside) continue;
    if (line.rfind("Locked:", 0) == 0) mapping.lockedKb = std::stoul(line.substr(7));
    if (line.rfind("VmFlags:", 0) == 0) mapping.leftOutOfDumps = (line + " ").find(" dd ") != std::string::npos;
  }
  return mapping;
}

// Lowers the soft lock limit for one test and puts it back.
class LockLimit {
 public:
  explicit LockLimit(rlim_t soft) {
    ::getrlimit(RLIMIT_MEMLOCK, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = soft;
    EXPECT_EQ(::setrlimit(RLIMIT_MEMLOCK, &lowered), 0);
  }
  ~LockLimit() { ::setrlimit(RLIMIT_MEMLOCK, &saved_); }
  LockLimit(const LockLimit&) = delete;
  LockLimit& operator=(const LockLimit&) = delete;

 private:
  rlimit saved_{};
};

TEST(LockedMemory, SmallAndLargeBlocksAreLockedAndLeftOutOfDumps) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{4168}, std::size_t{200000}}) {
    SCOPED_TRACE(size);
    void* block = AllocateLocked(size);
    std::memset(block, 0x5A, size);  // all of it is usable
    const Mapping mapping = MappingOf(block);
    ASSERT_TRUE(mapping.found);
    if (kKernelSeesLocks) {
      EXPECT_GE(mapping.lockedKb * 1024, size);
    }
    EXPECT_TRUE(mapping.leftOutOfDumps);
    EXPECT_TRUE(IsLocked(block));
    ReleaseLocked(block, size);
  }
}

TEST(LockedMemory, AtTheLockLimitBlocksAreOrdinaryButStillLeftOutOfDumps) {
  const LockLimit none(0);
  const std::size_t before = voltare::common::LockedBytes();
  // Larger than any pooled slot, so new pages are needed now.
  constexpr std::size_t kSize = 100000;
  void* block = AllocateLocked(kSize);
  std::memset(block, 0x5A, kSize);
  const Mapping mapping = MappingOf(block);
  EXPECT_FALSE(IsLocked(block));
  EXPECT_EQ(mapping.lockedKb, 0u);
  EXPECT_TRUE(mapping.leftOutOfDumps);
  EXPECT_EQ(voltare::common::LockedBytes(), before);
  ReleaseLocked(block, kSize);
}

TEST(LockedMemory, AReleasedBlockIsZeroedBeforeItIsHandedOutAgain) {
  auto* first = static_cast<unsigned char*>(AllocateLocked(100));
  std::memset(first, 0xA5, 100);
  ReleaseLocked(first, 100);
  // The pool hands the slot just given back out first.
  auto* again = static_cast<unsigned char*>(AllocateLocked(100));
  ASSERT_EQ(again, first);
  EXPECT_EQ(std::vector<unsigned char>(again, again + 100), std::vector<unsigned char>(100, 0));
  ReleaseLocked(again, 100);
}

TEST(LockedMemory, ThreadsAllocatingAtOnceNeverShareABlock) {
  std::vector<std::thread> threads;
  std::vector<int> faults(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &faults] {
      const auto mark = static_cast<unsigned char>(t + 1);
      for (int round = 0; round < 2000; ++round) {
        const std::size_t size = 64u << (round % 5);
        auto* block = static_cast<unsigned char*>(AllocateLocked(size));
        std::memset(block, mark, size);
        std::this_thread::yield();
        for (std::size_t i = 0; i < size; ++i) faults[static_cast<std::size_t>(t)] += block[i] != mark;
        ReleaseLocked(block, size);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(faults, std::vector<int>(4, 0));
}

TEST(SecretString, EvenAOneLetterPasswordLivesInLockedMemory) {
  const SecretString password("x");
  EXPECT_TRUE(IsLocked(password.data()));
  // Not inside the object itself, as a short std::string would be.
  const auto* object = reinterpret_cast<const char*>(&password);
  EXPECT_TRUE(password.data() < object || password.data() >= object + sizeof password);
  EXPECT_TRUE(MappingOf(password.data()).leftOutOfDumps);

  const SecretString copy = password;
  EXPECT_NE(copy.data(), password.data());
  EXPECT_TRUE(IsLocked(copy.data()));
  EXPECT_EQ(copy, "x");
}

TEST(SecretString, GrowingKeepsTheTextAndZeroesTheBlockItLeaves) {
  SecretString text("0123456789");
  auto* const oldBlock = const_cast<char*>(text.data());
  text.append(std::string(100, 'a'));
  ASSERT_NE(text.data(), oldBlock);
  EXPECT_TRUE(IsLocked(text.data()));
  EXPECT_EQ(text, "0123456789" + std::string(100, 'a'));
  // The block left behind comes out of the pool again, all zeros.
  auto* reused = static_cast<char*>(AllocateLocked(64));
  ASSERT_EQ(reused, oldBlock);
  EXPECT_EQ(std::string(reused, 64), std::string(64, '\0'));
  ReleaseLocked(reused, 64);

  // Pieces of the text itself, also across a move of the block.
  text = text.view().substr(5, 5);
  EXPECT_EQ(text, "56789");
  for (int i = 0; i < 5; ++i) text.append(text);
  EXPECT_EQ(text.size(), 5u * 32);
  EXPECT_EQ(text.view().substr(150), "5678956789");
  text.pop_back();
  EXPECT_EQ(std::string(text.c_str()).size(), 159u);
}

}  // namespace
