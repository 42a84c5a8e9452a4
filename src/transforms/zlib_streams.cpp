// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/zlib_streams.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "crypto/burn.h"
#include "transforms/messages.h"

namespace voltare::transforms {

namespace {

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case TCompressionLevel::clNone:
      return Z_NO_COMPRESSION;
    case TCompressionLevel::clFastest:
      return Z_BEST_SPEED;
    case TCompressionLevel::clDefault:
      return Z_DEFAULT_COMPRESSION;
    case TCompressionLevel::clMax:
      return Z_BEST_COMPRESSION;
  }
  return Z_DEFAULT_COMPRESSION;
}

[[noreturn]] void ThrowCompression(std::string_view text) { throw ECompressionError(std::string(text)); }

[[noreturn]] void ThrowDecompression(std::string_view text) { throw EDecompressionError(std::string(text)); }

// zlib's counts are 32-bit; larger spans go in slices of this size.
constexpr std::size_t kZlibSlice = std::size_t{1} << 30;

// Judges the result of one inflate call that had input and room for output:
// true once the stream has ended; damaged data throws.
bool InflateEnded(int result) {
  if (result == Z_STREAM_END) return true;
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) ThrowDecompression(messages::kZlibError);  // damaged data, or a preset dictionary
  return false;
}

}  // namespace

TCustomZlibStream::TCustomZlibStream() : buffer_(kBufferSize) {}

// ---------------------------------------------------------------------------

TCompressionStream::TCompressionStream(TCompressionLevel level, platform::File& destination)
    : destination_(destination) {
  const int result = deflateInit(&stream_, ZlibLevel(level));
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) ThrowCompression(messages::kZlibError);
  stream_.next_out = buffer_.data();
  stream_.avail_out = static_cast<uInt>(buffer_.size());
}

TCompressionStream::~TCompressionStream() { deflateEnd(&stream_); }

void TCompressionStream::Write(std::span<const std::uint8_t> data) {
  if (finished_) ThrowCompression(messages::kInvalidStreamOperation);
  while (!data.empty()) {
    const auto slice = data.first(std::min(data.size(), kZlibSlice));
    stream_.next_in = const_cast<Bytef*>(slice.data());  // zlib does not write through it
    stream_.avail_in = static_cast<uInt>(slice.size());
    while (stream_.avail_in > 0) Deflate(Z_NO_FLUSH);
    data = data.subspan(slice.size());
  }
}

void TCompressionStream::Finish() {
  if (finished_) return;
  stream_.next_in = nullptr;
  stream_.avail_in = 0;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    result = deflate(&stream_, Z_FINISH);
    if (result < 0) ThrowCompression(messages::kZlibError);
    if (stream_.avail_out == 0 || result == Z_STREAM_END) WriteOutput();
  }
  finished_ = true;
}

void TCompressionStream::Deflate(int flush) {
  if (deflate(&stream_, flush) < 0) ThrowCompression(messages::kZlibError);
  if (stream_.avail_out == 0) WriteOutput();
}

void TCompressionStream::WriteOutput() {
  const std::size_t filled = buffer_.size() - stream_.avail_out;
  destination_.write(std::span(buffer_.data(), filled));
  stream_.next_out = buffer_.data();
  stream_.avail_out = static_cast<uInt>(buffer_.size());
}

std::uint64_t TCompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (offset != 0 || origin != TSeekOrigin::soCurrent) {
    ThrowCompression(messages::kInvalidStreamOperation);
  }
  return Position();
}

std::size_t TCompressionStream::Read(std::span<std::uint8_t>) { ThrowCompression(messages::kInvalidStreamOperation); }

// ---------------------------------------------------------------------------

TDecompressionStream::TDecompressionStream(platform::File& source) : source_(source), start_(source.tell()) {
  const int result = inflateInit(&stream_);
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) ThrowDecompression(messages::kZlibError);
}

TDecompressionStream::~TDecompressionStream() { inflateEnd(&stream_); }

