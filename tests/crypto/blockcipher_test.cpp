// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/blowfish.h"
#include "crypto/cast128.h"
#include "crypto/cast128_tables.h"
#include "crypto/sha1.h"
#include "support/hex.h"
#include "support/test_env.h"

namespace voltare::crypto {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::FromHex;
using testing::ToHex;

struct KnownAnswer {
  Bytes key, plain, cipher;
};

std::vector<KnownAnswer> LoadKnownAnswers(std::string_view file) {
  std::vector<KnownAnswer> answers;
  for (const std::string& line : testing::ReadVectorLines(file)) {
    std::istringstream fields(line);
    std::string key, plain, cipher;
    fields >> key >> plain >> cipher;
    answers.push_back({FromHex(key), FromHex(plain), FromHex(cipher)});
  }
  return answers;
}

TBlockCipher::Block Ecb(TBlockCipher& cipher, const TBlockCipher::Block& in) {
  TBlockCipher::Block out{};
  cipher.EncryptECB(in, out);
  return out;
}

TBlockCipher::Block ToBlock(const Bytes& bytes) {
  TBlockCipher::Block block{};
  std::copy_n(bytes.begin(), block.size(), block.begin());
  return block;
}

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + 17);
  return bytes;
}

void KeyWith(TBlockCipher& cipher, const Bytes& key) {
  cipher.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
}

template <typename Cipher>
void ExpectKnownAnswers(std::string_view file) {
  for (const KnownAnswer& v : LoadKnownAnswers(file)) {
    SCOPED_TRACE(ToHex(v.key));
    Cipher cipher;
    KeyWith(cipher, v.key);
    TBlockCipher::Block out{};
    cipher.EncryptECB(ToBlock(v.plain), out);
    EXPECT_EQ(ToHex(out), ToHex(v.cipher));
    cipher.DecryptECB(ToBlock(v.cipher), out);
    EXPECT_EQ(ToHex(out), ToHex(v.plain));
  }
}

TEST(Blowfish, PublishedVectorsIncludingOtherKeyLengths) { ExpectKnownAnswers<TBlowfishCipher>("blowfish.txt"); }

TEST(Cast128, PublishedVectorsAndRoundCounts) {
  ExpectKnownAnswers<TCast128Cipher>("cast128.txt");
  TCast128Cipher cipher;
  EXPECT_EQ(cipher.Rounds(), 16);
  const Bytes key = Pattern(16);
  cipher.Init(key.data(), 80, nullptr);
  EXPECT_EQ(cipher.Rounds(), 12);
  cipher.Init(key.data(), 88, nullptr);
  EXPECT_EQ(cipher.Rounds(), 16);
}

// The published result is kept in comment lines of the vector file.
std::string MaintenanceValue(const std::string& name) {
  std::ifstream in(testing::TestDataPath("cast128.txt"));
  const std::string marker = "# " + name + " ";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(marker, 0) == 0) return line.substr(marker.size());
  }
  ADD_FAILURE() << "no " << name << " in cast128.txt";
  return {};
}

TEST(Cast128, FullMaintenanceTest) {
  Bytes a = FromHex("0123456712345678234567893456789a");
  Bytes b = a;
  const TBlockCipher::Block iv{};
  TCast128Cipher cipher;
  auto encrypt_half = [&](std::uint8_t* half) {
    const auto block = std::span<std::uint8_t, 8>(half, 8);
    cipher.EncryptECB(block, block);
  };
  for (int i = 0; i < 1000000; ++i) {
    cipher.Init(b.data(), 128, iv.data());
    encrypt_half(a.data());
    encrypt_half(a.data() + 8);
    cipher.Init(a.data(), 128, iv.data());
    encrypt_half(b.data());
    encrypt_half(b.data() + 8);
  }
  EXPECT_EQ(ToHex(a), MaintenanceValue("maintenance-a"));
  EXPECT_EQ(ToHex(b), MaintenanceValue("maintenance-b"));
}

