// SPDX-License-Identifier: GPL-3.0-or-later
// Encrypted files of all three algorithms: layout, sizes, round trips, wrong
// passwords, the list variant and the format tests.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"
#include "transforms/recording_progress.h"
#include "transforms/test_data.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using platform::ErrBadFile;
using platform::ErrBadPassword;
using platform::ErrInternal;
using platform::ErrNoSuchFile;
using platform::ErrNoTempFile;
using platform::ResultCode;
using platform::Success;
using testing::RandomBytes;
using testing::RecordingProgress;
using testing::TextBytes;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

enum class Algorithm { Blowfish, Cast5, Des };

std::string Name(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Blowfish:
      return "Blowfish";
    case Algorithm::Cast5:
      return "CAST-128";
    case Algorithm::Des:
      return "DES";
  }
  return {};
}

ResultCode Encrypt(Algorithm algorithm, const fs::path& from, const fs::path& to, const std::string& password,
                   platform::Progress* progress) {
  const std::uint64_t key = DesKeyFromPassword(password);
  switch (algorithm) {
    case Algorithm::Blowfish:
      return BlowfishEncryptFile(from, to, password, progress, false);
    case Algorithm::Cast5:
      return Cast5EncryptFile(from, to, password, progress);
    case Algorithm::Des:
      return DesEncryptFile(from, to, static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), progress);
  }
  return ErrInternal;
}

ResultCode Decrypt(Algorithm algorithm, const fs::path& from, const fs::path& to, const std::string& password,
                   platform::Progress* progress) {
  const std::uint64_t key = DesKeyFromPassword(password);
  switch (algorithm) {
    case Algorithm::Blowfish:
      return BlowfishDecryptFile(from, to, password, progress, false);
    case Algorithm::Cast5:
      return Cast5DecryptFile(from, to, password, progress);
    case Algorithm::Des:
      return DesDecryptFile(from, to, static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), progress);
  }
  return ErrInternal;
}

std::uint64_t ExpectedSize(Algorithm algorithm, std::uint64_t n) {
  return algorithm == Algorithm::Des ? 13 + 8 * (n / 8 + 1) : 45 + n;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

const std::vector<std::uint8_t> kMagic = {'K', 'O', 'V', 'A', ' ', 'V', 'o', 'l', 't', 'a', 'r', 'e'};

class VltFileTest : public ::testing::TestWithParam<Algorithm> {
 protected:
  Algorithm algorithm() const { return GetParam(); }

  fs::path plain = TestDir() / "packed.tmp";
  fs::path vlt = TestDir() / "report.doc.vlt";
  fs::path back = TestDir() / "back.tmp";
  RecordingProgress progress;
};

TEST_P(VltFileTest, RoundTripsEverySizeWithTheFormatsLength) {
  const std::uint8_t code = static_cast<std::uint8_t>(algorithm());
  for (const std::size_t size : {0u, 1u, 7u, 8u, 4088u, 4095u, 8191u, 8192u, 8193u, 8195u, 3u * 1024u * 1024u + 5u}) {
    const auto data = RandomBytes(size, static_cast<std::uint32_t>(size));
    WriteFileBytes(plain, data);
    ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "secret", &progress), Success) << size;
    const auto file = ReadFileBytes(vlt);
    ASSERT_EQ(file.size(), ExpectedSize(algorithm(), size)) << size;
    EXPECT_EQ(Slice(file, 0, 12), kMagic);
    EXPECT_EQ(file[12], code);
    EXPECT_TRUE(IsVltFile(vlt));
    EXPECT_EQ(ReadAlgorithmId(vlt), code);
    ASSERT_EQ(Decrypt(algorithm(), vlt, back, "secret", &progress), Success) << size;
    EXPECT_EQ(ReadFileBytes(back), data) << size;
  }
}

TEST_P(VltFileTest, CheckBlockDependsOnlyOnPasswordAndAlgorithm) {
  if (algorithm() == Algorithm::Des) GTEST_SKIP() << "DES files carry no check block";
  auto data = TextBytes(20000);
  WriteFileBytes(plain, data);
  ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "same", &progress), Success);
  const auto first = ReadFileBytes(vlt);
  data.back() ^= 0x55;  // same beginning, different end
  WriteFileBytes(plain, data);
  ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "same", &progress), Success);
  const auto second = ReadFileBytes(vlt);
  EXPECT_EQ(Slice(first, 13, 32), Slice(second, 13, 32));
  EXPECT_EQ(Slice(first, 45, 1000), Slice(second, 45, 1000));
  EXPECT_NE(first, second);

  ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "Same", &progress), Success);
  EXPECT_NE(Slice(ReadFileBytes(vlt), 13, 32), Slice(second, 13, 32));
}

