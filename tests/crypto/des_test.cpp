// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/des.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/hex.h"
#include "support/test_env.h"

namespace voltare::crypto {
namespace {

using testing::FromHex;
using testing::ToHex;

// Standard DES byte order read as the integer of the cipher's convention.
std::uint64_t BigEndianValue(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t value = 0;
  for (auto b : bytes) value = (value << 8) | b;
  return value;
}

std::vector<std::uint8_t> Reversed(std::vector<std::uint8_t> bytes) {
  std::reverse(bytes.begin(), bytes.end());
  return bytes;
}

std::string PatternText(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 131 + 7) % 251);
  return text;
}

struct Vector {
  std::vector<std::uint8_t> key, plain, cipher;
};

std::vector<Vector> PublishedVectors() {
  std::vector<Vector> vectors;
  for (const auto& line : testing::ReadVectorLines("des.txt")) {
    std::istringstream fields(line);
    std::string key, plain, cipher;
    fields >> key >> plain >> cipher;
    vectors.push_back({FromHex(key), FromHex(plain), FromHex(cipher)});
  }
  return vectors;
}

constexpr std::uint64_t kKey = 0x133457799BBCDFF1;

// Records what a stream operation does to its progress indicator.
class RecordingProgress final : public common::Progress {
 public:
  void setMax(std::int64_t max) override { events.push_back("max " + std::to_string(max)); }
  void setPosition(std::int64_t position) override {
    position_ = position;
    events.push_back("position " + std::to_string(position));
  }
  std::int64_t position() const override { return position_; }
  void repaint() override { events.push_back("repaint"); }

  std::vector<std::string> events;

 private:
  std::int64_t position_ = -1;
};

std::vector<std::string> ExpectedEvents(std::uint64_t total) {
  std::vector<std::string> events = {"position 0", "max " + std::to_string(total)};
  for (std::uint64_t done = 4096; done <= total; done += 4096) {
    events.push_back("position " + std::to_string(done));
    events.push_back("repaint");
  }
  return events;
}

// Runs a stream operation from `input` (after skipping `prefix` bytes, so the
// source does not start at position 0) and returns what it wrote.
template <typename Operation>
std::string RunStream(Operation operation, const std::string& prefix, const std::string& input,
                      common::Progress* progress) {
  std::istringstream in(prefix + input);
  in.seekg(static_cast<std::streamoff>(prefix.size()));
  std::ostringstream out;
  IstreamSource source(in);
  OstreamSink sink(out);
  operation(source, sink, progress);
  EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(prefix.size() + input.size()));
  return out.str();
}

// ---------------------------------------------------------------------------

TEST(DesBlocks, PublishedVectorsAsIntegersAndAsReversedBytes) {
  const auto vectors = PublishedVectors();
  ASSERT_GT(vectors.size(), 100u);
  for (const auto& v : vectors) {
    SCOPED_TRACE(ToHex(v.key) + " " + ToHex(v.plain));
    const TDESCipher cipher(BigEndianValue(v.key));
    EXPECT_EQ(cipher.EncryptedBlock(BigEndianValue(v.plain)), BigEndianValue(v.cipher));
    EXPECT_EQ(cipher.DecryptedBlock(BigEndianValue(v.cipher)), BigEndianValue(v.plain));

    auto stored = Reversed(v.plain);
    cipher.EncryptBlock(std::span<std::uint8_t, 8>(stored));
    EXPECT_EQ(stored, Reversed(v.cipher));
    cipher.DecryptBlock(std::span<std::uint8_t, 8>(stored));
    EXPECT_EQ(stored, Reversed(v.plain));
  }
}

TEST(DesBlocks, ParityBitsDoNotMatter) {
  const TDESCipher cipher(kKey);
  const TDESCipher flipped(kKey ^ 0x0101010101010101);
  EXPECT_EQ(cipher.EncryptedBlock(0x0123456789ABCDEF), flipped.EncryptedBlock(0x0123456789ABCDEF));
  EXPECT_NE(cipher.EncryptedBlock(0x0123456789ABCDEF),
            TDESCipher(kKey ^ 0x0202020202020202).EncryptedBlock(0x0123456789ABCDEF));
}

TEST(DesBlocks, BulkBlocksMatchSingleBlocksAndLeaveAPartialBlockAlone) {
  const TDESCipher cipher(kKey);
  std::string text = PatternText(8 * 5 + 3);
  const std::string original = text;
  auto bytes = std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
  cipher.EncryptBlocks(bytes);
  for (std::size_t i = 0; i < 5; ++i) {
    std::array<std::uint8_t, 8> block{};
    std::copy_n(original.data() + 8 * i, 8, block.begin());
    cipher.EncryptBlock(block);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin() + 8 * static_cast<long>(i)));
  }
  EXPECT_EQ(text.substr(40), original.substr(40));
  cipher.DecryptBlocks(bytes);
  EXPECT_EQ(text, original);
}

