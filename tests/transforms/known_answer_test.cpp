// SPDX-License-Identifier: GPL-3.0-or-later
// Small encrypted files pinned byte for byte. The expected bytes are built
// here from the layout rules with the bare block functions (ECB, chaining done
// by hand), and also written out as hex, so that a change to the format, to a
// cipher or to the chaining cannot slip through unnoticed.

#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <vector>

#include "crypto/blowfish.h"
#include "crypto/cast128.h"
#include "crypto/des.h"
#include "crypto/sha1.h"
#include "support/hex.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"
#include "transforms/recording_progress.h"
#include "transforms/text_crypt.h"

namespace voltare::transforms {
namespace {

using Bytes = std::vector<std::uint8_t>;
using crypto::TBlockCipher;
using testing::RecordingProgress;
using voltare::testing::FromHex;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::ToHex;
using voltare::testing::WriteFileBytes;

const std::string kPassword = "Open sesame";
const std::string kPlaintext = "Known answer!";  // one whole block and a 5-byte tail

Bytes BytesOf(std::string_view text) { return {text.begin(), text.end()}; }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TBlockCipher::Block Ecb(TBlockCipher& cipher, const TBlockCipher::Block& in) {
  TBlockCipher::Block out{};
  cipher.EncryptECB(in, out);
  return out;
}

// CBC from the IV; a final piece of r < 8 bytes is XORed with E(CV).
Bytes CbcByHand(TBlockCipher& cipher, const Bytes& plain) {
  TBlockCipher::Block cv = cipher.IV();
  Bytes out;
  std::size_t at = 0;
  for (; at + 8 <= plain.size(); at += 8) {
    TBlockCipher::Block block{};
    for (int i = 0; i < 8; ++i) block[i] = plain[at + i] ^ cv[i];
    cv = Ecb(cipher, block);
    out.insert(out.end(), cv.begin(), cv.end());
  }
  const auto stream = Ecb(cipher, cv);
  for (std::size_t i = 0; at + i < plain.size(); ++i) out.push_back(plain[at + i] ^ stream[i]);
  return out;
}

// 8-bit CFB from the IV: each byte meets the first byte of E(CV), then the
// ciphertext byte is shifted into CV.
Bytes Cfb8ByHand(TBlockCipher& cipher, const Bytes& plain) {
  TBlockCipher::Block cv = cipher.IV();
  Bytes out;
  for (const std::uint8_t p : plain) {
    const std::uint8_t c = p ^ Ecb(cipher, cv)[0];
    std::copy(cv.begin() + 1, cv.end(), cv.begin());
    cv[7] = c;
    out.push_back(c);
  }
  return out;
}

Bytes KeyBlockByHand(const std::string& password) {
  crypto::TSha1Hash sha1;
  Bytes block(20);
  sha1.Init();
  sha1.UpdateStr(password);
  sha1.Final(block);
  block.resize(32, 0xFF);
  return block;
}

const Bytes kMagic = BytesOf("KOVA Voltare");

class KnownAnswerTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFileBytes(plain, BytesOf(kPlaintext)); }

  std::filesystem::path plain = TestDir() / "plain";
  std::filesystem::path vlt = TestDir() / "plain.vlt";
  RecordingProgress progress;
};

TEST_F(KnownAnswerTest, SharedKeyBlockIsTheDigestAndTwelveFFBytes) {
  // SHA-1("Open sesame") per FIPS 180-1.
  EXPECT_EQ(ToHex(KeyBlockByHand(kPassword)),
            "ec7b7d6906a662c54ae629094f9aa53b790ba109"
            "ffffffffffffffffffffffff");
}

