// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// zstd for the plain text of sealed files of format version 2: one frame, with
// zstd's content checksum, made on the compression workers, and its expansion
// piece by piece with a bounded window.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "crypto/bytestream.h"
#include "platform/file.h"
#include "platform/progress.h"

namespace voltare::transforms {

// What every zstd frame begins with.
inline constexpr std::array<std::uint8_t, 4> kZstdMagic = {0x28, 0xB5, 0x2F, 0xFD};

// Level 1 with a 2 MiB window: on the benchmark's text corpus (the system's
// headers) 0.78 of zlib level 9's size, and the fastest setting measured that
// stays below it. Level 1 with its own 512 KiB window comes out 12 % larger
// than level 9; levels 2 and 3 are smaller still but slower.
inline constexpr int kZstdLevel = 1;
inline constexpr int kZstdWindowLog = 21;
// The largest window a frame may ask the expansion for: 8 MiB, room above
// what the program writes. A frame that asks for more is refused before
// anything is allocated for it.
inline constexpr int kZstdWindowLogMax = 23;

// Compresses `in` from its position to its end into one frame written to
// `out`, on `workers` threads besides the calling one (none when 1). The
// calling thread reads, writes and alone moves the progress indicator, whose
// maximum is `size`, after each piece read; it stops there when the user
// asked to. Throws ECompressionError when zstd fails.
void ZstdCompress(platform::File& in, std::uint64_t size, crypto::ByteSink& out, platform::Progress& progress,
                  unsigned workers);

// `in`, held in memory, compressed into one frame written to `out`, with the
// same level, window and checksum as a file, on the calling thread alone.
// Throws ECompressionError when zstd fails.
void ZstdCompressBytes(std::span<const std::uint8_t> in, crypto::ByteSink& out);

// Write-only: the frame written to it comes out expanded into `destination`.
// A damaged frame, one that asks for a larger window than kZstdWindowLogMax,
// or bytes after its end throw EDecompressionError. The expanded bytes it held
// are overwritten when it goes.
class ZstdExpandingSink final : public crypto::ByteSink {
 public:
  explicit ZstdExpandingSink(crypto::ByteSink& destination);
  ~ZstdExpandingSink() override;
  ZstdExpandingSink(const ZstdExpandingSink&) = delete;
  ZstdExpandingSink& operator=(const ZstdExpandingSink&) = delete;

  void Write(std::span<const std::uint8_t> compressed) override;
  // True once the whole frame, checksum included, has been written.
  bool StreamEnded() const noexcept { return ended_; }

 private:
  struct State;
  crypto::ByteSink& destination_;
  std::unique_ptr<State> state_;
  bool ended_ = false;
};

}  // namespace voltare::transforms
