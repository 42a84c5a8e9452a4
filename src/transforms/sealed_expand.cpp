// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/sealed_expand.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "platform/file.h"
#include "transforms/compress.h"
#include "transforms/file_io.h"
#include "transforms/handoff_sink.h"
#include "transforms/messages.h"
#include "transforms/parallel_deflate.h"
#include "transforms/result.h"
#include "transforms/sparse_writer.h"
#include "transforms/vlt_format.h"
#include "transforms/zlib_streams.h"
#include "transforms/zstd_streams.h"

namespace voltare::transforms {

SealedStreamExpander::SealedStreamExpander(crypto::ByteSink& destination) : destination_(destination) {}

SealedStreamExpander::~SealedStreamExpander() = default;

void SealedStreamExpander::Write(std::span<const std::uint8_t> compressed) {
  if (!zlib_ && !zstd_) {
    if (compressed.size() < kZstdMagic.size()) throw EDecompressionError(std::string(messages::kZlibError));
    if (std::equal(kZstdMagic.begin(), kZstdMagic.end(), compressed.begin())) {
      zstd_ = std::make_unique<ZstdExpandingSink>(destination_);
    } else if (std::equal(kLevel9Header.begin(), kLevel9Header.end(), compressed.begin())) {
      zlib_ = std::make_unique<ExpandingSink>(destination_);
    } else {
      throw EDecompressionError(std::string(messages::kZlibError));
    }
  }
  if (zstd_) return zstd_->Write(compressed);
  zlib_->Write(compressed);
}

bool SealedStreamExpander::StreamEnded() const noexcept {
  return zstd_ ? zstd_->StreamEnded() : zlib_ && zlib_->StreamEnded();
}

bool SealedExpandsOnTwoThreads() { return DeflateWorkerCount() > 1; }

namespace {

// Runs `first` on the calling thread when the first plain text arrives, which
// is after the key check and the first piece opened, then passes everything
// on.
class HookOnFirstWrite final : public crypto::ByteSink {
 public:
  HookOnFirstWrite(const std::function<void()>& first, crypto::ByteSink& next) : first_(first), next_(next) {}

  void Write(std::span<const std::uint8_t> bytes) override {
    if (first_ && !called_) first_();
    called_ = true;
    next_.Write(bytes);
  }

 private:
  const std::function<void()>& first_;
  crypto::ByteSink& next_;
  bool called_ = false;
};

// The expanded bytes into the output, where a sparse file's holes are skipped.
class SparseSink final : public crypto::ByteSink {
 public:
  explicit SparseSink(std::optional<SparseWriter>& output) : output_(output) {}
  void Write(std::span<const std::uint8_t> bytes) override { output_->Write(bytes); }

 private:
  std::optional<SparseWriter>& output_;
};

}  // namespace

[[nodiscard]] platform::ResultCode OpenAndExpandSealed(crypto::ByteSource& in, crypto::ByteSink& out,
                                                       const SealedKeyLookup& keyFor, std::uint64_t encryptedSize,
                                                       platform::Progress& progress,
                                                       const std::function<void()>& beforeFirstWrite) {
  try {
    SealedStreamExpander expand(out);
    std::optional<HandOffSink> beside;  // after `expand`: its thread ends first
    if (SealedExpandsOnTwoThreads()) beside.emplace(expand);
    HookOnFirstWrite hooked(beforeFirstWrite, beside ? static_cast<crypto::ByteSink&>(*beside) : expand);
    const platform::ResultCode opened = OpenSealedStream(in, hooked, keyFor, encryptedSize, progress);
    if (opened != platform::Success) return opened;
    if (beside) beside->Finish();
    return expand.StreamEnded() ? platform::Success : platform::ErrTampered;
  } catch (const EDecompressionError&) {
    // Every piece opened, so the stream is as it was sealed: a writer's fault
    // or a forgery with the key, and no file to trust either way.
    return platform::ErrTampered;
  }
}

[[nodiscard]] platform::ResultCode SealedDecryptExpandFile(const std::filesystem::path& source, SealedKeyRing& ring,
                                                           std::string_view password, platform::Progress* progress,
                                                           const OpenExpandedOutput& open) {
  if (source.empty() || password.empty() || progress == nullptr || !open) return platform::ErrInternal;
  if (!platform::FileExists(source)) return platform::ErrNoSuchFile;
  try {
    auto in = OpenSource(source, false);
    FileByteSource from(in);
    if (ReadAlgorithmCode(from) != kAlgorithmXChaCha20) return platform::ErrBadFile;
    std::optional<SparseWriter> output;  // a sparse file encrypted comes back sparse
    SparseSink sparse(output);
    const platform::ResultCode opened = OpenAndExpandSealed(
        from, sparse,
        [&](const SealedSalt& salt, const Argon2Limits& limits) -> const SealedKey& {
          return ring.ForFile(password, salt, limits);
        },
        in.size(), *progress, [&] { output.emplace(open()); });
    if (opened != platform::Success) return opened;
    output->Finish();  // there was plain text: it begins with its stream's magic
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace voltare::transforms
