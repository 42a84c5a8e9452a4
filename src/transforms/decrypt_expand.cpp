// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/decrypt_expand.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
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
#include "transforms/zlib_streams.h"  // EDecompressionError

namespace voltare::transforms {

namespace {

using platform::ResultCode;

static_assert(kDecryptAheadPieceSize % kCipherPieceSize == 0, "the ring holds whole cipher pieces");

// What the expansion fills at a time, and how many of those may wait to be
// written.
constexpr std::size_t kExpandedPieceSize = 128 * 1024;
constexpr std::size_t kExpandedPieces = 4;

[[noreturn]] void ThrowDamaged() { throw EDecompressionError(std::string(messages::kZlibError)); }

// The thread beside the caller's expansion. It reads and decrypts the rest of
// a keyed CBC payload ahead, at most kDecryptAheadPieces pieces, and writes
// the expanded pieces the caller hands back, summing their Adler-32 on the
// way; writing comes first, since a full output ring holds the caller up.
// Both rings hold plaintext and are burned when it goes. Destroying it stops
// the thread after the piece it is on and joins it, so the cipher, the source
// and the output are the caller's again on every path out. A failure of the
// thread is thrown to the caller at its next call.
class SideThread {
 public:
  SideThread(crypto::TBlockCipher& cipher, crypto::ByteSource& in, SparseWriter& out)
      : cipher_(cipher), in_(in), out_(out), rings_(std::make_unique<Rings>()) {
    thread_ = std::thread([this] { Run(); });
  }

  ~SideThread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    crypto::BurnBytes(rings_.get(), sizeof(Rings));
  }

  SideThread(const SideThread&) = delete;
  SideThread& operator=(const SideThread&) = delete;

  // The next decrypted piece, valid until the next call; shorter than a full
  // piece only at the end of the payload (empty when the payload filled the
  // piece before). Hands the previous piece back.
  std::span<const std::uint8_t> NextDecrypted() {
    std::unique_lock lock(mutex_);
    if (holding_) {
      holding_ = false;
      ++taken_;
      changed_.notify_all();
    }
    AwaitOrThrow(lock, [&] { return made_ > taken_ || decrypted_all_; });
    if (made_ == taken_) return {};
    holding_ = true;
    const std::size_t at = taken_ % kDecryptAheadPieces;
    return std::span(rings_->decrypted[at].data(), decrypted_sizes_[at]);
  }

  // An empty piece of the output ring to expand into, kept until Submit.
  std::span<std::uint8_t> OutputSpace() {
    std::unique_lock lock(mutex_);
    AwaitOrThrow(lock, [&] { return submitted_ - written_ < kExpandedPieces; });
    return rings_->expanded[submitted_ % kExpandedPieces];
  }

  // The first `used` bytes of the piece OutputSpace gave are to be written.
  void Submit(std::size_t used) {
    {
      std::lock_guard lock(mutex_);
      expanded_sizes_[submitted_ % kExpandedPieces] = used;
      ++submitted_;
    }
    changed_.notify_all();
  }

  // Once every submitted piece is written: the Adler-32 of them all.
  std::uint32_t Drain() {
    std::unique_lock lock(mutex_);
    AwaitOrThrow(lock, [&] { return written_ == submitted_; });
    return static_cast<std::uint32_t>(adler_);
  }

 private:
  using DecryptedPiece = std::array<std::uint8_t, kDecryptAheadPieceSize>;
  using ExpandedPiece = std::array<std::uint8_t, kExpandedPieceSize>;
  struct Rings {
    std::array<DecryptedPiece, kDecryptAheadPieces> decrypted;
    std::array<ExpandedPiece, kExpandedPieces> expanded;
  };

  template <typename Ready>
  void AwaitOrThrow(std::unique_lock<std::mutex>& lock, Ready ready) {
    changed_.wait(lock, [&] { return failure_ != nullptr || ready(); });
    if (failure_) std::rethrow_exception(failure_);
  }

  bool MayDecrypt() const { return !decrypted_all_ && made_ - taken_ < kDecryptAheadPieces; }

  void Run() {
    for (;;) {
      bool write = false;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || written_ < submitted_ || MayDecrypt(); });
        if (stopping_) return;
        write = written_ < submitted_;
      }
      try {
        write ? WriteNext() : DecryptNext();
      } catch (...) {
        Fail(std::current_exception());
        return;
      }
      changed_.notify_all();
    }
  }

  // Only this thread moves `written_` and `made_`, and only it touches the
  // piece each stands at, so the work runs unlocked.
  void WriteNext() {
    const std::size_t at = written_ % kExpandedPieces;  // read under the lock of the wait before
    const auto piece = std::span<const std::uint8_t>(rings_->expanded[at].data(), expanded_sizes_[at]);
    adler_ = adler32_z(adler_, piece.data(), piece.size());
    out_.Write(piece);
    std::lock_guard lock(mutex_);
    ++written_;
  }

  // Reads the next piece and decrypts it in the cipher's own pieces, the last
  // one short, as the one-thread decryption cuts them.
  void DecryptNext() {
    const std::size_t at = made_ % kDecryptAheadPieces;
    DecryptedPiece& piece = rings_->decrypted[at];
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), in_.Remaining()));
    in_.ReadExactly(std::span(piece.data(), count));
    for (std::size_t from = 0; from < count; from += kCipherPieceSize) {
      const auto chunk = std::span(piece.data() + from, std::min(kCipherPieceSize, count - from));
      cipher_.DecryptCBC(chunk, chunk);
    }
    decrypted_sizes_[at] = count;
    std::lock_guard lock(mutex_);
    ++made_;
    decrypted_all_ = count < piece.size();
  }

  void Fail(std::exception_ptr failure) {
    {
      std::lock_guard lock(mutex_);
      failure_ = std::move(failure);
    }
    changed_.notify_all();
  }

  crypto::TBlockCipher& cipher_;
  crypto::ByteSource& in_;
  SparseWriter& out_;
  std::unique_ptr<Rings> rings_;
  // Each size is set before its piece is counted, and read after.
  std::array<std::size_t, kDecryptAheadPieces> decrypted_sizes_{};
  std::array<std::size_t, kExpandedPieces> expanded_sizes_{};
  uLong adler_ = adler32(0, nullptr, 0);  // this thread's alone until Drain

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t made_ = 0;        // pieces decrypted
  std::size_t taken_ = 0;       // decrypted pieces the caller is done with
  bool holding_ = false;        // the caller holds decrypted piece `taken_`
  bool decrypted_all_ = false;  // the short last piece is made
  std::size_t submitted_ = 0;   // expanded pieces handed over
  std::size_t written_ = 0;     // expanded pieces written
  bool stopping_ = false;
  std::exception_ptr failure_;

  std::thread thread_;  // last: started once everything above is in place
};

