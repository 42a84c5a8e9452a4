// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/xchacha_file.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

#include "platform/file.h"
#include "transforms/file_io.h"
#include "transforms/parallel_deflate.h"
#include "transforms/result.h"
#include "transforms/sodium_init.h"
#include "transforms/vlt_format.h"
#include "transforms/zstd_streams.h"

namespace voltare::transforms {

namespace {

using platform::ResultCode;

static_assert(crypto_secretstream_xchacha20poly1305_HEADERBYTES == 24);
static_assert(crypto_secretstream_xchacha20poly1305_KEYBYTES == 32);
static_assert(crypto_secretstream_xchacha20poly1305_ABYTES == kSealedPieceOverhead);

constexpr std::size_t kLimitsOffset = 15;
constexpr std::size_t kSaltOffset = 23;
constexpr std::size_t kStreamHeaderOffset = 39;

void PutLittleEndian(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLittleEndian(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

std::array<std::uint8_t, 16> KeyCheck(const std::array<std::uint8_t, kSealedCheckedSize>& checked,
                                      const SealedKey& key) {
  std::array<std::uint8_t, 16> check{};
  crypto_generichash(check.data(), check.size(), checked.data(), checked.size(), key.bytes->check.data(),
                     key.bytes->check.size());
  return check;
}

void StartProgress(platform::Progress& progress, std::uint64_t max) {
  progress.setPosition(0);
  progress.setMax(static_cast<std::int64_t>(max));
}

void Advance(platform::Progress& progress, std::size_t count) {
  progress.setPosition(progress.position() + static_cast<std::int64_t>(count));
  progress.repaint();
}

}  // namespace

// The stream state and both pieces live in locked memory: the plain piece is
// compressed plain text, the state holds the key.
struct SealingPieces {
  crypto_secretstream_xchacha20poly1305_state stream;
  std::array<std::uint8_t, kSealedPieceSize> plain;
  std::array<std::uint8_t, kSealedPieceSize + kSealedPieceOverhead> sealed;
  std::size_t filled = 0;
};

struct SealingSink::State {
  common::LockedBox<SealingPieces> pieces;
};

SealingSink::SealingSink(const SealedKey& key, crypto::ByteSink& out, std::uint8_t version)
    : out_(out), state_(std::make_unique<State>()) {
  RequireSodium();
  std::array<std::uint8_t, kSealedHeaderSize> header{};
  std::memcpy(header.data(), kVltMagic.data(), kMagicSize);
  header[12] = kAlgorithmXChaCha20;
  header[13] = version;
  header[14] = kSealedKdfArgon2id13;
  PutLittleEndian(&header[kLimitsOffset], key.limits.passes);
  PutLittleEndian(&header[kLimitsOffset + 4], key.limits.memoryKiB);
  std::copy(key.salt.begin(), key.salt.end(), header.begin() + kSaltOffset);
  crypto_secretstream_xchacha20poly1305_init_push(&state_->pieces->stream, &header[kStreamHeaderOffset],
                                                  key.bytes->stream.data());
  std::array<std::uint8_t, kSealedCheckedSize> checked{};
  std::copy_n(header.begin(), checked.size(), checked.begin());
  const auto check = KeyCheck(checked, key);
  std::copy(check.begin(), check.end(), header.begin() + kSealedCheckedSize);
  out_.Write(header);
}

SealingSink::~SealingSink() = default;

void SealingSink::Write(std::span<const std::uint8_t> bytes) {
  SealingPieces& state = *state_->pieces;
  while (!bytes.empty()) {
    // A full piece goes out only once more text follows: the last piece,
    // full or not, must carry the FINAL tag.
    if (state.filled == state.plain.size()) Push(crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
    const std::size_t taken = std::min(bytes.size(), state.plain.size() - state.filled);
    std::copy_n(bytes.begin(), taken, state.plain.begin() + static_cast<std::ptrdiff_t>(state.filled));
    state.filled += taken;
    bytes = bytes.subspan(taken);
  }
}

void SealingSink::Finish() { Push(crypto_secretstream_xchacha20poly1305_TAG_FINAL); }

void SealingSink::Push(std::uint8_t tag) {
  SealingPieces& state = *state_->pieces;
  unsigned long long sealed_size = 0;
  crypto_secretstream_xchacha20poly1305_push(&state.stream, state.sealed.data(), &sealed_size, state.plain.data(),
                                             state.filled, nullptr, 0, tag);
  out_.Write(std::span(state.sealed.data(), static_cast<std::size_t>(sealed_size)));
  state.filled = 0;
}

bool LooksSealed(const std::filesystem::path& path) noexcept {
  try {
    if (path.empty() || !platform::FileExists(path)) return false;
    platform::File file(path, platform::File::Mode::Read);
    FileByteSource from(file);
    if (ReadAlgorithmCode(from) != kAlgorithmXChaCha20 || from.Remaining() < 2) return false;
    std::array<std::uint8_t, 2> format{};
    from.ReadExactly(format);
    return (format[0] == kSealedZlibVersion || format[0] == kSealedZstdVersion) && format[1] == kSealedKdfArgon2id13;
  } catch (...) {
    return false;
  }
}

[[nodiscard]] ResultCode ReadSealedHeader(crypto::ByteSource& in, SealedHeader& header) {
  constexpr std::size_t kRead = kMagicSize + 1;
  if (in.Remaining() < kSealedHeaderSize - kRead) return platform::ErrBadFile;
  std::array<std::uint8_t, kSealedHeaderSize> bytes{};
  std::memcpy(bytes.data(), kVltMagic.data(), kMagicSize);
  bytes[kMagicSize] = kAlgorithmXChaCha20;
  in.ReadExactly(std::span(bytes).subspan(kRead));
  header.version = bytes[13];
  const bool known_version = header.version == kSealedZlibVersion || header.version == kSealedZstdVersion;
  if (!known_version || bytes[14] != kSealedKdfArgon2id13) return platform::ErrBadFile;
  header.limits = {GetLittleEndian(&bytes[kLimitsOffset]), GetLittleEndian(&bytes[kLimitsOffset + 4])};
  if (!Argon2LimitsAllowed(header.limits)) return platform::ErrBadFile;
  std::copy_n(bytes.begin() + kSaltOffset, header.salt.size(), header.salt.begin());
  std::copy_n(bytes.begin(), header.checked.size(), header.checked.begin());
  std::copy_n(bytes.begin() + kSealedCheckedSize, header.keyCheck.size(), header.keyCheck.begin());
  return platform::Success;
}

namespace {

struct OpeningState {
  crypto_secretstream_xchacha20poly1305_state stream;
  std::array<std::uint8_t, kSealedPieceSize + kSealedPieceOverhead> sealed;
  std::array<std::uint8_t, kSealedPieceSize> plain;
};

// Opens piece after piece until the FINAL one, which must end the input.
[[nodiscard]] ResultCode OpenPieces(OpeningState& state, crypto::ByteSource& in, crypto::ByteSink& out,
                                    platform::Progress& progress) {
  for (;;) {
    const std::uint64_t remaining = in.Remaining();
    if (remaining < kSealedPieceOverhead) return platform::ErrTampered;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(state.sealed.size(), remaining));
    in.ReadExactly(std::span(state.sealed.data(), count));
    unsigned long long plain_size = 0;
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(&state.stream, state.plain.data(), &plain_size, &tag,
                                                   state.sealed.data(), count, nullptr, 0) != 0) {
      return platform::ErrTampered;
    }
    out.Write(std::span(state.plain.data(), static_cast<std::size_t>(plain_size)));
    Advance(progress, count);
    if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL) {
      return in.Remaining() == 0 ? platform::Success : platform::ErrTampered;
    }
    if (tag != crypto_secretstream_xchacha20poly1305_TAG_MESSAGE) return platform::ErrTampered;
    common::StopIfCancelled(&progress);
  }
}

}  // namespace

[[nodiscard]] ResultCode OpenSealedStream(crypto::ByteSource& in, crypto::ByteSink& out, const SealedKeyLookup& keyFor,
                                          std::uint64_t encryptedSize, platform::Progress& progress) {
  RequireSodium();
  SealedHeader header;
  if (const ResultCode read = ReadSealedHeader(in, header); read != platform::Success) return read;
  const SealedKey& key = keyFor(header.salt, header.limits);
  const auto expected = KeyCheck(header.checked, key);
  if (sodium_memcmp(expected.data(), header.keyCheck.data(), expected.size()) != 0) return platform::ErrBadPassword;
  common::LockedBox<OpeningState> state;
  if (crypto_secretstream_xchacha20poly1305_init_pull(&state->stream, &header.checked[kStreamHeaderOffset],
                                                      key.bytes->stream.data()) != 0) {
    return platform::ErrTampered;
  }
  StartProgress(progress, encryptedSize);
  Advance(progress, kSealedHeaderSize);
  return OpenPieces(*state, in, out, progress);
}

[[nodiscard]] ResultCode XChaChaEncryptFile(const std::filesystem::path& source, const Destination& destination,
                                            const SealedKey& key, platform::Progress* progress) {
  if (const ResultCode refused = RefusedFileJob(source, destination, progress); refused != platform::Success) {
    return refused;
  }
  try {
    auto in = OpenSource(source, true);
    DestinationFile out(destination);
    FileByteSink to(out.file());
    SealingSink sealing(key, to, kSealedZlibVersion);
    StartProgress(*progress, in.size());
    common::LockedBox<std::array<std::uint8_t, kSealedPieceSize>> piece;
    for (;;) {
      const std::size_t count = in.read(*piece);
      sealing.Write(std::span(piece->data(), count));
      Advance(*progress, count);
      if (count < piece->size()) break;
      common::StopIfCancelled(progress);
    }
    sealing.Finish();
    out.SyncToDisk();
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

[[nodiscard]] ResultCode XChaChaCompressEncryptFile(const std::filesystem::path& source, const Destination& destination,
                                                    const SealedKey& key, platform::Progress* progress,
                                                    const std::function<void()>& compressed) {
  if (const ResultCode refused = RefusedFileJob(source, destination, progress); refused != platform::Success) {
    return refused;
  }
  try {
    auto in = OpenSource(source, true);
    DestinationFile out(destination);
    FileByteSink to(out.file());
    SealingSink sealing(key, to, kSealedZstdVersion);
    ZstdCompress(in, in.size(), sealing, *progress, DeflateWorkerCount());
    if (compressed) compressed();
    sealing.Finish();
    out.SyncToDisk();
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

[[nodiscard]] ResultCode XChaChaDecryptFile(const std::filesystem::path& source, const Destination& destination,
                                            SealedKeyRing& ring, std::string_view password,
                                            platform::Progress* progress) {
  if (password.empty()) return platform::ErrInternal;
  if (const ResultCode refused = RefusedFileJob(source, destination, progress); refused != platform::Success) {
    return refused;
  }
  try {
    auto in = OpenSource(source, false);
    FileByteSource from(in);
    if (ReadAlgorithmCode(from) != kAlgorithmXChaCha20) return platform::ErrBadFile;
    DestinationFile out(destination);
    FileByteSink to(out.file());
    const ResultCode opened = OpenSealedStream(
        from, to,
        [&](const SealedSalt& salt, const Argon2Limits& limits) -> const SealedKey& {
          return ring.ForFile(password, salt, limits);
        },
        in.size(), *progress);
    // Anything short of success leaves no output: `out` removes itself.
    if (opened != platform::Success) return opened;
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace voltare::transforms
