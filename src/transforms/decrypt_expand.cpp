// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/decrypt_expand.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <system_error>
#include <thread>

#include "crypto/blowfish.h"
#include "crypto/burn.h"
#include "crypto/cast128.h"
#include "transforms/cbc_file.h"
#include "transforms/compress.h"
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

static_assert(kDecryptAheadPieceSize % kCipherPieceSize == 0, "the ring holds whole cipher pieces");

// Reads and decrypts the rest of a keyed CBC payload on a thread of its own,
// at most kDecryptAheadPieces pieces ahead of the caller. Destroying it stops
// the thread after the piece it is on and joins it, so the cipher and the
// source are the caller's again on every path out.
class DecryptAhead {
 public:
  DecryptAhead(crypto::TBlockCipher& cipher, crypto::ByteSource& in) : cipher_(cipher), in_(in) {
    ring_ = std::make_unique<Ring>();
    thread_ = std::thread([this] { Run(); });
  }

  ~DecryptAhead() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    crypto::BurnBytes(ring_->data(), sizeof(Ring));  // compressed plaintext
  }

  DecryptAhead(const DecryptAhead&) = delete;
  DecryptAhead& operator=(const DecryptAhead&) = delete;

  // The next decrypted piece, valid until the next call; shorter than a full
  // piece only at the end of the payload (empty when the payload filled the
  // piece before). Hands the previous piece back to the thread. A failure of
  // the thread is thrown here, once the pieces before it are taken.
  std::span<const std::uint8_t> Next() {
    std::unique_lock lock(mutex_);
    if (holding_) {
      holding_ = false;
      ++taken_;
      changed_.notify_all();
    }
    changed_.wait(lock, [&] { return made_ > taken_ || ended_; });
    if (made_ == taken_) {
      if (failure_) std::rethrow_exception(failure_);
      return {};
    }
    holding_ = true;
    const std::size_t at = taken_ % kDecryptAheadPieces;
    return std::span((*ring_)[at].data(), sizes_[at]);
  }

 private:
  using Piece = std::array<std::uint8_t, kDecryptAheadPieceSize>;
  using Ring = std::array<Piece, kDecryptAheadPieces>;

  void Run() {
    for (bool last = false; !last;) {
      std::size_t at = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || made_ - taken_ < kDecryptAheadPieces; });
        if (stopping_) return;
        at = made_ % kDecryptAheadPieces;
      }
      try {
        sizes_[at] = Fill((*ring_)[at]);
      } catch (...) {
        Finish(std::current_exception());
        return;
      }
      last = sizes_[at] < kDecryptAheadPieceSize;
      {
        std::lock_guard lock(mutex_);
        ++made_;
        ended_ = last;
      }
      changed_.notify_all();
    }
  }

  // Reads the next piece and decrypts it in the cipher's own pieces, the last
  // one short, as the one-thread decryption cuts them.
  std::size_t Fill(Piece& piece) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), in_.Remaining()));
    in_.ReadExactly(std::span(piece.data(), count));
    for (std::size_t at = 0; at < count; at += kCipherPieceSize) {
      const auto chunk = std::span(piece.data() + at, std::min(kCipherPieceSize, count - at));
      cipher_.DecryptCBC(chunk, chunk);
    }
    return count;
  }

  void Finish(std::exception_ptr failure) {
    {
      std::lock_guard lock(mutex_);
      failure_ = std::move(failure);
      ended_ = true;
    }
    changed_.notify_all();
  }

  crypto::TBlockCipher& cipher_;
  crypto::ByteSource& in_;
  std::unique_ptr<Ring> ring_;
  std::array<std::size_t, kDecryptAheadPieces> sizes_{};  // each written before its piece is counted made

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t made_ = 0;   // pieces decrypted so far
  std::size_t taken_ = 0;  // pieces the caller is done with
  bool holding_ = false;   // the caller holds piece `taken_`
  bool ended_ = false;     // the last piece is made, or the thread failed
  bool stopping_ = false;
  std::exception_ptr failure_;

  std::thread thread_;  // last: started once everything above is in place
};

// The expanded bytes into the output, runs of zeros as holes.
class SparseSink final : public crypto::ByteSink {
 public:
  explicit SparseSink(SparseWriter& writer) noexcept : writer_(writer) {}
  void Write(std::span<const std::uint8_t> bytes) override { writer_.Write(bytes); }

