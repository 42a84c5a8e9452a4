// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/cbc_file.h"

#include <algorithm>
#include <array>

#include "crypto/burn.h"
#include "platform/file.h"
#include "transforms/file_io.h"
#include "transforms/parallel_deflate.h"
#include "transforms/result.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {

namespace {

using platform::ResultCode;
using Piece = std::array<std::uint8_t, kCipherPieceSize>;

// Burns the cipher's key schedule and chaining values on every path out.
class CipherBurner {
 public:
  explicit CipherBurner(crypto::TBlockCipher& cipher) noexcept : cipher_(cipher) {}
  ~CipherBurner() { cipher_.Burn(); }
  CipherBurner(const CipherBurner&) = delete;
  CipherBurner& operator=(const CipherBurner&) = delete;

 private:
  crypto::TBlockCipher& cipher_;
};

// Why a file job cannot start: ErrInternal for a missing argument or a source
// that is its own destination, ErrNoSuchFile; Success when it can.
[[nodiscard]] ResultCode RefusedArguments(const std::filesystem::path& source, const Destination& destination,
                                          std::string_view password, const platform::Progress* progress) {
  if (password.empty()) return platform::ErrInternal;
  return RefusedFileJob(source, destination, progress);
}

// The encrypted file complete: the key schedule burned, the file on the disk
// and under its name.
void Seal(const CbcFileJob& job, DestinationFile& out) {
  job.cipher.Burn();
  out.SyncToDisk();
  out.Commit();
}

void WriteMagic(platform::File& out) {
  out.write(std::span(reinterpret_cast<const std::uint8_t*>(kVltMagic.data()), kVltMagic.size()));
}

// Keys the cipher from the key block and returns the check block, the cipher
// back at its IV.
KeyBlock KeyAndCheck(const CbcFileJob& job, std::string_view password) {
  KeyBlock key_block = MakeKeyBlock(password);
  crypto::BurnOnExit burn_key(key_block);
  job.cipher.Init(key_block.data(), job.keyBits, nullptr);
  return MakeCheckBlock(job.cipher, key_block);
}

// Pieces of 8192 bytes until a short read; a source whose size is a multiple
// of the piece ends with an empty read.
template <typename Transform>
void RunPieces(crypto::ByteSource& in, crypto::ByteSink& out, platform::Progress& progress, Transform transform) {
  Piece piece;
  crypto::BurnOnExit burn_piece(piece);
  for (;;) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), in.Remaining()));
    const auto chunk = std::span(piece.data(), count);
    in.ReadExactly(chunk);
    transform(chunk);
    out.Write(chunk);
    progress.setPosition(progress.position() + static_cast<std::int64_t>(count));
    progress.repaint();
    if (count < piece.size()) break;
    common::StopIfCancelled(&progress);
  }
}

// Encrypts what is written to it in the pieces RunPieces reads, so that a
// stream encrypted on the fly gives the bytes of the same stream encrypted
// from a file.
class CbcPieceSink final : public crypto::ByteSink {
 public:
  CbcPieceSink(crypto::TBlockCipher& cipher, crypto::ByteSink& out) noexcept : cipher_(cipher), out_(out) {}

  void Write(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty()) {
      const std::size_t taken = std::min(bytes.size(), piece_.size() - filled_);
      std::copy_n(bytes.begin(), taken, piece_.begin() + static_cast<std::ptrdiff_t>(filled_));
      filled_ += taken;
      bytes = bytes.subspan(taken);
      if (filled_ == piece_.size()) EncryptPiece();
    }
  }

  // The last piece, short or (as RunPieces' last read of a whole number of
  // pieces) empty.
  void Finish() { EncryptPiece(); }

 private:
  void EncryptPiece() {
    const auto chunk = std::span(piece_.data(), filled_);
    cipher_.EncryptCBC(chunk, chunk);
    out_.Write(chunk);
    filled_ = 0;
  }

  crypto::TBlockCipher& cipher_;
  crypto::ByteSink& out_;
  Piece piece_{};
  crypto::BurnOnExit<Piece> burn_piece_{piece_};
  std::size_t filled_ = 0;
};