TEST(DesStrings, CiphertextLengthAlwaysAddsPadding) {
  EXPECT_EQ(TDESCipher::CiphertextLength(0), 8u);
  EXPECT_EQ(TDESCipher::CiphertextLength(7), 8u);
  EXPECT_EQ(TDESCipher::CiphertextLength(8), 16u);
  EXPECT_EQ(TDESCipher::CiphertextLength(13), 16u);
  EXPECT_EQ(TDESCipher::CiphertextLength(4095), 4096u);
}

TEST(DesStrings, PaddingIsTheByteCountRepeated) {
  const TDESCipher cipher(kKey);
  for (std::size_t size = 0; size <= 17; ++size) {
    SCOPED_TRACE(size);
    const std::string plain = PatternText(size);
    std::string encrypted = cipher.EncryptedString(plain);
    ASSERT_EQ(encrypted.size(), TDESCipher::CiphertextLength(size));
    // Undo only the cipher to look at the padded plaintext.
    cipher.DecryptBlocks(std::span(reinterpret_cast<std::uint8_t*>(encrypted.data()), encrypted.size()));
    const std::size_t pad = 8 - size % 8;
    EXPECT_EQ(encrypted, plain + std::string(pad, static_cast<char>(pad)));
    EXPECT_EQ(cipher.DecryptedString(cipher.EncryptedString(plain)), plain);
  }
}

TEST(DesStrings, DecryptRefusesLengthsThatAreNotWholeBlocks) {
  const TDESCipher cipher(kKey);
  for (std::size_t size : {0, 1, 7, 12}) {
    try {
      cipher.DecryptedString(std::string(size, 'x'));
      ADD_FAILURE() << "no error for " << size;
    } catch (const CipherError& e) {
      EXPECT_STREQ(e.what(), "DecryptedString: Ciphertext is not a multiple of 8 bytes.");
    }
  }
}

// A last block that decrypts to pad count `pad` after the 7 bytes "abcdefg".
std::string CiphertextEndingInPad(const TDESCipher& cipher, std::uint8_t pad) {
  std::string block = "abcdefg";
  block += static_cast<char>(pad);
  cipher.EncryptBlocks(std::span(reinterpret_cast<std::uint8_t*>(block.data()), block.size()));
  return cipher.EncryptedString("12345678").substr(0, 8) + block;
}

TEST(DesStrings, ImpossiblePadCountsNeverReadOutsideTheText) {
  const TDESCipher cipher(kKey);
  // Pad counts only a wrong key or damage produce: above 8 the last block is
  // dropped whole, 0 keeps all of it.
  EXPECT_EQ(cipher.DecryptedString(CiphertextEndingInPad(cipher, 0xFF)), "12345678");
  EXPECT_EQ(cipher.DecryptedString(CiphertextEndingInPad(cipher, 9)), "12345678");
  EXPECT_EQ(cipher.DecryptedString(CiphertextEndingInPad(cipher, 0)), std::string("12345678abcdefg") + '\0');
  EXPECT_EQ(cipher.DecryptedString(CiphertextEndingInPad(cipher, 3)), "12345678abcde");
}

// ---------------------------------------------------------------------------

class DesStreamSizes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(DesStreamSizes, RoundTripWithPaddingAndProgress) {
  const TDESCipher cipher(kKey);
  const std::size_t size = GetParam();
  const std::string plain = PatternText(size);
  const auto encrypt = [&](auto& s, auto& d, auto* p) { cipher.EncryptStream(s, d, p); };
  const auto decrypt = [&](auto& s, auto& d, auto* p) { cipher.DecryptStream(s, d, p); };

  RecordingProgress encrypt_progress;
  const std::string encrypted = RunStream(encrypt, "header", plain, &encrypt_progress);
  EXPECT_EQ(encrypted.size(), TDESCipher::CiphertextLength(size));
  EXPECT_EQ(encrypted, cipher.EncryptedString(plain));  // blocks are independent
  EXPECT_EQ(encrypt_progress.events, ExpectedEvents(size));

  RecordingProgress decrypt_progress;
  EXPECT_EQ(RunStream(decrypt, "KOVA Voltare\x02", encrypted, &decrypt_progress), plain);
  EXPECT_EQ(decrypt_progress.events, ExpectedEvents(encrypted.size()));

  EXPECT_EQ(RunStream(decrypt, "", RunStream(encrypt, "", plain, nullptr), nullptr), plain);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DesStreamSizes, ::testing::Values(0, 1, 7, 8, 4088, 4095, 4096, 4097, 8192, 8199));

TEST(DesStream, EmptySourceGivesOneBlockOfPadding) {
  const TDESCipher cipher(kKey);
  const auto encrypt = [&](auto& s, auto& d, auto* p) { cipher.EncryptStream(s, d, p); };
  std::string expected(8, '\x08');
  cipher.EncryptBlocks(std::span(reinterpret_cast<std::uint8_t*>(expected.data()), 8));
  EXPECT_EQ(RunStream(encrypt, "", "", nullptr), expected);
}