// A bent function of 8 bits has every Walsh coefficient equal to +-16; each
// bit column of the CAST-128 boxes is one. A mistyped entry breaks this.
TEST(Cast128, SubstitutionBoxColumnsAreBent) {
  for (int box = 0; box < 8; ++box) {
    for (int bit = 0; bit < 32; ++bit) {
      int spectrum[256];
      for (int x = 0; x < 256; ++x) spectrum[x] = ((cast128_tables::kS[box][x] >> bit) & 1) ? -1 : 1;
      for (int h = 1; h < 256; h *= 2) {
        for (int i = 0; i < 256; i += 2 * h) {
          for (int j = i; j < i + h; ++j) {
            const int u = spectrum[j], v = spectrum[j + h];
            spectrum[j] = u + v;
            spectrum[j + h] = u - v;
          }
        }
      }
      for (int value : spectrum) ASSERT_EQ(std::abs(value), 16) << "S" << box + 1 << " bit " << bit;
    }
  }
}

// Behaviour shared by both ciphers.
template <typename Cipher>
class BlockCipherTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyWith(cipher, key); }

  Bytes key = FromHex("00112233445566778899aabbccddeeff");
  Cipher cipher;
};

using Ciphers = ::testing::Types<TBlowfishCipher, TCast128Cipher>;
TYPED_TEST_SUITE(BlockCipherTest, Ciphers);

TYPED_TEST(BlockCipherTest, KeySizeChecks) {
  TypeParam fresh;
  const Bytes long_key = Pattern(64);
  const bool is_blowfish = fresh.Algorithm() == "Blowfish";
  EXPECT_EQ(fresh.BlockSize(), 64);
  EXPECT_EQ(fresh.MaxKeySize(), is_blowfish ? 448 : 128);
  if (is_blowfish) {
    EXPECT_NO_THROW(fresh.Init(long_key.data(), 448, nullptr));
  }
  std::vector<int> bad = {0, -8, 452, 100};
  if (!is_blowfish) bad.push_back(448);
  for (int size : bad) {
    // A failed key setup also drops a previous key.
    fresh.Init(long_key.data(), 64, nullptr);
    try {
      fresh.Init(long_key.data(), size, nullptr);
      ADD_FAILURE() << "accepted " << size;
    } catch (const CipherError& e) {
      EXPECT_EQ(std::string(e.what()), fresh.Algorithm() + ": Invalid key size - " + std::to_string(size));
    }
    EXPECT_FALSE(fresh.Initialized());
  }
}

TYPED_TEST(BlockCipherTest, EveryModeNeedsAKey) {
  TypeParam fresh;
  const std::string expected = fresh.Algorithm() + ": Not initialized";
  TBlockCipher::Block block{};
  Bytes data(16);
  auto expect_refused = [&](auto call) {
    try {
      call();
      ADD_FAILURE() << "ran without a key";
    } catch (const CipherError& e) {
      EXPECT_EQ(e.what(), expected);
    }
  };
  for (int round = 0; round < 2; ++round) {
    expect_refused([&] { fresh.EncryptECB(block, block); });
    expect_refused([&] { fresh.DecryptECB(block, block); });
    expect_refused([&] { fresh.EncryptCBC(data, data); });
    expect_refused([&] { fresh.DecryptCBC(data, data); });
    expect_refused([&] { fresh.EncryptCFB(data, data); });
    expect_refused([&] { fresh.DecryptCFB(data, data); });
    EXPECT_NO_THROW(fresh.Reset());
    // Keyed and burned again: back to the same state.
    fresh.InitStr("pw");
    fresh.Burn();
    EXPECT_FALSE(fresh.Initialized());
  }
}

TYPED_TEST(BlockCipherTest, BurnOverwritesChainingState) {
  this->cipher.Burn();
  TBlockCipher::Block all_ff;
  all_ff.fill(0xFF);
  EXPECT_EQ(this->cipher.IV(), all_ff);
  EXPECT_EQ(this->cipher.CV(), all_ff);
}

