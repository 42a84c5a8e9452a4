// SPDX-License-Identifier: GPL-3.0-or-later
// Decryption on two threads: the same bytes as the two steps at every piece
// boundary, and every failure ends with the decrypting thread gone.

#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/scoped_env.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/decrypt_expand.h"
#include "transforms/recording_progress.h"
#include "transforms/test_data.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using platform::ResultCode;
using testing::RandomBytes;
using testing::RecordingProgress;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

constexpr std::size_t kPiece = kDecryptAheadPieceSize;

// A zlib stream of stored blocks that is exactly `size` bytes long (11 at
// least), and the bytes it holds: the payload lands on any boundary wanted.
Bytes StoredStream(std::size_t size, Bytes& data) {
  const std::size_t blocks = (size - 6 + 65539) / 65540;  // each block: 5 bytes of header, 65,535 of data at most
  data = RandomBytes(size - 6 - 5 * blocks, static_cast<std::uint32_t>(size));
  Bytes stream = {0x78, 0xDA};
  for (std::size_t b = 0, at = 0; b < blocks; ++b) {
    const std::size_t length = std::min<std::size_t>(65535, data.size() - at);
    stream.insert(stream.end(), {static_cast<std::uint8_t>(b + 1 == blocks), static_cast<std::uint8_t>(length),
                                 static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(~length),
                                 static_cast<std::uint8_t>(~length >> 8)});
    stream.insert(stream.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                  data.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  const uLong adler = adler32(adler32(0, nullptr, 0), data.data(), static_cast<uInt>(data.size()));
  for (const int shift : {24, 16, 8, 0}) stream.push_back(static_cast<std::uint8_t>(adler >> shift));
  EXPECT_EQ(stream.size(), size);
  return stream;
}

std::size_t ThreadsOfThisProcess() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++count;
  return count;
}

// A progress indicator that asks to stop once it has been repainted twice.
class StoppingProgress final : public platform::Progress {
 public:
  void setMax(std::int64_t) override {}
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override { ++repaints_; }
  bool cancelRequested() const override { return repaints_ >= 2; }

 private:
  std::int64_t position_ = 0;
  int repaints_ = 0;
};

class DecryptExpandTest : public ::testing::TestWithParam<int> {
 protected:
  // `payload` encrypted as it is (no compression of its own) into `vlt`.
  void Encrypt(const Bytes& payload, const std::string& password = "pw") {
    WriteFileBytes(plain, payload);
    RecordingProgress encrypting;
    const ResultCode code = GetParam() == kAlgorithmBlowfish
                                ? BlowfishEncryptFile(plain, vlt, password, &encrypting, false)
                                : Cast5EncryptFile(plain, vlt, password, &encrypting);
    ASSERT_EQ(code, platform::Success);
  }

  ResultCode Decrypt(platform::Progress& progress, const fs::path& into = TestDir() / "out") {
    opened = false;
    return DecryptExpandFile(GetParam(), vlt, "pw", &progress, [&]() -> platform::File& {
      opened = true;
      output = platform::File(into, platform::File::Mode::CreateTruncate);
      return output;
    });
  }

  fs::path plain = TestDir() / "payload";
  fs::path vlt = TestDir() / "payload.vlt";
  platform::File output;
  bool opened = false;
};

TEST_P(DecryptExpandTest, PieceBoundariesGiveTheBytesEncrypted) {
  for (const std::size_t size : {std::size_t{11}, kPiece - 1, kPiece, kPiece + 1, kPiece + 8195,
                                 kDecryptAheadPieces * kPiece, (kDecryptAheadPieces + 1) * kPiece + 3}) {
    Bytes data;
    Encrypt(StoredStream(size, data));
    RecordingProgress progress;
    ASSERT_EQ(Decrypt(progress), platform::Success) << size;
    output = {};
    EXPECT_EQ(ReadFileBytes(TestDir() / "out"), data) << size;
    EXPECT_EQ(progress.max(), static_cast<std::int64_t>(fs::file_size(vlt)));
  }
  // Deflated text many output pieces long, with a run of zeros between.
  Bytes data = testing::TextBytes(3 << 20);
  std::fill_n(data.begin() + (1 << 20), 1 << 18, 0);
  WriteFileBytes(TestDir() / "text", data);
  RecordingProgress progress;
  ASSERT_EQ(CompressFile(TestDir() / "text", TestDir() / "text.z", &progress), platform::Success);
  Encrypt(ReadFileBytes(TestDir() / "text.z"));
  ASSERT_EQ(Decrypt(progress), platform::Success);
  output = {};
  EXPECT_EQ(ReadFileBytes(TestDir() / "out"), data);
}

struct Failure {
  const char* name;
  std::function<void(Bytes& vlt)> damage;
  ResultCode expected;
  bool opened;  // whether the output was asked for
};

TEST_P(DecryptExpandTest, FailuresEndWithTheThreadGone) {
  const auto flip = [](std::size_t from_end) { return [=](Bytes& v) { v[v.size() - from_end] ^= 0x10; }; };
  const Failure failures[] = {
      {"a wrong check block", [](Bytes& v) { v[kCheckBlockOffset] ^= 1; }, platform::ErrBadPassword, false},
      {"damage mid-way", flip(3 * kPiece), platform::ErrBadFile, true},
      {"a changed checksum", flip(1), platform::ErrBadFile, true},
      {"cut off", [](Bytes& v) { v.resize(v.size() - kPiece - 100); }, platform::ErrBadFile, true},
  };
  Bytes data;
  const Bytes stream = StoredStream(6 * kPiece + 77, data);
  const std::size_t before = ThreadsOfThisProcess();
  for (const Failure& failure : failures) {
    Encrypt(stream);
    Bytes bytes = ReadFileBytes(vlt);
    failure.damage(bytes);
    WriteFileBytes(vlt, bytes);
    RecordingProgress progress;
    EXPECT_EQ(Decrypt(progress), failure.expected) << failure.name;
    EXPECT_EQ(opened, failure.opened) << failure.name;
    EXPECT_EQ(ThreadsOfThisProcess(), before) << failure.name;
  }

  Encrypt(RandomBytes(3 * kPiece));  // the right password over anything but our compression
  RecordingProgress progress;
  EXPECT_EQ(Decrypt(progress), platform::ErrBadPassword);
  Encrypt(stream);
  StoppingProgress stopping;
  EXPECT_EQ(Decrypt(stopping), platform::ErrCancelled);
  if (fs::exists("/dev/full")) {
    EXPECT_EQ(Decrypt(progress, "/dev/full"), ENOSPC);  // a write fails half-way
  }
  EXPECT_EQ(ThreadsOfThisProcess(), before);
}

INSTANTIATE_TEST_SUITE_P(BlowfishAndCast, DecryptExpandTest,
                         ::testing::Values(int{kAlgorithmBlowfish}, int{kAlgorithmCast128}),
                         [](const ::testing::TestParamInfo<int>& param_info) {
                           return param_info.param == kAlgorithmBlowfish ? "Blowfish" : "Cast128";
                         });

TEST(DecryptExpandChoiceTest, OnlyLargeCbcFilesOnMoreThanOneCore) {
  std::optional<voltare::testing::ScopedEnv> threads(std::in_place, "VOLTARE_THREADS", "2");
  const std::uint64_t large = kCheckedHeaderSize + kPiece + 1;
  EXPECT_TRUE(DecryptsOnTwoThreads(kAlgorithmBlowfish, large));
  EXPECT_TRUE(DecryptsOnTwoThreads(kAlgorithmCast128, large));
  EXPECT_FALSE(DecryptsOnTwoThreads(kAlgorithmBlowfish, large - 1)) << "one piece";
  EXPECT_FALSE(DecryptsOnTwoThreads(kAlgorithmDes, large));
  EXPECT_FALSE(DecryptsOnTwoThreads(kAlgorithmXChaCha20, large));
  threads.emplace("VOLTARE_THREADS", "1");
  EXPECT_FALSE(DecryptsOnTwoThreads(kAlgorithmBlowfish, large));
}

}  // namespace
}  // namespace voltare::transforms