TEST(DesStream, PieceBoundaryPadding) {
  const TDESCipher cipher(kKey);
  const auto encrypt = [&](auto& s, auto& d, auto* p) { cipher.EncryptStream(s, d, p); };
  for (std::size_t size : {4088, 4095}) {
    std::string encrypted = RunStream(encrypt, "", PatternText(size), nullptr);
    ASSERT_EQ(encrypted.size(), 4096u);
    cipher.DecryptBlocks(std::span(reinterpret_cast<std::uint8_t*>(encrypted.data()), 4096));
    const std::size_t pad = 4096 - size;
    EXPECT_EQ(encrypted.substr(size), std::string(pad, static_cast<char>(pad)));
  }
}

TEST(DesStream, DecryptRefusesBadLengthsBeforeTouchingAnything) {
  const TDESCipher cipher(kKey);
  for (std::size_t size : {0, 12, 4097}) {
    SCOPED_TRACE(size);
    std::istringstream in(std::string(size, 'x'));
    std::ostringstream out;
    IstreamSource source(in);
    OstreamSink sink(out);
    RecordingProgress progress;
    try {
      cipher.DecryptStream(source, sink, &progress);
      ADD_FAILURE() << "no error";
    } catch (const CipherError& e) {
      EXPECT_STREQ(e.what(), "DecryptStream: Ciphertext is not a multiple of 8 bytes.");
    }
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(progress.events.empty());
    EXPECT_EQ(in.tellg(), 0);
  }
}

TEST(DesStream, WrongKeyOrDamageGivesNoiseWithoutOverrun) {
  const TDESCipher cipher(kKey);
  const auto decrypt = [&](auto& s, auto& d, auto* p) { cipher.DecryptStream(s, d, p); };
  // Across a piece boundary: 4096 + 8 bytes, the last block alone in the tail.
  const std::string head = cipher.EncryptedString(PatternText(4096)).substr(0, 4096);
  EXPECT_EQ(RunStream(decrypt, "", head + CiphertextEndingInPad(cipher, 200).substr(8), nullptr), PatternText(4096));
  EXPECT_EQ(RunStream(decrypt, "", head + CiphertextEndingInPad(cipher, 2).substr(8), nullptr),
            PatternText(4096) + "abcdef");
  // Any key decrypts without complaint.
  const std::string noise =
      RunStream([](auto& s, auto& d, auto* p) { TDESCipher(kKey + 0x100).DecryptStream(s, d, p); }, "",
                cipher.EncryptedString(PatternText(100)), nullptr);
  EXPECT_GE(noise.size(), 96u);
  EXPECT_LE(noise.size(), 104u);
}

// A source that fails part way, as a disk read error would.
class FailingSource final : public ByteSource {
 public:
  std::uint64_t Remaining() override { return 3 * 4096; }
  void ReadExactly(std::span<std::uint8_t> buffer) override {
    if (++reads == 2) throw std::runtime_error("disk on fire");
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  }
  int reads = 0;
};

TEST(DesStream, SourceErrorsPropagateUnchanged) {
  const TDESCipher cipher(kKey);
  std::ostringstream out;
  OstreamSink sink(out);
  FailingSource source;
  EXPECT_THROW(cipher.EncryptStream(source, sink, nullptr), std::runtime_error);
  FailingSource again;
  EXPECT_THROW(cipher.DecryptStream(again, sink, nullptr), std::runtime_error);
}

TEST(DesStream, SourceShorterThanItClaimedIsAnError) {
  // The input ends while a piece is read: the istream adapter reports it.
  const TDESCipher cipher(kKey);
  std::istringstream in(std::string(10, 'x'));
  IstreamSource source(in);
  std::array<std::uint8_t, 16> buffer{};
  EXPECT_THROW(source.ReadExactly(buffer), std::system_error);
}

TEST(DesStream, RealFilesRoundTrip) {
  const TDESCipher cipher(kKey);
  const auto plain_path = testing::TestDir() / "plain.bin";
  const auto encrypted_path = testing::TestDir() / "plain.bin.vlt";
  const auto decrypted_path = testing::TestDir() / "decrypted.bin";
  const std::string plain = PatternText(10000);
  testing::WriteFileText(plain_path, plain);
  {
    std::ifstream in(plain_path, std::ios::binary);
    std::ofstream out(encrypted_path, std::ios::binary);
    IstreamSource source(in);
    OstreamSink sink(out);
    cipher.EncryptStream(source, sink, nullptr);
  }
  {
    std::ifstream in(encrypted_path, std::ios::binary);
    std::ofstream out(decrypted_path, std::ios::binary);
    IstreamSource source(in);
    OstreamSink sink(out);
    cipher.DecryptStream(source, sink, nullptr);
  }
  EXPECT_EQ(std::filesystem::file_size(encrypted_path), 10000u / 8 * 8 + 8);
  const auto decrypted = testing::ReadFileBytes(decrypted_path);
  EXPECT_EQ(std::string(decrypted.begin(), decrypted.end()), plain);
}

}  // namespace
}  // namespace voltare::crypto
