// SPDX-License-Identifier: GPL-3.0-or-later
// Sealed texts read with the libraries alone, and a hostile header refused
// before it costs a derivation.

#include <gtest/gtest.h>
#include <sodium.h>
#include <zstd.h>

#include <cstring>
#include <string>
#include <vector>

#include "transforms/recording_progress.h"
#include "transforms/sealed_header_peer.h"
#include "transforms/test_data.h"
#include "transforms/text_crypt.h"

namespace voltare::transforms {
namespace {

std::vector<std::uint8_t> FromBase64(const std::string& line) {
  std::vector<std::uint8_t> bytes(line.size() / 4 * 3);
  std::size_t size = 0;
  EXPECT_EQ(sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &size, nullptr,
                              sodium_base64_VARIANT_ORIGINAL),
            0);
  bytes.resize(size);
  return bytes;
}

std::string ToBase64(const std::vector<std::uint8_t>& bytes) {
  std::string line(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(line.data(), line.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  line.pop_back();  // the terminating zero
  return line;
}

// Random bytes do not compress: the zstd frame fills a piece and goes on.
TEST(SealedTextTest, TheLineIsASealedFileThatTheLibrariesOpenDirectly) {
  const auto random = testing::RandomBytes(kSealedPieceSize + 1000);
  const std::string text(random.begin(), random.end());
  const std::string line = SealText(text, SealedKeyRing().ForEncryption("pass"));
  ASSERT_EQ(line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
            std::string::npos);
  const auto file = FromBase64(line);
  ASSERT_EQ(ToBase64(file), line) << "standard alphabet with padding, one line";
  crypto_secretstream_xchacha20poly1305_state state;
  ASSERT_NO_FATAL_FAILURE(testing::PullSealedHeader(file, 2, state));  // 2: a zstd frame, as new files hold
  constexpr std::size_t kSealed = kSealedPieceSize + kSealedPieceOverhead;
  std::vector<std::uint8_t> piece(kSealedPieceSize), frame, tags;
  for (std::size_t at = kSealedHeaderSize; at < file.size(); at += kSealed) {
    const std::size_t count = std::min(kSealed, file.size() - at);
    unsigned long long size = 0;
    unsigned char tag = 0;
    ASSERT_EQ(
        crypto_secretstream_xchacha20poly1305_pull(&state, piece.data(), &size, &tag, &file[at], count, nullptr, 0), 0);
    frame.insert(frame.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(size));
    tags.push_back(tag);
  }
  EXPECT_EQ(tags, (std::vector<std::uint8_t>{crypto_secretstream_xchacha20poly1305_TAG_MESSAGE,
                                             crypto_secretstream_xchacha20poly1305_TAG_FINAL}));
  std::string expanded(text.size() + 1, '\0');
  const std::size_t size = ZSTD_decompress(expanded.data(), expanded.size(), frame.data(), frame.size());
  ASSERT_FALSE(ZSTD_isError(size));
  expanded.resize(size);
  EXPECT_EQ(expanded, text);

  // The same text under the same password: another salt, another stream.
  const auto again = FromBase64(SealText(text, SealedKeyRing().ForEncryption("pass")));
  EXPECT_NE(std::vector(again.begin() + 23, again.begin() + 63), std::vector(file.begin() + 23, file.begin() + 63));
}

TEST(SealedTextTest, HostileLimitsAreRefusedBeforeAnyDerivation) {
  auto file = FromBase64(SealText("meet at noon", SealedKeyRing().ForEncryption("pass")));
  std::memset(&file[15], 0xFF, 8);  // passes and memory far beyond what is allowed
  const std::string line = ToBase64(file);
  ASSERT_TRUE(IsSealedText(line));
  int derivations = 0;
  SealedKeyRing ring;
  common::SecretString plain;
  testing::RecordingProgress progress;
  EXPECT_EQ(OpenSealedText(
                line,
                [&](const SealedSalt& salt, const Argon2Limits& limits) -> const SealedKey& {
                  ++derivations;
                  return ring.ForFile("pass", salt, limits);
                },
                100, plain, progress),
            platform::ErrBadFile);
  EXPECT_EQ(derivations, 0);
  EXPECT_TRUE(plain.empty());
}

}  // namespace
}  // namespace voltare::transforms
