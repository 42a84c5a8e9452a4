// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/sparse_writer.h"

#include <algorithm>
#include <cstring>

#include "crypto/burn.h"

namespace voltare::transforms {

namespace {

bool AllZero(std::span<const std::uint8_t> block) {
  static constexpr std::array<std::uint8_t, SparseWriter::kBlockSize> kZeros{};
  return std::memcmp(block.data(), kZeros.data(), block.size()) == 0;
}

}  // namespace

// The gathered block is plaintext.
SparseWriter::~SparseWriter() { crypto::BurnBytes(block_.data(), block_.size()); }

void SparseWriter::Write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    // Whole blocks straight from the caller's buffer; only the pieces that
    // do not fill a block are gathered, so blocks stay aligned in the file.
    if (filled_ == 0 && bytes.size() >= kBlockSize) {
      const std::size_t whole = bytes.size() / kBlockSize * kBlockSize;
      WriteBlocks(bytes.first(whole));
      bytes = bytes.subspan(whole);
      continue;
    }
    const std::size_t take = std::min(kBlockSize - filled_, bytes.size());
    std::memcpy(block_.data() + filled_, bytes.data(), take);
    filled_ += take;
    bytes = bytes.subspan(take);
    if (filled_ == kBlockSize) {
      WriteBlocks(block_);
      filled_ = 0;
    }
  }
}

void SparseWriter::Finish() {
  if (filled_ > 0) WriteData(std::span(block_.data(), filled_));
  filled_ = 0;
  if (afterHole_) out_.truncate(length_);
}

void SparseWriter::WriteBlocks(std::span<const std::uint8_t> blocks) {
  std::size_t dataStart = 0;
  for (std::size_t at = 0; at < blocks.size(); at += kBlockSize) {
    if (!AllZero(blocks.subspan(at, kBlockSize))) continue;
    if (at > dataStart) WriteData(blocks.subspan(dataStart, at - dataStart));
    length_ += kBlockSize;
    afterHole_ = true;
    dataStart = at + kBlockSize;
  }
  if (dataStart < blocks.size()) WriteData(blocks.subspan(dataStart));
}

void SparseWriter::WriteData(std::span<const std::uint8_t> data) {
  if (afterHole_) {
    out_.seek(length_);
    afterHole_ = false;
  }
  out_.write(data);
  length_ += data.size();
}

}  // namespace voltare::transforms
