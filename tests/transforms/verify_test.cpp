// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an encrypted file back against its source: every algorithm and
// shape of input passes without a byte written anywhere, and any difference
// in the copy or the source fails.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/temp_files.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/recording_progress.h"
#include "transforms/test_data.h"
#include "transforms/verify.h"
#include "transforms/xchacha_file.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using platform::Success;
using testing::RecordingProgress;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

enum class Algorithm { Blowfish, Cast5, Des, XChaCha };

// Every file under the test directory and the private temporary directory.
std::set<fs::path> AllFiles() {
  std::set<fs::path> files;
  for (const auto& dir : {std::optional(TestDir()), platform::PrivateTempDir()}) {
    if (!dir) continue;
    for (const auto& entry : fs::recursive_directory_iterator(*dir)) files.insert(entry.path());
  }
  return files;
}

class VerifyTest : public ::testing::TestWithParam<Algorithm> {
 protected:
  // What the batch encryption writes for `source`.
  void Encrypt(const std::string& password = "secret") {
    RecordingProgress quiet;
    const fs::path packed = TestDir() / "packed.z";
    ASSERT_EQ(CompressFile(source, packed, &quiet), Success);
    const std::uint64_t des = DesKeyFromPassword(password);
    const KeyMaterial key(password);
    const auto result = GetParam() == Algorithm::Blowfish ? BlowfishEncryptFile(packed, vlt, password, &quiet, false)
                        : GetParam() == Algorithm::Cast5  ? Cast5EncryptFile(packed, vlt, password, &quiet)
                        : GetParam() == Algorithm::XChaCha
                            ? XChaChaEncryptFile(packed, vlt, key.sealedKeys->ForEncryption(password), &quiet)
                            : DesEncryptFile(packed, vlt, static_cast<std::uint32_t>(des),
                                             static_cast<std::uint32_t>(des >> 32), &quiet);
    ASSERT_EQ(result, Success);
    fs::remove(packed);
  }

  platform::ResultCode Verify(const std::string& password = "secret") {
    const KeyMaterial key(password);
    return VerifyEncryptedFile(vlt, source, key, &progress);
  }

  // The check without the original, as the Verify command makes it.
  platform::ResultCode Check(const std::string& password = "secret") {
    const KeyMaterial key(password);
    return CheckEncryptedFile(vlt, key, &progress);
  }

  fs::path source = TestDir() / "report.doc";
  fs::path vlt = TestDir() / "report.doc.vlt";
  RecordingProgress progress;
};

TEST_P(VerifyTest, EveryShapeOfInputReadsBackWithoutAByteWritten) {
  const std::vector<std::vector<std::uint8_t>> inputs = {
      {},
      std::vector<std::uint8_t>(3 * 1024 * 1024, 0),  // tiny input that expands far past any buffer
      testing::TextBytes(700 * 1024),                 // deflated in several chunks
      testing::RandomBytes(70001),
  };
  for (const auto& input : inputs) {
    WriteFileBytes(source, input);
    Encrypt();
    const std::set<fs::path> before = AllFiles();
    EXPECT_EQ(Verify(), Success) << input.size();
    EXPECT_EQ(Check(), Success) << input.size();
    EXPECT_EQ(AllFiles(), before) << "nothing written";
  }
}

TEST_P(VerifyTest, AnyDifferenceBetweenCopyAndSourceFails) {
  const auto original = testing::TextBytes(100000);
  WriteFileBytes(source, original);
  Encrypt();
  const auto encrypted = ReadFileBytes(vlt);
  ASSERT_EQ(Verify(), Success);

  // A changed source: one byte, one byte more, one byte less.
  auto changed = original;
  changed[60000] ^= 1;
  for (const auto& other : {changed, std::vector<std::uint8_t>(original.begin(), original.end() - 1)}) {
    WriteFileBytes(source, other);
    EXPECT_EQ(Verify(), platform::ErrBadFile);
  }
  changed = original;
  changed.push_back('x');
  WriteFileBytes(source, changed);
  EXPECT_EQ(Verify(), platform::ErrBadFile);
  WriteFileBytes(source, original);

  // A damaged copy: one byte of its payload, or its end cut off. A sealed
  // file names the damage for what it is.
  const platform::ResultCode damage = GetParam() == Algorithm::XChaCha ? platform::ErrTampered : platform::ErrBadFile;
  auto damaged = encrypted;
  damaged[damaged.size() / 2] ^= 0x20;
  WriteFileBytes(vlt, damaged);
  EXPECT_NE(Verify(), Success);
  EXPECT_EQ(Check(), damage);
  WriteFileBytes(vlt, std::vector<std::uint8_t>(encrypted.begin(), encrypted.end() - 16));
  EXPECT_NE(Verify(), Success);
  EXPECT_EQ(Check(), damage);

  WriteFileBytes(vlt, encrypted);
  EXPECT_NE(Verify("Secret"), Success);
  if (GetParam() != Algorithm::Des) {
    EXPECT_EQ(Verify("Secret"), platform::ErrBadPassword);
    EXPECT_EQ(Check("Secret"), platform::ErrBadPassword);
  }
  EXPECT_EQ(Verify(), Success);
}

INSTANTIATE_TEST_SUITE_P(AllAlgorithms, VerifyTest,
                         ::testing::Values(Algorithm::Blowfish, Algorithm::Cast5, Algorithm::Des, Algorithm::XChaCha));

}  // namespace
}  // namespace voltare::transforms