// Magic, algorithm code and check block, the cipher keyed; in list mode only
// the magic, the cipher keyed from the password's digest.
void WriteHeaderAndKey(const CbcFileJob& job, std::string_view password, platform::File& out) {
  WriteMagic(out);
  if (job.listMode) {
    job.cipher.InitStr(password);
    return;
  }
  out.write(std::span(&job.algorithm, 1));
  KeyBlock check = KeyAndCheck(job, password);
  out.write(check);
}

void StartProgress(platform::Progress& progress, std::uint64_t max) {
  progress.setPosition(0);
  progress.setMax(static_cast<std::int64_t>(max));
}

}  // namespace

[[nodiscard]] ResultCode EncryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                        const Destination& destination, std::string_view password,
                                        platform::Progress* progress) {
  CipherBurner burner(job.cipher);
  if (const ResultCode refused = RefusedArguments(source, destination, password, progress);
      refused != platform::Success) {
    return refused;
  }
  try {
    auto in = OpenSource(source, true);
    DestinationFile out(destination);
    WriteHeaderAndKey(job, password, out.file());
    StartProgress(*progress, in.size());
    FileByteSource from(in);
    FileByteSink to(out.file());
    RunPieces(from, to, *progress, [&](std::span<std::uint8_t> chunk) { job.cipher.EncryptCBC(chunk, chunk); });
    Seal(job, out);
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

[[nodiscard]] ResultCode CompressEncryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                                const Destination& destination, std::string_view password,
                                                platform::Progress* progress, const std::function<void()>& compressed) {
  CipherBurner burner(job.cipher);
  if (job.listMode) return platform::ErrInternal;
  if (const ResultCode refused = RefusedArguments(source, destination, password, progress);
      refused != platform::Success) {
    return refused;
  }
  try {
    auto in = OpenSource(source, true);
    // One chunk or one worker: CompressFile keeps a single stream there.
    if (!DeflatesInParallel(in.size())) return platform::ErrInternal;
    DestinationFile out(destination);
    WriteHeaderAndKey(job, password, out.file());
    FileByteSink to(out.file());
    CbcPieceSink encrypting(job.cipher, to);
    ParallelDeflate(in, in.size(), encrypting, *progress, DeflateWorkerCount());
    if (compressed) compressed();
    encrypting.Finish();
    Seal(job, out);
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

[[nodiscard]] ResultCode DecryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                        const Destination& destination, std::string_view password,
                                        platform::Progress* progress) {
  CipherBurner burner(job.cipher);
  if (const ResultCode refused = RefusedArguments(source, destination, password, progress);
      refused != platform::Success) {
    return refused;
  }
  try {
    auto in = OpenSource(source, job.lockSourceOnDecrypt);
    DestinationFile out(destination);
    // The algorithm code is the caller's business; it is skipped unread.
    in.seek(job.listMode ? kListHeaderSize : kCheckBlockOffset);
    FileByteSource from(in);
    FileByteSink to(out.file());
    // A wrong password leaves nothing behind: `out` removes itself.
    if (!DecryptCbcStream(job, from, to, password, in.size(), *progress)) return platform::ErrBadPassword;
    job.cipher.Burn();
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

bool AcceptPassword(const CbcFileJob& job, crypto::ByteSource& in, std::string_view password) {
  if (job.listMode) {
    job.cipher.InitStr(password);
    return true;
  }
  const KeyBlock expected = KeyAndCheck(job, password);
  KeyBlock stored{};
  if (in.Remaining() < stored.size()) return false;
  in.ReadExactly(stored);
  return stored == expected;
}

bool DecryptCbcStream(const CbcFileJob& job, crypto::ByteSource& in, crypto::ByteSink& out, std::string_view password,
                      std::uint64_t encryptedSize, platform::Progress& progress) {
  if (!AcceptPassword(job, in, password)) return false;
  StartProgress(progress, encryptedSize);
  RunPieces(in, out, progress, [&](std::span<std::uint8_t> chunk) { job.cipher.DecryptCBC(chunk, chunk); });
  return true;
}

}  // namespace voltare::transforms
