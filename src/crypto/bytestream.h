// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The source and destination of the whole-stream cipher operations.
//
// A stream operation reads from the source's current position to its end and
// writes to the destination's current position. Callers adapt whatever they
// hold (a file descriptor with its own error reporting, a std::iostream, a
// memory buffer) by implementing these two small interfaces; a read or write
// failure is reported by throwing, and the exception travels unchanged out of
// the cipher operation, so callers see their own error type (with its errno,
// for instance).
//
// Adapters for std::istream / std::ostream are provided below; they report a
// failed read or write as std::system_error carrying errno (EIO when the
// stream left none).

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <span>

namespace voltare::crypto {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Bytes left from the current position to the end.
  virtual std::uint64_t Remaining() = 0;
  // Fills `buffer` completely and advances the position, or throws.
  virtual void ReadExactly(std::span<std::uint8_t> buffer) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Writes all of `bytes` at the current position, or throws.
  virtual void Write(std::span<const std::uint8_t> bytes) = 0;
};

// A seekable std::istream (std::ifstream, std::istringstream, ...) as a source.
class IstreamSource final : public ByteSource {
 public:
  explicit IstreamSource(std::istream& stream) noexcept : stream_(stream) {}

  std::uint64_t Remaining() override;
  void ReadExactly(std::span<std::uint8_t> buffer) override;

 private:
  std::istream& stream_;
};

// Any std::ostream as a destination.
class OstreamSink final : public ByteSink {
 public:
  explicit OstreamSink(std::ostream& stream) noexcept : stream_(stream) {}

  void Write(std::span<const std::uint8_t> bytes) override;

 private:
  std::ostream& stream_;
};

}  // namespace voltare::crypto