TEST_P(VltFileTest, WrongPasswordIsBadPassword) {
  const auto data = TextBytes(50000);
  const auto compressed = TestDir() / "data.z";
  WriteFileBytes(plain, data);
  ASSERT_EQ(CompressFile(plain, compressed, &progress), Success);
  ASSERT_EQ(Encrypt(algorithm(), compressed, vlt, "right password", &progress), Success);

  const ResultCode decrypted = Decrypt(algorithm(), vlt, back, "wrong password", &progress);
  if (algorithm() == Algorithm::Des) {
    // No check block: the noise is caught by the compressed-stream test.
    ASSERT_EQ(decrypted, Success);
    EXPECT_EQ(DecompressFile(back, TestDir() / "out", &progress), ErrBadPassword);
    EXPECT_FALSE(fs::exists(TestDir() / "out"));
  } else {
    EXPECT_EQ(decrypted, ErrBadPassword);
    EXPECT_FALSE(fs::exists(back));
  }

  ASSERT_EQ(Decrypt(algorithm(), vlt, back, "right password", &progress), Success);
  ASSERT_EQ(DecompressFile(back, TestDir() / "out", &progress), Success);
  EXPECT_EQ(ReadFileBytes(TestDir() / "out"), data);
}

TEST_P(VltFileTest, ProgressRunsOverTheSource) {
  WriteFileBytes(plain, RandomBytes(8192));
  ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "pw", &progress), Success);
  EXPECT_EQ(progress.max(), 8192);
  EXPECT_EQ(progress.position(), 8192);
  progress.repainted.clear();
  ASSERT_EQ(Decrypt(algorithm(), vlt, back, "pw", &progress), Success);
  if (algorithm() == Algorithm::Des) {
    EXPECT_EQ(progress.max(), 8200);  // the padded payload
  } else {
    // The whole encrypted file is the maximum; a full piece, then an empty one.
    EXPECT_EQ(progress.max(), 45 + 8192);
    EXPECT_EQ(progress.repainted, (std::vector<std::int64_t>{8192, 8192}));
  }
}

TEST_P(VltFileTest, ArgumentAndExistenceChecksComeFirst) {
  WriteFileBytes(plain, {1, 2, 3});
  EXPECT_EQ(Encrypt(algorithm(), "", vlt, "pw", &progress), ErrInternal);
  EXPECT_EQ(Encrypt(algorithm(), plain, "", "pw", &progress), ErrInternal);
  EXPECT_EQ(Encrypt(algorithm(), plain, vlt, "pw", nullptr), ErrInternal);
  EXPECT_EQ(Encrypt(algorithm(), plain, vlt, "", &progress), ErrInternal);  // DES: key 0
  EXPECT_EQ(Encrypt(algorithm(), TestDir() / "missing", vlt, "pw", &progress),
            algorithm() == Algorithm::Des ? ErrNoTempFile : ErrNoSuchFile);
  EXPECT_FALSE(fs::exists(vlt));

  ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "pw", &progress), Success);
  EXPECT_EQ(Decrypt(algorithm(), "", back, "pw", &progress), ErrInternal);
  EXPECT_EQ(Decrypt(algorithm(), vlt, "", "pw", &progress), ErrInternal);
  EXPECT_EQ(Decrypt(algorithm(), vlt, back, "pw", nullptr), ErrInternal);
  EXPECT_EQ(Decrypt(algorithm(), TestDir() / "missing", back, "pw", &progress), ErrNoSuchFile);
  EXPECT_FALSE(fs::exists(back));
}

