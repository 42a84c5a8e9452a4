// SPDX-License-Identifier: GPL-3.0-or-later
// Sealed files (algorithm 3): round trips at piece boundaries, the header as
// written, read back by the library directly, and every kind of damage.

#include <gtest/gtest.h>
#include <sodium.h>
#include <stdlib.h>
#include <zstd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "support/scoped_env.h"
#include "support/test_env.h"
#include "transforms/compress.h"
#include "transforms/parallel_deflate.h"
#include "transforms/recording_progress.h"
#include "transforms/sealed_header_peer.h"
#include "transforms/test_data.h"
#include "transforms/xchacha_file.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using platform::ResultCode;
using testing::RandomBytes;
using testing::RecordingProgress;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

constexpr std::size_t kPiece = kSealedPieceSize;
constexpr std::size_t kSealed = kSealedPieceSize + kSealedPieceOverhead;

// Seals `plain` with a fresh ring and returns the file's bytes.
std::vector<std::uint8_t> Seal(const std::vector<std::uint8_t>& plain, SealedKeyRing& ring) {
  WriteFileBytes(TestDir() / "plain", plain);
  RecordingProgress progress;
  EXPECT_EQ(XChaChaEncryptFile(TestDir() / "plain", TestDir() / "sealed.vlt", ring.ForEncryption("pass"), &progress),
            platform::Success);
  return ReadFileBytes(TestDir() / "sealed.vlt");
}

// Opens `sealed` with `password`; the output path exists only on success.
ResultCode Open(const std::vector<std::uint8_t>& sealed, const char* password = "pass") {
  WriteFileBytes(TestDir() / "in.vlt", sealed);
  SealedKeyRing ring;
  RecordingProgress progress;
  return XChaChaDecryptFile(TestDir() / "in.vlt", TestDir() / "out", ring, password, &progress);
}

class SealedRoundTrip : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SealedRoundTrip, OpensToTheSameBytesAndSizesFollowThePieces) {
  const auto plain = RandomBytes(GetParam());
  SealedKeyRing ring;
  const auto sealed = Seal(plain, ring);
  const std::size_t pieces = plain.empty() ? 1 : (plain.size() + kPiece - 1) / kPiece;
  EXPECT_EQ(sealed.size(), kSealedHeaderSize + plain.size() + pieces * kSealedPieceOverhead);
  ASSERT_EQ(Open(sealed), platform::Success);
  EXPECT_EQ(ReadFileBytes(TestDir() / "out"), plain);
}

INSTANTIATE_TEST_SUITE_P(PieceBoundaries, SealedRoundTrip,
                         ::testing::Values(0, 1, kPiece - 1, kPiece, kPiece + 1, 3 * kPiece));

// The layout read with the library alone, none of our code in between.
TEST(SealedFile, HeaderFieldsAndStreamOpenWithTheLibraryDirectly) {
  const auto plain = RandomBytes(kPiece + 10);
  SealedKeyRing ring;
  const auto file = Seal(plain, ring);
  crypto_secretstream_xchacha20poly1305_state state;
  ASSERT_NO_FATAL_FAILURE(testing::PullSealedHeader(file, 1, state));
  std::vector<std::uint8_t> opened(kPiece);
  std::vector<std::uint8_t> tags;
  std::vector<std::uint8_t> all;
  for (std::size_t at = kSealedHeaderSize; at < file.size(); at += kSealed) {
    const std::size_t count = std::min(kSealed, file.size() - at);
    unsigned long long size = 0;
    unsigned char tag = 0;
    ASSERT_EQ(
        crypto_secretstream_xchacha20poly1305_pull(&state, opened.data(), &size, &tag, &file[at], count, nullptr, 0),
        0);
    all.insert(all.end(), opened.begin(), opened.begin() + static_cast<std::ptrdiff_t>(size));
    tags.push_back(tag);
  }
  EXPECT_EQ(all, plain);
  EXPECT_EQ(tags, (std::vector<std::uint8_t>{crypto_secretstream_xchacha20poly1305_TAG_MESSAGE,
                                             crypto_secretstream_xchacha20poly1305_TAG_FINAL}));
}

struct Damage {
  const char* name;
  void (*apply)(std::vector<std::uint8_t>&);
  ResultCode expected;
};

const Damage kDamages[] = {
    {"bit in a piece", [](auto& f) { f[kSealedHeaderSize + 100] ^= 1; }, platform::ErrTampered},
    {"bit in the last tag", [](auto& f) { f.back() ^= 0x80; }, platform::ErrTampered},
    {"bit in the key check", [](auto& f) { f[70] ^= 1; }, platform::ErrBadPassword},
    {"bit in the salt", [](auto& f) { f[30] ^= 1; }, platform::ErrBadPassword},
    {"cut inside the last piece", [](auto& f) { f.resize(f.size() - 5); }, platform::ErrTampered},
    {"missing FINAL piece", [](auto& f) { f.resize(kSealedHeaderSize + kSealed); }, platform::ErrTampered},
    {"bytes after FINAL", [](auto& f) { f.push_back(0); }, platform::ErrTampered},
    {"cut inside the header", [](auto& f) { f.resize(60); }, platform::ErrBadFile},
    {"pieces swapped",
     [](auto& f) {
       std::swap_ranges(f.begin() + kSealedHeaderSize, f.begin() + kSealedHeaderSize + kSealed,
                        f.begin() + kSealedHeaderSize + kSealed);
     },
     platform::ErrTampered},
};

