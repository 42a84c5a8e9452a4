// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sealed file (algorithm 3) opened and expanded in one pass: the pieces are
// opened on the calling thread while a second thread expands the plain text
// (a zstd frame in version 2, a zlib stream in version 1) and writes it. The
// plain text is never stored on the way.

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "crypto/bytestream.h"
#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/decrypt_expand.h"  // OpenExpandedOutput
#include "transforms/sealed_key.h"
#include "transforms/xchacha_file.h"  // SealedKeyLookup

namespace voltare::transforms {

class ExpandingSink;
class ZstdExpandingSink;

// Write-only: expands the plain text of a sealed file into `destination`,
// whichever its version: the first bytes tell a zstd frame from a zlib stream
// (the first Write must hold at least four). The header's version is not
// asked: only the key's holder can choose what the pieces hold. Damaged data,
// or a stream of neither kind, throws EDecompressionError.
class SealedStreamExpander final : public crypto::ByteSink {
 public:
  explicit SealedStreamExpander(crypto::ByteSink& destination);
  ~SealedStreamExpander() override;
  SealedStreamExpander(const SealedStreamExpander&) = delete;
  SealedStreamExpander& operator=(const SealedStreamExpander&) = delete;

  void Write(std::span<const std::uint8_t> compressed) override;
  // True once the whole stream, its checksum included, has been written.
  bool StreamEnded() const noexcept;

 private:
  crypto::ByteSink& destination_;
  std::unique_ptr<ExpandingSink> zlib_;
  std::unique_ptr<ZstdExpandingSink> zstd_;
};

// True when the expansion of a sealed file gets a thread of its own: more
// than one worker (DeflateWorkerCount, so VOLTARE_THREADS=1 keeps one thread).
bool SealedExpandsOnTwoThreads();

// OpenSealedStream with the plain text expanded into `out`, on a second thread
// when SealedExpandsOnTwoThreads(), else on this one. Codes as
// OpenSealedStream; a plain text that does not expand, ends early or goes on
// after its end is ErrTampered too. Other failures throw, once the second
// thread has ended. `beforeFirstWrite`, when given, runs on this thread
// before anything reaches `out`: after the key check and the first piece.
[[nodiscard]] platform::ResultCode OpenAndExpandSealed(crypto::ByteSource& in, crypto::ByteSink& out,
                                                       const SealedKeyLookup& keyFor, std::uint64_t encryptedSize,
                                                       platform::Progress& progress,
                                                       const std::function<void()>& beforeFirstWrite = {});

// The sealed file `source` opened and expanded into the file `open` gives
// (called on this thread once the key check passed and the first piece
// opened; what becomes of the file is the caller's business), with the key
// from `ring` for `password`. 0; ErrInternal (an empty path or password, no
// progress indicator); ErrNoSuchFile; ErrBadFile (not a sealed file the
// program reads); ErrBadPassword (`open` is not called then); ErrTampered (a
// piece does not open, the stream is cut off, lengthened, or does not
// expand: the caller must throw the output away); ErrCancelled; or the errno
// of a failed read or write.
[[nodiscard]] platform::ResultCode SealedDecryptExpandFile(const std::filesystem::path& source, SealedKeyRing& ring,
                                                           std::string_view password, platform::Progress* progress,
                                                           const OpenExpandedOutput& open);

}  // namespace voltare::transforms