TYPED_TEST(BlockCipherTest, DefaultIvIsEncryptionOfAllOnesAndResetRestoresIt) {
  TBlockCipher::Block all_ff;
  all_ff.fill(0xFF);
  const TBlockCipher::Block iv = Ecb(this->cipher, all_ff);
  EXPECT_EQ(this->cipher.IV(), iv);
  EXPECT_EQ(this->cipher.CV(), iv);

  Bytes data = Pattern(100);
  this->cipher.EncryptCBC(data, data);
  this->cipher.EncryptCFB(data, data);
  EXPECT_NE(this->cipher.CV(), iv);
  this->cipher.Reset();
  EXPECT_EQ(this->cipher.CV(), iv);

  const TBlockCipher::Block given{1, 2, 3, 4, 5, 6, 7, 8};
  this->cipher.Init(this->key.data(), 128, given.data());
  EXPECT_EQ(this->cipher.IV(), given);
  EXPECT_EQ(this->cipher.CV(), given);
}

// CBC computed block by block through ECB, as the reference for the bulk code.
Bytes ReferenceCbc(TBlockCipher& cipher, const Bytes& plain) {
  Bytes out(plain.size());
  TBlockCipher::Block cv = cipher.IV();
  std::size_t i = 0;
  for (; i + 8 <= plain.size(); i += 8) {
    TBlockCipher::Block t;
    for (int j = 0; j < 8; ++j) t[j] = plain[i + j] ^ cv[j];
    cv = Ecb(cipher, t);
    std::copy(cv.begin(), cv.end(), out.begin() + static_cast<std::ptrdiff_t>(i));
  }
  const TBlockCipher::Block pad = Ecb(cipher, cv);
  for (std::size_t j = 0; i + j < plain.size(); ++j) out[i + j] = plain[i + j] ^ pad[j];
  return out;
}

TYPED_TEST(BlockCipherTest, CbcMatchesBlockwiseDefinitionAndRoundTrips) {
  for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 31u, 32u, 33u, 40u, 71u, 8193u}) {
    SCOPED_TRACE(size);
    const Bytes plain = Pattern(size);
    Bytes encrypted(size);
    this->cipher.Reset();
    this->cipher.EncryptCBC(plain, encrypted);
    EXPECT_EQ(encrypted, ReferenceCbc(this->cipher, plain));

    Bytes data = encrypted;  // decrypted in place
    this->cipher.Reset();
    this->cipher.DecryptCBC(data, data);
    EXPECT_EQ(data, plain);
  }
}

TYPED_TEST(BlockCipherTest, CbcInPiecesEqualsOneCall) {
  const Bytes plain = Pattern(8193);
  Bytes whole(plain.size());
  this->cipher.EncryptCBC(plain, whole);

  this->cipher.Reset();
  Bytes pieces(plain.size());
  const std::span<const std::uint8_t> in(plain);
  const std::span<std::uint8_t> out(pieces);
  this->cipher.EncryptCBC(in.first(8192), out.first(8192));
  this->cipher.EncryptCBC(in.subspan(8192), out.subspan(8192));
  EXPECT_EQ(pieces, whole);

  // Decryption in uneven multiples of 8 (not multiples of the lane count).
  this->cipher.Reset();
  const std::span<std::uint8_t> data(pieces);
  this->cipher.DecryptCBC(data.first(24), data.first(24));
  this->cipher.DecryptCBC(data.subspan(24, 8168), data.subspan(24, 8168));
  this->cipher.DecryptCBC(data.subspan(8192), data.subspan(8192));
  EXPECT_EQ(pieces, plain);
}

TYPED_TEST(BlockCipherTest, ShortCbcTailLeavesChainingValueAndUndoesItself) {
  const Bytes plain = {0xde, 0xad, 0xbe, 0xef, 0x42};
  const TBlockCipher::Block cv = this->cipher.CV();
  const TBlockCipher::Block pad = Ecb(this->cipher, cv);
  Bytes encrypted(plain.size());
  this->cipher.EncryptCBC(plain, encrypted);
  EXPECT_EQ(this->cipher.CV(), cv);
  for (std::size_t i = 0; i < plain.size(); ++i) EXPECT_EQ(encrypted[i], plain[i] ^ pad[i]);

  Bytes decrypted(plain.size());
  this->cipher.DecryptCBC(encrypted, decrypted);
  EXPECT_EQ(decrypted, plain);
  EXPECT_EQ(this->cipher.CV(), cv);
}