std::size_t TDecompressionStream::Read(std::span<std::uint8_t> buffer) {
  std::size_t total = 0;
  while (total < buffer.size() && !ended_) {
    if (stream_.avail_in == 0) {
      const std::size_t got = source_.read(buffer_);
      if (got == 0) break;  // the source is exhausted
      stream_.next_in = buffer_.data();
      stream_.avail_in = static_cast<uInt>(got);
    }
    const std::size_t wanted = std::min<std::size_t>(buffer.size() - total, std::numeric_limits<uInt>::max());
    stream_.next_out = buffer.data() + total;
    stream_.avail_out = static_cast<uInt>(wanted);
    const int result = inflate(&stream_, Z_NO_FLUSH);
    total += wanted - stream_.avail_out;
    ended_ = InflateEnded(result);
  }
  return total;
}

std::uint64_t TDecompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == TSeekOrigin::soBeginning) {
    Restart();
  } else if (origin == TSeekOrigin::soCurrent && offset >= 0) {
    Skip(static_cast<std::uint64_t>(offset));
  } else if (origin == TSeekOrigin::soBeginning && offset >= 0 && static_cast<std::uint64_t>(offset) >= Position()) {
    Skip(static_cast<std::uint64_t>(offset) - Position());
  } else {
    ThrowDecompression(messages::kInvalidStreamOperation);
  }
  return Position();
}

void TDecompressionStream::Write(std::span<const std::uint8_t>) {
  ThrowDecompression(messages::kInvalidStreamOperation);
}

void TDecompressionStream::Restart() {
  if (inflateReset(&stream_) != Z_OK) ThrowDecompression(messages::kZlibError);
  source_.seek(start_);
  stream_.next_in = nullptr;
  stream_.avail_in = 0;
  ended_ = false;
}

void TDecompressionStream::Skip(std::uint64_t count) {
  std::vector<std::uint8_t> discard(std::min<std::uint64_t>(count, kBufferSize));
  while (count > 0) {
    const auto want = std::min<std::uint64_t>(count, discard.size());
    const auto got = Read(std::span(discard.data(), static_cast<std::size_t>(want)));
    if (got == 0) break;
    count -= got;
  }
}

// ---------------------------------------------------------------------------

ExpandingSink::ExpandingSink(crypto::ByteSink& destination) : destination_(destination) {
  const int result = inflateInit(&stream_);
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) ThrowDecompression(messages::kZlibError);
}

ExpandingSink::~ExpandingSink() {
  inflateEnd(&stream_);
  crypto::Burn(std::span(buffer_));
}

void ExpandingSink::Write(std::span<const std::uint8_t> compressed) {
  while (!compressed.empty() && !ended_) {
    const auto slice = compressed.first(std::min(compressed.size(), kZlibSlice));
    Expand(slice);
    compressed = compressed.subspan(slice.size());
  }
}

// Until zlib has taken the whole slice and has nothing left to give for it.
// A full output buffer can mean more is pending even when all input is
// taken; the next call then gives it, or answers Z_BUF_ERROR when nothing
// was pending after all.
void ExpandingSink::Expand(std::span<const std::uint8_t> slice) {
  stream_.next_in = const_cast<Bytef*>(slice.data());  // zlib does not write through it
  stream_.avail_in = static_cast<uInt>(slice.size());
  for (;;) {
    stream_.next_out = buffer_.data();
    stream_.avail_out = static_cast<uInt>(buffer_.size());
    const int result = inflate(&stream_, Z_NO_FLUSH);
    const std::size_t produced = buffer_.size() - stream_.avail_out;
    if (result == Z_BUF_ERROR && stream_.avail_in == 0) return;
    ended_ = InflateEnded(result);
    destination_.Write(std::span(buffer_.data(), produced));
    if (ended_ || (stream_.avail_in == 0 && stream_.avail_out != 0)) return;
  }
}

}  // namespace voltare::transforms