TEST_P(VltFileTest, FailuresReturnTheSystemsCodeAndLeaveNoOutput) {
  const auto data = RandomBytes(30000);
  WriteFileBytes(plain, data);
  EXPECT_EQ(Encrypt(algorithm(), plain, TestDir(), "pw", &progress), EISDIR);
  EXPECT_EQ(Encrypt(algorithm(), plain, TestDir() / "no" / "such.vlt", "pw", &progress), ENOENT);
  EXPECT_EQ(Encrypt(algorithm(), plain, plain, "pw", &progress), ErrInternal);
  EXPECT_EQ(ReadFileBytes(plain), data);  // never truncated by writing onto itself

  // A link is refused, never written through, and stays.
  const auto link = TestDir() / "link.vlt";
  fs::create_symlink("/dev/full", link);
  EXPECT_EQ(Encrypt(algorithm(), plain, link, "pw", &progress), ELOOP);
  EXPECT_TRUE(fs::is_symlink(link));
  // A full disk, where a device node may be made and opened (as root, off a
  // nodev mount): what failed to be written is not a file of ours to remove.
  const auto full = TestDir() / "full.vlt";
  const int device = ::mknod(full.c_str(), S_IFCHR | 0600, ::makedev(1, 7)) == 0 ? ::open(full.c_str(), O_WRONLY) : -1;
  if (device >= 0) {
    ::close(device);
    EXPECT_EQ(Encrypt(algorithm(), plain, full, "pw", &progress), ENOSPC);
    EXPECT_TRUE(fs::is_character_file(full));
  }
  {
    platform::File holder(plain, platform::File::Mode::Read);
    holder.lockExclusive();  // another program has the source open exclusively
    EXPECT_EQ(Encrypt(algorithm(), plain, vlt, "pw", &progress), EWOULDBLOCK);
    EXPECT_FALSE(fs::exists(vlt));
  }
}

TEST_P(VltFileTest, OverwritesAnExistingDestination) {
  WriteFileBytes(vlt, RandomBytes(100000));
  WriteFileBytes(plain, {9, 8, 7});
  ASSERT_EQ(Encrypt(algorithm(), plain, vlt, "pw", &progress), Success);
  EXPECT_EQ(fs::file_size(vlt), ExpectedSize(algorithm(), 3));
}

INSTANTIATE_TEST_SUITE_P(AllAlgorithms, VltFileTest,
                         ::testing::Values(Algorithm::Blowfish, Algorithm::Cast5, Algorithm::Des),
                         [](const ::testing::TestParamInfo<Algorithm>& param_info) {
                           return param_info.param == Algorithm::Cast5 ? std::string("Cast5") : Name(param_info.param);
                         });

// ---------------------------------------------------------------------------

TEST(VltFormatTest, UnknownAlgorithmCodesAndShortFiles) {
  const auto path = TestDir() / "x.vlt";
  auto bytes = kMagic;
  bytes.push_back(4);
  WriteFileBytes(path, bytes);
  EXPECT_TRUE(IsVltFile(path));
  EXPECT_EQ(ReadAlgorithmId(path), -1);  // the callers answer "Invalid VLT or PLX file."

  bytes.back() = 3;
  WriteFileBytes(path, bytes);
  EXPECT_EQ(ReadAlgorithmId(path), 3);  // a sealed file

  bytes.back() = 2;
  WriteFileBytes(path, bytes);
  EXPECT_EQ(ReadAlgorithmId(path), 2);

  WriteFileBytes(path, kMagic);
  EXPECT_TRUE(IsVltFile(path));
  EXPECT_EQ(ReadAlgorithmId(path), 0);  // taken as Blowfish

  WriteFileBytes(path, Slice(kMagic, 0, 11));
  EXPECT_FALSE(IsVltFile(path));
  auto other = kMagic;
  other[5] = 'v';
  WriteFileBytes(path, other);
  EXPECT_FALSE(IsVltFile(path));

  EXPECT_FALSE(IsVltFile(TestDir() / "missing"));
  EXPECT_EQ(ReadAlgorithmId(TestDir() / "missing"), -1);
  EXPECT_EQ(ReadAlgorithmId(""), -1);
  EXPECT_FALSE(IsVltFile(""));
}

TEST(VltFormatTest, FileOfOnlyTheMagicFailsTheBlowfishCheck) {
  const auto path = TestDir() / "x.vlt";
  WriteFileBytes(path, kMagic);
  RecordingProgress progress;
  EXPECT_EQ(BlowfishDecryptFile(path, TestDir() / "out", "pw", &progress, false), ErrBadPassword);
  EXPECT_FALSE(fs::exists(TestDir() / "out"));
}

TEST(VltFormatTest, DamagedDesPayloadIsABadFile) {
  RecordingProgress progress;
  const auto plain = TestDir() / "p";
  const auto vlt = TestDir() / "p.vlt";
  const auto key = DesKeyFromPassword("password");
  WriteFileBytes(plain, RandomBytes(1000));
  ASSERT_EQ(
      DesEncryptFile(plain, vlt, static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), &progress),
      Success);
  fs::resize_file(vlt, fs::file_size(vlt) - 3);
  EXPECT_EQ(DesDecryptFile(vlt, TestDir() / "out", static_cast<std::uint32_t>(key),
                           static_cast<std::uint32_t>(key >> 32), &progress),
            ErrBadFile);
  EXPECT_FALSE(fs::exists(TestDir() / "out"));

  auto header = kMagic;
  header.push_back(2);
  WriteFileBytes(vlt, header);  // no payload at all
  EXPECT_EQ(DesDecryptFile(vlt, TestDir() / "out", static_cast<std::uint32_t>(key),
                           static_cast<std::uint32_t>(key >> 32), &progress),
            ErrBadFile);
  WriteFileBytes(vlt, kMagic);  // shorter than the header
  EXPECT_EQ(DesDecryptFile(vlt, TestDir() / "out", static_cast<std::uint32_t>(key),
                           static_cast<std::uint32_t>(key >> 32), &progress),
            ErrBadFile);
}

