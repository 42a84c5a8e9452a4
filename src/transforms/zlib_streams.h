// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// zlib behind a small stream interface: a write-only compressing stream into a
// file, a read-only expanding stream out of a file, and an expanding byte sink
// for data that arrives piece by piece. All move data through 64 KB buffers,
// so memory does not depend on the size of what passes.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "crypto/bytestream.h"
#include "platform/file.h"

namespace voltare::transforms {

// zlib levels 0, 1, its default (-1) and 9.
enum class TCompressionLevel { clNone, clFastest, clDefault, clMax };

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Misuse of a compressing stream, or a failure inside zlib while compressing.
class ECompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Misuse of an expanding stream, or data zlib cannot expand (damaged input).
class EDecompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TCustomZlibStream {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  TCustomZlibStream(const TCustomZlibStream&) = delete;
  TCustomZlibStream& operator=(const TCustomZlibStream&) = delete;

 protected:
  TCustomZlibStream();
  ~TCustomZlibStream() = default;

  z_stream stream_{};
  std::vector<std::uint8_t> buffer_;
};

// Write-only. Finish completes the zlib stream and writes what is left; a
// stream destroyed without Finish (on an error path) leaves its destination
// incomplete.
class TCompressionStream final : public TCustomZlibStream {
 public:
  TCompressionStream(TCompressionLevel level, platform::File& destination);
  ~TCompressionStream();

  void Write(std::span<const std::uint8_t> data);
  void Finish();

  // The uncompressed bytes taken in so far.
  std::uint64_t Position() const noexcept { return stream_.total_in; }
  // Only asking for the position (0 from the current one) is allowed.
  std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin);
  [[noreturn]] std::size_t Read(std::span<std::uint8_t> buffer);

 private:
  void Deflate(int flush);
  void WriteOutput();

  platform::File& destination_;
  bool finished_ = false;
};

// Read-only. Reads the source from its position at construction onward;
// bytes after the end of the zlib stream are not looked at.
class TDecompressionStream final : public TCustomZlibStream {
 public:
  explicit TDecompressionStream(platform::File& source);
  ~TDecompressionStream();

  // Fills `buffer`; fewer bytes only when the zlib stream has ended or the
  // source is exhausted.
  std::size_t Read(std::span<std::uint8_t> buffer);
  // True once the whole zlib stream, checksum included, has been read. A read
  // that came up short without it means the stream was cut off.
  bool StreamEnded() const noexcept { return ended_; }

  // The expanded bytes handed out so far.
  std::uint64_t Position() const noexcept { return stream_.total_out; }
  // Forward by reading and discarding; to 0 by starting over.
  std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin);
  [[noreturn]] void Write(std::span<const std::uint8_t> data);

 private:
  void Restart();
  void Skip(std::uint64_t count);

  platform::File& source_;
  std::uint64_t start_;
  bool ended_ = false;
};

// Write-only: the zlib stream written to it comes out expanded into
// `destination`, in pieces of at most kBufferSize bytes, as it arrives. For
// data produced piece by piece (by a decryption) that is to be expanded
// without ever being stored. Bytes after the end of the zlib stream are
// ignored, as TDecompressionStream ignores them. Damaged data throws
// EDecompressionError. The expanded bytes it held are overwritten when it goes.
class ExpandingSink final : public crypto::ByteSink, private TCustomZlibStream {
 public:
  explicit ExpandingSink(crypto::ByteSink& destination);
  ~ExpandingSink() override;

  void Write(std::span<const std::uint8_t> compressed) override;
  // True once the whole zlib stream, checksum included, has been written.
  bool StreamEnded() const noexcept { return ended_; }

 private:
  void Expand(std::span<const std::uint8_t> slice);

  crypto::ByteSink& destination_;
  bool ended_ = false;
};

}  // namespace voltare::transforms