Bytes ReferenceCfb(TBlockCipher& cipher, const Bytes& plain) {
  Bytes out(plain.size());
  TBlockCipher::Block cv = cipher.IV();
  for (std::size_t i = 0; i < plain.size(); ++i) {
    out[i] = plain[i] ^ Ecb(cipher, cv)[0];
    std::rotate(cv.begin(), cv.begin() + 1, cv.end());
    cv[7] = out[i];
  }
  return out;
}

TYPED_TEST(BlockCipherTest, CfbMatchesDefinitionAndRoundTripsInPlace) {
  const Bytes plain = Pattern(1001);
  Bytes data = plain;
  this->cipher.EncryptCFB(data, data);
  EXPECT_EQ(data, ReferenceCfb(this->cipher, plain));
  const TBlockCipher::Block cv_after_encrypt = this->cipher.CV();

  this->cipher.Reset();
  this->cipher.DecryptCFB(data, data);
  EXPECT_EQ(data, plain);
  EXPECT_EQ(this->cipher.CV(), cv_after_encrypt);
}

TYPED_TEST(BlockCipherTest, CfbContinuesAcrossCalls) {
  const Bytes plain = Pattern(300);
  Bytes whole(plain.size());
  this->cipher.EncryptCFB(plain, whole);

  // Decrypt in odd pieces: each call must pick up the register where the
  // previous one stopped.
  this->cipher.Reset();
  Bytes decrypted(plain.size());
  std::size_t at = 0;
  for (std::size_t piece : {1u, 3u, 0u, 5u, 8u, 13u, 270u}) {
    this->cipher.DecryptCFB(std::span(whole).subspan(at, piece), std::span(decrypted).subspan(at, piece));
    at += piece;
  }
  EXPECT_EQ(decrypted, plain);
}

TYPED_TEST(BlockCipherTest, InitStrKeysWithSha1OfThePassword) {
  for (std::string_view password : {"", "correct horse"}) {
    TSha1Hash hash;
    hash.Init();
    hash.UpdateStr(password);
    TSha1Hash::Digest digest{};
    hash.Final(digest);

    TypeParam from_text;
    from_text.InitStr(password);
    TypeParam from_digest;
    from_digest.Init(digest.data(), std::min(from_digest.MaxKeySize(), 160), nullptr);
    EXPECT_EQ(from_text.IV(), from_digest.IV());
    const TBlockCipher::Block probe{9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(Ecb(from_text, probe), Ecb(from_digest, probe));
  }
}

TYPED_TEST(BlockCipherTest, OutputShorterThanInputIsRejected) {
  Bytes in(16), out(15);
  EXPECT_THROW(this->cipher.EncryptCBC(in, out), std::invalid_argument);
  EXPECT_THROW(this->cipher.DecryptCFB(in, out), std::invalid_argument);
}

TEST(CipherUtilities, RotationsSwapAndXor) {
  EXPECT_EQ(LRot32(0x80000001u, 1), 0x00000003u);
  EXPECT_EQ(RRot32(0x00000003u, 1), 0x80000001u);
  EXPECT_EQ(LRot32(0x12345678u, 32), 0x12345678u);
  EXPECT_EQ(LRot16(0x8001, 17), 0x0003);
  EXPECT_EQ(RRot16(0x0003, 1), 0x8001);
  EXPECT_EQ(SwapDWord(0x11223344u), 0x44332211u);
  const std::uint8_t a[3] = {1, 2, 3}, b[3] = {3, 2, 1};
  std::uint8_t out[3] = {9, 9, 9};
  XorBlock(a, b, out, 2);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 9);
  XorBlock(a, b, out, -1);
  EXPECT_EQ(out[0], 2);
}

}  // namespace
}  // namespace voltare::crypto
