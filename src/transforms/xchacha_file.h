// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sealed encrypted files (algorithm code 3): a compressed stream sealed with
// XChaCha20-Poly1305 under a key derived with Argon2id. Format version 2,
// which the program writes, compresses with zstd (one frame); version 1, which
// it still reads, holds the same zlib stream as the other algorithms. Every
// piece carries its own authentication tag, so a changed, reordered, cut-off
// or lengthened file is found, not decrypted.
//
//   offset  size  field (integers little-endian)
//   0       12    "KOVA Voltare"
//   12      1     algorithm code 3
//   13      1     format version: 1 (zlib stream) or 2 (zstd frame)
//   14      1     key derivation 1 = Argon2id version 1.3
//   15      4     Argon2id passes
//   19      4     Argon2id memory in KiB
//   23      16    salt
//   39      24    secret-stream header
//   63      16    key check: BLAKE2b-128 keyed with the check key over bytes 0-62
//   79      ...   the stream: pieces of 65536 bytes of plain text (the last
//                 one shorter or equal, never empty), each with its 17 bytes
//                 of tag and authenticator; the last piece is tagged FINAL.
//                 The plain text is, in version 1, a zlib stream (78 DA ...);
//                 in version 2, one zstd frame (28 B5 2F FD ...).

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "crypto/bytestream.h"
#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/file_io.h"
#include "transforms/sealed_key.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {

inline constexpr std::uint8_t kSealedZlibVersion = 1;
inline constexpr std::uint8_t kSealedZstdVersion = 2;
inline constexpr std::uint8_t kSealedKdfArgon2id13 = 1;
inline constexpr std::size_t kSealedCheckedSize = 63;
inline constexpr std::size_t kSealedHeaderSize = 79;
inline constexpr std::size_t kSealedPieceSize = 65536;
inline constexpr std::size_t kSealedPieceOverhead = 17;

// What the header of a sealed file says, read without any key.
struct SealedHeader {
  std::uint8_t version = 0;
  Argon2Limits limits;
  SealedSalt salt{};
  std::array<std::uint8_t, kSealedCheckedSize> checked{};  // bytes 0-62
  std::array<std::uint8_t, 16> keyCheck{};
};

// Reads the header from `in`, which stands just after the algorithm code
// (the caller checked the magic and the code 3). ErrBadFile for a short
// header, a version other than 1 and 2, another key derivation, or limits outside the allowed
// range: such a header never costs a derivation.
[[nodiscard]] platform::ResultCode ReadSealedHeader(crypto::ByteSource& in, SealedHeader& header);

// True when the file `path` begins as a sealed file does: the magic, the code
// 3, a format version the program reads and its key derivation. Saved lists
// of the compatible form have no algorithm code: their byte 12 is cipher text,
// 3 for one list in 256, and only the bytes after it tell the two apart.
bool LooksSealed(const std::filesystem::path& path) noexcept;

// Writes to the sink it wraps a sealed file of what is written to it: the
// header (of format `version`, which the caller's stream must match) at
// once, the pieces as they fill, the FINAL piece at Finish. The stream state
// is burned when the sink goes.
class SealingSink final : public crypto::ByteSink {
 public:
  SealingSink(const SealedKey& key, crypto::ByteSink& out, std::uint8_t version);
  ~SealingSink() override;
  SealingSink(const SealingSink&) = delete;
  SealingSink& operator=(const SealingSink&) = delete;

  void Write(std::span<const std::uint8_t> bytes) override;
  // Seals what is left as the FINAL piece. Called once, after the last Write.
  void Finish();

 private:
  struct State;
  void Push(std::uint8_t tag);

  crypto::ByteSink& out_;
  std::unique_ptr<State> state_;
};

// Opens the sealed file `in` (standing just after the algorithm code;
// `encryptedSize` is the whole file's size, the progress maximum) into `out`. `keyFor` gives the key for the header's
// salt and limits. Success; ErrBadFile (the header is not a sealed header
// the program accepts); ErrBadPassword (the key check differs: nothing is
// written); ErrTampered (a piece fails to open, the stream ends before its
// FINAL piece or goes on after it: the pieces before it may have been
// written, so `out` must be thrown away). A failed read or write throws.
// `out` receives the plain text, the compressed stream of the version the
// header names: OpenAndExpandSealed (sealed_expand.h) expands either kind.
using SealedKeyLookup = std::function<const SealedKey&(const SealedSalt&, const Argon2Limits&)>;
[[nodiscard]] platform::ResultCode OpenSealedStream(crypto::ByteSource& in, crypto::ByteSink& out,
                                                    const SealedKeyLookup& keyFor, std::uint64_t encryptedSize,
                                                    platform::Progress& progress);

// The compressed zlib stream `source` sealed into `destination` as format
// version 1. 0, ErrInternal
// (a path empty, no progress indicator, a source that is the destination),
// ErrNoSuchFile, or the code of the failure that ended it. The result is on
// the disk when 0 is returned.
[[nodiscard]] platform::ResultCode XChaChaEncryptFile(const std::filesystem::path& source,
                                                      const Destination& destination, const SealedKey& key,
                                                      platform::Progress* progress);

// `source` compressed with zstd (on DeflateWorkerCount() threads) and sealed
// into `destination` as format version 2, in one pass with no temporary file.
// Codes as XChaChaEncryptFile. `compressed` runs once the frame is complete,
// before the FINAL piece is sealed.
[[nodiscard]] platform::ResultCode XChaChaCompressEncryptFile(const std::filesystem::path& source,
                                                              const Destination& destination, const SealedKey& key,
                                                              platform::Progress* progress,
                                                              const std::function<void()>& compressed);

// The sealed file `source` opened into `destination` (its compressed stream),
// with the key from `ring` for `password`. Codes as OpenSealedStream, plus
// ErrInternal and ErrNoSuchFile; `destination` is left only on success.
[[nodiscard]] platform::ResultCode XChaChaDecryptFile(const std::filesystem::path& source,
                                                      const Destination& destination, SealedKeyRing& ring,
                                                      std::string_view password, platform::Progress* progress);

}  // namespace voltare::transforms