TEST(SealedFile, EveryDamageGivesItsCodeAndLeavesNoOutput) {
  SealedKeyRing ring;
  const auto good = Seal(RandomBytes(3 * kPiece), ring);
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.name);
    auto file = good;
    damage.apply(file);
    EXPECT_EQ(Open(file), damage.expected);
    EXPECT_FALSE(fs::exists(TestDir() / "out"));
  }
  EXPECT_EQ(Open(good, "wrong"), platform::ErrBadPassword);
  EXPECT_FALSE(fs::exists(TestDir() / "out"));
}

// A header may ask for anything; what lies outside the accepted range, or
// another version, is refused before any key is derived.
TEST(SealedFile, HostileHeadersAreRefusedWithoutADerivation) {
  SealedKeyRing ring;
  const auto good = Seal(RandomBytes(10), ring);
  const struct {
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
  } edits[] = {
      {19, {0x00, 0x00, 0x20, 0x00}},  // 2 GiB of memory
      {19, {0x00, 0x10, 0x00, 0x00}},  // 4 MiB
      {15, {21, 0, 0, 0}},             // 21 passes
      {15, {0, 0, 0, 0}},              // no pass
      {13, {3}},                       // an unknown version
      {14, {2}},                       // another key derivation
  };
  for (const auto& edit : edits) {
    auto file = good;
    std::copy(edit.bytes.begin(), edit.bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(edit.offset));
    WriteFileBytes(TestDir() / "in.vlt", file);
    RecordingProgress progress;
    SealedKeyRing fresh;
    EXPECT_EQ(XChaChaDecryptFile(TestDir() / "in.vlt", TestDir() / "out", fresh, "pass", &progress),
              platform::ErrBadFile);
    EXPECT_EQ(fresh.derivations(), 0);
  }
}

// Compressed on several cores and sealed as it is written: version 2, one
// zstd frame inside that expands to the document.
TEST(SealedFile, OnePassSealsTheCompressedStream) {
  std::optional<voltare::testing::ScopedEnv> threads(std::in_place, "VOLTARE_THREADS", "2");
  const auto text = testing::TextBytes(5 * kDeflateChunkSize / 2);
  WriteFileBytes(TestDir() / "doc", text);
  RecordingProgress progress;
  ASSERT_EQ(CompressFile(TestDir() / "doc", TestDir() / "doc.z", &progress), platform::Success);
  SealedKeyRing ring;
  bool compressed = false;
  ASSERT_EQ(XChaChaCompressEncryptFile(TestDir() / "doc", TestDir() / "doc.vlt", ring.ForEncryption("pass"), &progress,
                                       [&] { compressed = true; }),
            platform::Success);
  threads.reset();
  EXPECT_TRUE(compressed);
  const auto sealed = ReadFileBytes(TestDir() / "doc.vlt");
  EXPECT_EQ(sealed[13], kSealedZstdVersion);
  ASSERT_EQ(Open(sealed), platform::Success);
  const auto frame = ReadFileBytes(TestDir() / "out");
  std::vector<std::uint8_t> expanded(text.size());
  EXPECT_EQ(ZSTD_decompress(expanded.data(), expanded.size(), frame.data(), frame.size()), text.size());
  EXPECT_EQ(expanded, text);
}

TEST(SealedKeyRing, OneDerivationPerBatchEachWay) {
  SealedKeyRing encrypting;
  std::vector<std::vector<std::uint8_t>> files;
  for (int i = 0; i < 3; ++i) files.push_back(Seal(RandomBytes(100, i), encrypting));
  EXPECT_EQ(encrypting.derivations(), 1);
  // Each file still has its own stream header.
  EXPECT_NE(std::vector(files[0].begin() + 39, files[0].begin() + 63),
            std::vector(files[1].begin() + 39, files[1].begin() + 63));

  SealedKeyRing decrypting;
  RecordingProgress progress;
  for (const auto& file : files) {
    WriteFileBytes(TestDir() / "in.vlt", file);
    ASSERT_EQ(XChaChaDecryptFile(TestDir() / "in.vlt", TestDir() / "out", decrypting, "pass", &progress),
              platform::Success);
    fs::remove(TestDir() / "out");
  }
  EXPECT_EQ(decrypting.derivations(), 1);
  WriteFileBytes(TestDir() / "in.vlt", files[0]);
  EXPECT_EQ(XChaChaDecryptFile(TestDir() / "in.vlt", TestDir() / "out", decrypting, "other", &progress),
            platform::ErrBadPassword);
  EXPECT_EQ(decrypting.derivations(), 2);
}

TEST(SealedKeyRing, NewFilesGetTheModerateLimitsOutsideTheTestSuite) {
  const std::string saved = std::getenv("VOLTARE_ARGON2_LIMITS");
  ::unsetenv("VOLTARE_ARGON2_LIMITS");
  const Argon2Limits limits = DefaultArgon2Limits();
  EXPECT_EQ(limits, (Argon2Limits{3, 256 * 1024}));
  const SealedKey key = DeriveSealedKey("pass", SealedSalt{}, limits);
  EXPECT_NE(key.bytes->stream, (std::array<std::uint8_t, 32>{}));
  ::setenv("VOLTARE_ARGON2_LIMITS", saved.c_str(), 1);
}

}  // namespace
}  // namespace voltare::transforms