TEST_F(KnownAnswerTest, BlowfishFile) {
  ASSERT_EQ(BlowfishEncryptFile(plain, vlt, kPassword, &progress, false), platform::Success);
  const Bytes key_block = KeyBlockByHand(kPassword);
  crypto::TBlowfishCipher cipher;
  cipher.Init(key_block.data(), 256, nullptr);
  const Bytes expected = Concat({kMagic, {0x00}, CbcByHand(cipher, key_block), CbcByHand(cipher, BytesOf(kPlaintext))});
  EXPECT_EQ(ReadFileBytes(vlt), expected);
  EXPECT_EQ(ToHex(ReadFileBytes(vlt)),
            "4b4f564120566f6c7461726500"
            "66abfd9360f45360cbfbe94fd48a16bd5672efa17b6d2c44c12658fee638cc4e"
            "6f4ad521ed137111178895c68e");
}

TEST_F(KnownAnswerTest, Cast128File) {
  ASSERT_EQ(Cast5EncryptFile(plain, vlt, kPassword, &progress), platform::Success);
  const Bytes key_block = KeyBlockByHand(kPassword);
  crypto::TCast128Cipher cipher;
  cipher.Init(key_block.data(), 128, nullptr);
  EXPECT_EQ(cipher.Rounds(), 16);
  const Bytes expected = Concat({kMagic, {0x01}, CbcByHand(cipher, key_block), CbcByHand(cipher, BytesOf(kPlaintext))});
  EXPECT_EQ(ReadFileBytes(vlt), expected);
  EXPECT_EQ(ToHex(ReadFileBytes(vlt)),
            "4b4f564120566f6c7461726501"
            "ddace93ecab4ed5917e0a00acdfd02118116059c234f4173b655d3dd1b87a4fb"
            "be35e7b85589ed6eef06d88b3b");
}

TEST_F(KnownAnswerTest, DesFile) {
  const std::uint64_t key = DesKeyFromPassword(kPassword);
  EXPECT_EQ(key, 0x736573206e65704fu);  // "Open ses" read little-endian
  ASSERT_EQ(
      DesEncryptFile(plain, vlt, static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), &progress),
      platform::Success);
  // 13 bytes gain three pad bytes of value 3; each block is stored as a
  // little-endian integer.
  Bytes padded = BytesOf(kPlaintext);
  padded.insert(padded.end(), {3, 3, 3});
  const crypto::TDESCipher cipher(key);
  for (std::size_t at = 0; at < padded.size(); at += 8) {
    cipher.EncryptBlock(std::span<std::uint8_t, 8>(padded.data() + at, 8));
  }
  EXPECT_EQ(ReadFileBytes(vlt), Concat({kMagic, {0x02}, padded}));
  EXPECT_EQ(ToHex(ReadFileBytes(vlt)),
            "4b4f564120566f6c7461726502"
            "058b6ea9e93703ab852e9d9bdf515b15");
}

TEST_F(KnownAnswerTest, ListFile) {
  ASSERT_EQ(BlowfishEncryptFile(plain, vlt, kPassword, &progress, true), platform::Success);
  crypto::TBlowfishCipher cipher;
  Bytes digest = KeyBlockByHand(kPassword);
  digest.resize(20);
  cipher.Init(digest.data(), 160, nullptr);
  EXPECT_EQ(ReadFileBytes(vlt), Concat({kMagic, CbcByHand(cipher, BytesOf(kPlaintext))}));
  EXPECT_EQ(ToHex(ReadFileBytes(vlt)),
            "4b4f564120566f6c74617265"
            "2d3cffa43afc06c1ad47e3313d");
}

TEST(TextKnownAnswerTest, BlowfishCfb8InBase64) {
  const Bytes key_block = KeyBlockByHand(kPassword);
  crypto::TBlowfishCipher cipher;
  cipher.Init(key_block.data(), 160, nullptr);
  const Bytes expected = Cfb8ByHand(cipher, BytesOf(kPlaintext));
  const std::string text = BlowfishEncryptString(kPlaintext, kPassword);
  EXPECT_EQ(text, "+8GU/TU7QSvUZykQ2w==");
  EXPECT_EQ(ToHex(expected), "fbc194fd353b412bd4672910db");
  EXPECT_EQ(BlowfishDecryptString(text, kPassword), kPlaintext);
}

}  // namespace
}  // namespace voltare::transforms
