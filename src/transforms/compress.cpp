// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/compress.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <string>

#include "crypto/burn.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "transforms/file_io.h"
#include "transforms/messages.h"
#include "transforms/parallel_deflate.h"
#include "transforms/result.h"
#include "transforms/sparse_writer.h"
#include "transforms/vlt_format.h"
#include "transforms/zlib_streams.h"

namespace voltare::transforms {

namespace {

using platform::ResultCode;

using Piece = std::array<std::uint8_t, kCompressPieceSize>;

// Moves the bar, then ends the step if the user asked to stop.
void Advance(platform::Progress& progress, std::uint64_t to) {
  progress.setPosition(static_cast<std::int64_t>(to));
  progress.repaint();
  common::StopIfCancelled(&progress);
}

// One deflate call over the whole input, on the calling thread. The input is
// read to its end, whatever stat said: a FIFO or a /proc file reports a size
// of 0 (or a guess) and still holds data. `size` only scales the bar.
void DeflateSingleStream(platform::File& in, std::uint64_t size, platform::File& out, platform::Progress& progress) {
  TCompressionStream stream(TCompressionLevel::clMax, out);
  progress.setPosition(0);
  progress.setMax(static_cast<std::int64_t>(size));

  Piece piece;
  crypto::BurnOnExit burn_piece(piece);
  std::uint64_t total = 0;
  for (;;) {
    const std::size_t count = in.read(piece);
    if (count == 0) break;
    stream.Write(std::span(piece.data(), count));
    total += count;
    Advance(progress, std::min(total, size));
    if (count < piece.size()) break;  // read() fills the piece unless the input ended
  }
  Advance(progress, size);
  stream.Finish();
}

// An input that fits in one chunk gains nothing from the workers; it keeps
// the single stream, byte for byte as before. Only a regular file's size is
// known before it is read, so only such a file is split among the workers.
void CompressInto(platform::File& in, platform::File& out, platform::Progress& progress) {
  const std::uint64_t size = in.size();
  if (in.isRegular() && DeflatesInParallel(size)) {
    FileByteSink sink(out);
    ParallelDeflate(in, size, sink, progress, DeflateWorkerCount());
  } else {
    DeflateSingleStream(in, size, out, progress);
  }
}

// The position counts expanded bytes against the compressed size as maximum;
// it stops at the maximum, as a bar does.
void ExpandInto(platform::File& in, platform::File& out, platform::Progress& progress) {
  TDecompressionStream stream(in);
  const auto max = static_cast<std::int64_t>(in.size());
  progress.setPosition(0);
  progress.setMax(max);

  Piece piece;
  crypto::BurnOnExit burn_piece(piece);
  SparseWriter sparse(out);  // a sparse file encrypted comes back sparse
  for (;;) {
    const std::size_t count = stream.Read(piece);
    if (count == 0) break;
    sparse.Write(std::span(piece.data(), count));
    progress.setPosition(std::min(progress.position() + static_cast<std::int64_t>(count), max));
    progress.repaint();
    common::StopIfCancelled(&progress);
  }
  // Running out of input before the checksum means the stream was cut off.
  if (!stream.StreamEnded()) throw EDecompressionError(std::string(messages::kZlibError));
  sparse.Finish();
}

// Runs `convert` from `source` into a new `destination`, which is kept only
// when the whole conversion succeeded.
[[nodiscard]] ResultCode ConvertFile(const std::filesystem::path& source, const Destination& destination,
                                     platform::Progress* progress,
                                     void (*convert)(platform::File&, platform::File&, platform::Progress&)) {
  if (source.empty() || destination.empty() || progress == nullptr) return platform::ErrInternal;
  if (!platform::IsReadableSource(source)) return platform::ErrNoSuchFile;
  if (IsSameFile(source, destination)) return platform::ErrInternal;
  try {
    auto in = OpenSource(source, true);
    DestinationFile out(destination);
    convert(in, out.file(), *progress);
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace

[[nodiscard]] ResultCode CompressFile(const std::filesystem::path& source, const Destination& destination,
                                      platform::Progress* progress) {
  return ConvertFile(source, destination, progress, CompressInto);
}

[[nodiscard]] ResultCode DecompressFile(const std::filesystem::path& source, const Destination& destination,
                                        platform::Progress* progress) {
  if (!IsCompressedFile(source)) return platform::ErrBadPassword;
  return ConvertFile(source, destination, progress, ExpandInto);
}

bool IsCompressedFile(const std::filesystem::path& path) noexcept {
  try {
    if (path.empty() || !platform::FileExists(path)) return false;
    platform::File file(path, platform::File::Mode::Read);
    std::array<std::uint8_t, 2> head{};
    return file.read(head) == head.size() && head == kLevel9Header;
  } catch (...) {
    return false;
  }
}

std::uint64_t EncryptedSizeBound(std::uint64_t size) noexcept {
  constexpr std::uint64_t kFlushPerChunk = 16;  // the sync flush that ends each worker's chunk
  constexpr std::uint64_t kPadding = 8;         // the cipher block that completes the tail
  const std::uint64_t chunks = size / kDeflateChunkSize + 1;
  return ::compressBound(static_cast<uLong>(size)) + chunks * kFlushPerChunk + kCheckedHeaderSize + kPadding;
}

}  // namespace voltare::transforms