TEST(VltFormatTest, ListModeHasNoCodeAndNoCheckBlock) {
  RecordingProgress progress;
  const auto plain = TestDir() / "list.tmp";
  const auto packed = TestDir() / "list.z";
  const auto vls = TestDir() / "files.vls";
  const auto data = TextBytes(10000);
  WriteFileBytes(plain, data);
  ASSERT_EQ(CompressFile(plain, packed, &progress), Success);
  const auto n = fs::file_size(packed);

  ASSERT_EQ(BlowfishEncryptFile(packed, vls, "list pw", &progress, true), Success);
  const auto file = ReadFileBytes(vls);
  ASSERT_EQ(file.size(), 12 + n);
  EXPECT_EQ(Slice(file, 0, 12), kMagic);

  // Byte 12 is already payload: the same payload as a plain CBC run keyed by
  // the digest, which is not what a normal Blowfish file holds there.
  ASSERT_EQ(BlowfishEncryptFile(packed, TestDir() / "normal.vlt", "list pw", &progress, false), Success);
  EXPECT_NE(Slice(file, 12, 16), Slice(ReadFileBytes(TestDir() / "normal.vlt"), 45, 16));

  ASSERT_EQ(BlowfishDecryptFile(vls, TestDir() / "back.z", "list pw", &progress, true), Success);
  EXPECT_EQ(progress.max(), static_cast<std::int64_t>(12 + n));
  ASSERT_EQ(DecompressFile(TestDir() / "back.z", TestDir() / "back", &progress), Success);
  EXPECT_EQ(ReadFileBytes(TestDir() / "back"), data);

  // A wrong password is found only by the stream test.
  ASSERT_EQ(BlowfishDecryptFile(vls, TestDir() / "bad.z", "List pw", &progress, true), Success);
  EXPECT_EQ(DecompressFile(TestDir() / "bad.z", TestDir() / "bad", &progress), ErrBadPassword);
}

TEST(DesKeyTest, FromThePasswordsFirstEightBytesLittleEndian) {
  EXPECT_EQ(DesKeyFromPassword("abc"), 0x636261u);
  EXPECT_EQ(DesKeyFromPassword("ABCDEFGH"), 0x4847464544434241u);
  EXPECT_EQ(DesKeyFromPassword("ABCDEFGH and more"), DesKeyFromPassword("ABCDEFGH"));
  EXPECT_EQ(DesKeyFromPassword(""), 0u);

  const KeyMaterial material("abc");
  EXPECT_EQ(*material.keyBlock, (std::array<std::uint8_t, 8>{'a', 'b', 'c', 0, 0, 0, 0, 0}));
  EXPECT_EQ(material.password, "abc");
  EXPECT_EQ(DesKeyFromKeyBlock(*material.keyBlock), DesKeyFromPassword("abc"));
}

TEST(DesKeyTest, EighthByteAbove0x7FIsAValidKey) {
  // "passworé" in UTF-8: the eighth byte is 0xC3, the top bit of the key.
  const std::string password = "passwor\xC3\xA9";
  const auto key = DesKeyFromPassword(password);
  EXPECT_EQ(key >> 56, 0xC3u);
  RecordingProgress progress;
  const auto data = TextBytes(5000);
  WriteFileBytes(TestDir() / "p", data);
  ASSERT_EQ(DesEncryptFile(TestDir() / "p", TestDir() / "p.vlt", static_cast<std::uint32_t>(key),
                           static_cast<std::uint32_t>(key >> 32), &progress),
            Success);
  ASSERT_EQ(DesDecryptFile(TestDir() / "p.vlt", TestDir() / "back", static_cast<std::uint32_t>(key),
                           static_cast<std::uint32_t>(key >> 32), &progress),
            Success);
  EXPECT_EQ(ReadFileBytes(TestDir() / "back"), data);
  EXPECT_EQ(DesEncryptFile(TestDir() / "p", TestDir() / "q.vlt", 0, 0, &progress), ErrInternal);
}

}  // namespace
}  // namespace voltare::transforms
