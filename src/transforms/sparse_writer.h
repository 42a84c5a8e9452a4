// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a file so that runs of zeros take no disk: every aligned block that
// holds only zeros is skipped over (a hole) instead of written. A disk image
// or a preallocated database that was sparse before encryption comes back
// sparse, rather than fully allocated.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/file.h"

namespace voltare::transforms {

class SparseWriter {
 public:
  // The block a hole is made of; smaller runs of zeros are written.
  static constexpr std::size_t kBlockSize = 4096;

  // `out` is a new, empty file, written from its start.
  explicit SparseWriter(platform::File& out) noexcept : out_(out) {}
  ~SparseWriter();
  SparseWriter(const SparseWriter&) = delete;
  SparseWriter& operator=(const SparseWriter&) = delete;

  void Write(std::span<const std::uint8_t> bytes);
  // Writes what is still held back and gives the file its full length, so
  // that a hole at the end counts too. Call once, after the last Write.
  void Finish();

 private:
  void WriteBlocks(std::span<const std::uint8_t> blocks);
  void WriteData(std::span<const std::uint8_t> data);

  platform::File& out_;
  std::array<std::uint8_t, kBlockSize> block_{};  // a block being gathered
  std::size_t filled_ = 0;
  std::uint64_t length_ = 0;  // bytes written or skipped so far
  bool afterHole_ = false;    // the file's position is behind length_
};

}  // namespace voltare::transforms