// zlib's inflate without its wrapper: the caller checks the 78 DA header, and
// the Adler-32 is summed on the side thread as it writes (zlib would sum it on
// this one) and compared with the trailer after the deflate data.
class RawExpansion {
 public:
  RawExpansion(SideThread& side, platform::Progress& progress) : side_(side), progress_(progress) {
    const int result = inflateInit2(&stream_, -MAX_WBITS);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) ThrowDamaged();
  }
  ~RawExpansion() { inflateEnd(&stream_); }
  RawExpansion(const RawExpansion&) = delete;
  RawExpansion& operator=(const RawExpansion&) = delete;

  // Expands the next part of the deflate data into the side thread's output
  // pieces; damaged data throws. Once the data ended, the bytes after it are
  // gathered as the trailer.
  void Write(std::span<const std::uint8_t> input) {
    if (!ended_) input = Expand(input);
    const std::size_t take = std::min(input.size(), trailer_.size() - trailer_size_);
    std::copy_n(input.begin(), take, trailer_.begin() + static_cast<std::ptrdiff_t>(trailer_size_));
    trailer_size_ += take;
  }

  // After the last Write: the whole stream was there and its checksum holds.
  void Finish() {
    if (!ended_) ThrowDamaged();  // cut off before its end
    if (output_.size() > 0) side_.Submit(output_.size() - stream_.avail_out);
    const std::uint32_t adler = side_.Drain();
    const std::array<std::uint8_t, 4> expected = {
        static_cast<std::uint8_t>(adler >> 24), static_cast<std::uint8_t>(adler >> 16),
        static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)};
    if (trailer_size_ < trailer_.size() || trailer_ != expected) ThrowDamaged();
  }

 private:
  // Returns what follows the end of the deflate data in `input`. A piece
  // that packs well expands to many output pieces; the window is repainted,
  // and may stop the work, after each.
  std::span<const std::uint8_t> Expand(std::span<const std::uint8_t> input) {
    stream_.next_in = const_cast<Bytef*>(input.data());  // zlib does not write through it
    stream_.avail_in = static_cast<uInt>(input.size());
    for (;;) {
      if (output_.empty()) {
        output_ = side_.OutputSpace();
        stream_.next_out = output_.data();
        stream_.avail_out = static_cast<uInt>(output_.size());
      }
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (result == Z_BUF_ERROR && stream_.avail_in == 0) break;  // nothing was pending
      ended_ = InflateResultEnded(result);
      if (stream_.avail_out == 0) {
        side_.Submit(output_.size());
        output_ = {};
        progress_.repaint();
        common::StopIfCancelled(&progress_);
      }
      if (ended_ || (stream_.avail_in == 0 && !output_.empty())) break;
    }
    return input.last(stream_.avail_in);
  }

  static bool InflateResultEnded(int result) {
    if (result == Z_STREAM_END) return true;
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) ThrowDamaged();
    return false;
  }

  SideThread& side_;
  platform::Progress& progress_;
  z_stream stream_{};
  std::span<std::uint8_t> output_;  // the output piece being filled
  bool ended_ = false;
  std::array<std::uint8_t, 4> trailer_{};  // the Adler-32, most significant byte first
  std::size_t trailer_size_ = 0;
};

// Burns the cipher's key schedule and chaining values on every path out.
struct CipherBurner {
  crypto::TBlockCipher& cipher;
  ~CipherBurner() { cipher.Burn(); }
};

bool BeginsLikeOurCompression(std::span<const std::uint8_t> piece) {
  return piece.size() >= kLevel9Header.size() && std::equal(kLevel9Header.begin(), kLevel9Header.end(), piece.begin());
}

// Expands piece after piece as the side thread decrypts them. False when the
// stream does not begin as the program's compression does, which decryption
// takes for a wrong password.
bool ExpandPieces(crypto::TBlockCipher& cipher, crypto::ByteSource& in, platform::File& output,
                  platform::Progress& progress) {
  SparseWriter sparse(output);  // a sparse file encrypted comes back sparse
  SideThread side(cipher, in, sparse);
  RawExpansion expansion(side, progress);
  for (bool first = true;; first = false) {
    const std::span<const std::uint8_t> piece = side.NextDecrypted();
    if (first && !BeginsLikeOurCompression(piece)) return false;
    expansion.Write(first ? piece.subspan(kLevel9Header.size()) : piece);
    progress.setPosition(progress.position() + static_cast<std::int64_t>(piece.size()));
    progress.repaint();
    if (piece.size() < kDecryptAheadPieceSize) break;
    common::StopIfCancelled(&progress);
  }
  expansion.Finish();
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
    return ExpandPieces(job.cipher, from, output, progress) ? platform::Success : platform::ErrBadPassword;
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