 private:
  SparseWriter& writer_;
};

// Burns the cipher's key schedule and chaining values on every path out.
struct CipherBurner {
  crypto::TBlockCipher& cipher;
  ~CipherBurner() { cipher.Burn(); }
};

// Expands piece after piece as the decrypting thread hands them over. False
// when the stream does not begin as the program's compression does, which
// decryption takes for a wrong password.
bool ExpandPieces(DecryptAhead& ahead, platform::File& output, platform::Progress& progress) {
  SparseWriter sparse(output);  // a sparse file encrypted comes back sparse
  SparseSink sink(sparse);
  ExpandingSink expand(sink);
  for (bool first = true;; first = false) {
    const std::span<const std::uint8_t> piece = ahead.Next();
    if (first && (piece.size() < kLevel9Header.size() || !std::equal(kLevel9Header.begin(), kLevel9Header.end(),
                                                                      piece.begin()))) {
      return false;
    }
    expand.Write(piece);
    progress.setPosition(progress.position() + static_cast<std::int64_t>(piece.size()));
    progress.repaint();
    if (piece.size() < kDecryptAheadPieceSize) break;
    common::StopIfCancelled(&progress);
  }
  // Running out of input before the checksum means the stream was cut off.
  if (!expand.StreamEnded()) throw EDecompressionError(std::string(messages::kZlibError));
  sparse.Finish();
  return true;
}

[[nodiscard]] ResultCode DecryptExpand(const CbcFileJob& job, const std::filesystem::path& source,
                                       std::string_view password, platform::Progress& progress,
                                       const OpenExpandedOutput& open) {
  const CipherBurner burner{job.cipher};
  try {
    auto in = OpenSource(source, job.lockSourceOnDecrypt);
    in.seek(kCheckBlockOffset);  // the algorithm code is the caller's business
    FileByteSource from(in);
    if (!AcceptPassword(job, from, password)) return platform::ErrBadPassword;
    platform::File& output = open();
    progress.setPosition(0);
    progress.setMax(static_cast<std::int64_t>(in.size()));
    DecryptAhead ahead(job.cipher, from);
    return ExpandPieces(ahead, output, progress) ? platform::Success : platform::ErrBadPassword;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

template <typename Cipher>
[[nodiscard]] ResultCode DecryptExpandWith(std::uint8_t algorithm, int keyBits, bool lockSource,
                                           const std::filesystem::path& source, std::string_view password,
                                           platform::Progress& progress, const OpenExpandedOutput& open) {
  Cipher cipher;
  const CbcFileJob job{cipher, algorithm, keyBits, false, lockSource};
  return DecryptExpand(job, source, password, progress, open);
}

}  // namespace

bool DecryptsOnTwoThreads(int algorithm, std::uint64_t fileSize) {
  const bool cbc = algorithm == kAlgorithmBlowfish || algorithm == kAlgorithmCast128;
  return cbc && fileSize > kCheckedHeaderSize + kDecryptAheadPieceSize && DeflateWorkerCount() > 1;
}

bool DecryptsOnTwoThreads(int algorithm, const std::filesystem::path& source) noexcept {
  std::error_code error;
  const std::uint64_t size = std::filesystem::file_size(source, error);
  try {
    return !error && DecryptsOnTwoThreads(algorithm, size);
  } catch (...) {
    return false;  // no threads could be counted
  }
}

[[nodiscard]] ResultCode DecryptExpandFile(int algorithm, const std::filesystem::path& source,
                                           std::string_view password, platform::Progress* progress,
                                           const OpenExpandedOutput& open) {
  if (source.empty() || password.empty() || progress == nullptr || !open) return platform::ErrInternal;
  if (!platform::FileExists(source)) return platform::ErrNoSuchFile;
  // Blowfish files are read under the lock that keeps writers out, as the
  // one-thread decryption reads them; CAST-128 files without it.
  switch (algorithm) {
    case kAlgorithmBlowfish:
      return DecryptExpandWith<crypto::TBlowfishCipher>(kAlgorithmBlowfish, kBlowfishKeyBits, true, source, password,
                                                        *progress, open);
    case kAlgorithmCast128:
      return DecryptExpandWith<crypto::TCast128Cipher>(kAlgorithmCast128, kCast128KeyBits, false, source, password,
                                                       *progress, open);
    default:
      return platform::ErrInternal;
  }
}

}  // namespace voltare::transforms
