// SPDX-License-Identifier: GPL-3.0-or-later
// CompressFile on several workers: one zlib stream that every inflater reads,
// the single-stream bytes for inputs of one chunk, and nothing left behind
// (no output, no thread) when writing fails half-way.

#include <signal.h>
#include <sys/resource.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/scoped_env.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/parallel_deflate.h"
#include "transforms/recording_progress.h"
#include "transforms/test_data.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using platform::Success;
using testing::RandomBytes;
using testing::RecordingProgress;
using testing::TextBytes;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

constexpr std::size_t kChunk = kDeflateChunkSize;

// VOLTARE_THREADS for one test, put back afterwards.
struct ScopedThreads : voltare::testing::ScopedEnv {
  explicit ScopedThreads(const char* value) : ScopedEnv("VOLTARE_THREADS", value) {}
};

Bytes ZlibLevel9(const Bytes& data) {
  Bytes out(compressBound(data.size()));
  uLongf length = out.size();
  EXPECT_EQ(compress2(out.data(), &length, data.data(), data.size(), 9), Z_OK);
  out.resize(length);
  return out;
}

Bytes Uncompress(const Bytes& stream, std::size_t size) {
  Bytes out(size + 1);
  uLongf length = out.size();
  EXPECT_EQ(uncompress(out.data(), &length, stream.data(), stream.size()), Z_OK);
  out.resize(length);
  return out;
}

std::size_t ThreadsOfThisProcess() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++count;
  return count;
}

// Text with the random bytes between, so that chunks differ in how they pack.
Bytes MixedBytes(std::size_t size) {
  Bytes data = TextBytes(size);
  const Bytes noise = RandomBytes(size / 7, 11);
  std::copy(noise.begin(), noise.end(), data.begin() + static_cast<std::ptrdiff_t>(size / 3));
  return data;
}

class ParallelDeflateTest : public ::testing::Test {
 protected:
  Bytes Compress(const Bytes& data) {
    WriteFileBytes(source, data);
    EXPECT_EQ(CompressFile(source, packed, &progress), Success);
    return ReadFileBytes(packed);
  }

  fs::path source = TestDir() / "source.doc";
  fs::path packed = TestDir() / "packed.tmp";
  fs::path unpacked = TestDir() / "unpacked.doc";
  RecordingProgress progress;
};

TEST_F(ParallelDeflateTest, ChunkBoundariesRoundTripAndOneChunkKeepsTheSingleStream) {
  ScopedThreads threads("4");
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kChunk - 1, kChunk, kChunk + 1, 5 * kChunk + 12345}) {
    const Bytes data = MixedBytes(size);
    const Bytes stream = Compress(data);
    ASSERT_GE(stream.size(), 6u) << size;
    EXPECT_EQ(stream[0], 0x78);
    EXPECT_EQ(stream[1], 0xDA);
    EXPECT_EQ(Uncompress(stream, size), data) << size;
    if (size <= kChunk) {
      EXPECT_EQ(stream, ZlibLevel9(data)) << size;
    }
    ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success) << size;
    EXPECT_EQ(ReadFileBytes(unpacked), data) << size;
  }
}

TEST_F(ParallelDeflateTest, OutputDependsOnTheInputOnlyAndOneWorkerIsTheSingleStream) {
  const Bytes data = MixedBytes(3 * kChunk + 7);
  Bytes by_two;
  {
    ScopedThreads threads("2");
    by_two = Compress(data);
  }
  {
    ScopedThreads threads("8");
    EXPECT_EQ(Compress(data), by_two);
  }
  {
    ScopedThreads threads("1");
    EXPECT_EQ(Compress(data), ZlibLevel9(data));
  }
  // The sync flushes cost a few bytes per chunk, no more.
  const double growth = static_cast<double>(by_two.size()) / static_cast<double>(ZlibLevel9(data).size());
  EXPECT_LT(growth, 1.005);
}

// Walks a stream made of stored blocks only, as a deflate reader does: each
// block's five-byte header, at most 65,535 bytes, and the final one followed
// by the Adler-32 and nothing else. False for anything else.
bool AllStoredBlocks(const Bytes& stream) {
  std::size_t at = 2;
  for (;;) {
    if (at + 5 > stream.size() || stream[at] > 1) return false;
    const std::size_t length = stream[at + 1] | (stream[at + 2] << 8);
    if ((length ^ (stream[at + 3] | (stream[at + 4] << 8))) != 0xFFFF) return false;
    const bool final_block = stream[at] == 1;
    at += 5 + length;
    if (final_block) return at + 4 == stream.size();
  }
}

// Incompressible chunks are stored, the rest deflated, and the stream stays
// one that Python's zlib reads. Text keeps the size level 9 gives it.
TEST_F(ParallelDeflateTest, IncompressibleChunksAreStoredAndPythonsZlibReadsTheStream) {
  ScopedThreads threads("3");
  Bytes text_then_noise = TextBytes(2 * kChunk);
  const Bytes noise = RandomBytes(3 * kChunk + 99, 13);
  text_then_noise.insert(text_then_noise.end(), noise.begin(), noise.end());
  const struct {
    const char* kind;
    Bytes data;
  } kinds[] = {{"random", RandomBytes(4 * kChunk + 99, 12)},
               {"text", TextBytes(4 * kChunk + 99)},
               {"mixed", MixedBytes(4 * kChunk + 99)},
               {"text then random", text_then_noise}};
  for (const auto& [kind, data] : kinds) {
    const Bytes stream = Compress(data);
    const fs::path expanded = TestDir() / "python.out";
    const std::string command =
        "python3 -c 'import sys, zlib; open(sys.argv[2], \"wb\").write("
        "zlib.decompress(open(sys.argv[1], \"rb\").read()))' '" +
        packed.string() + "' '" + expanded.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << kind;
    EXPECT_EQ(ReadFileBytes(expanded), data) << kind;
    EXPECT_EQ(AllStoredBlocks(stream), std::string_view(kind) == "random") << kind;
  }
  // The random tail costs five bytes per stored block (five blocks to a
  // chunk) more than its own size, and the text a sync flush where it ends.
  const Bytes text_alone(text_then_noise.begin(), text_then_noise.begin() + 2 * kChunk);
  const std::size_t text_packed = Compress(text_alone).size();
  EXPECT_LE(Compress(text_then_noise).size(), text_packed + noise.size() + 5 * 5 * (noise.size() / kChunk + 1) + 16);
}

// Every call on the progress indicator comes from the calling thread, and the
// position only moves forward, to the input size.
class ThreadCheckingProgress final : public platform::Progress {
 public:
  void setMax(std::int64_t max) override {
    Note();
    max_ = max;
  }
  void setPosition(std::int64_t position) override {
    Note();
    if (position < position_) went_back = true;
    position_ = position;
  }
  std::int64_t position() const override { return position_; }
  void repaint() override {
    Note();
    repainted.push_back(position_);
  }

  std::int64_t max_ = -1;
  bool went_back = false;
  bool other_thread = false;
  std::vector<std::int64_t> repainted;

 private:
  void Note() { other_thread = other_thread || std::this_thread::get_id() != caller_; }
  std::thread::id caller_ = std::this_thread::get_id();
  std::int64_t position_ = 0;
};

TEST_F(ParallelDeflateTest, ProgressStaysOnTheCallingThreadAndOnlyAdvances) {
  ScopedThreads threads("4");
  const std::size_t size = 6 * kChunk + 1;
  WriteFileBytes(source, TextBytes(size));
  ThreadCheckingProgress watcher;
  ASSERT_EQ(CompressFile(source, packed, &watcher), Success);
  EXPECT_FALSE(watcher.other_thread);
  EXPECT_FALSE(watcher.went_back);
  EXPECT_EQ(watcher.max_, static_cast<std::int64_t>(size));
  ASSERT_GE(watcher.repainted.size(), 7u);  // once per chunk, at least
  EXPECT_EQ(watcher.repainted.back(), static_cast<std::int64_t>(size));
}

// The process may write at most `limit` bytes into any file; beyond, a write
// fails with EFBIG instead of the signal that would end the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

TEST_F(ParallelDeflateTest, AWriteFailureHalfWayLeavesNoOutputAndNoWorker) {
  ScopedThreads threads("4");
  const Bytes data = RandomBytes(12 * kChunk, 21);  // incompressible: the output grows as fast
  WriteFileBytes(source, data);
  const std::size_t threads_before = ThreadsOfThisProcess();
  {
    FileSizeLimit limit(3 * kChunk);
    EXPECT_EQ(CompressFile(source, packed, &progress), EFBIG);
  }
  EXPECT_FALSE(fs::exists(packed));
  EXPECT_EQ(ThreadsOfThisProcess(), threads_before);
  EXPECT_EQ(ReadFileBytes(source), data);
}

// Encrypting while the workers compress must give, byte for byte, what the
// two steps give through the temporary file: files made either way are one format.
TEST_F(ParallelDeflateTest, OnePassCompressionAndEncryptionGivesTheBytesOfTheTwoSteps) {
  ScopedThreads threads("3");
  using OnePass = platform::ResultCode (*)(const fs::path&, const Destination&, std::string_view, platform::Progress*,
                                           const std::function<void()>&);
  using TwoStep = platform::ResultCode (*)(const fs::path&, const Destination&, std::string_view, platform::Progress*);
  const TwoStep blowfish = [](const fs::path& from, const Destination& to, std::string_view password,
                              platform::Progress* bar) { return BlowfishEncryptFile(from, to, password, bar, false); };
  const std::pair<OnePass, TwoStep> algorithms[] = {{&BlowfishCompressEncryptFile, blowfish},
                                                    {&Cast5CompressEncryptFile, &Cast5EncryptFile}};
  const fs::path twoSteps = TestDir() / "two.vlt", onePass = TestDir() / "one.vlt";
  for (const Bytes& data : {MixedBytes(kChunk + 1), RandomBytes(5 * kChunk + 12345, 5), TextBytes(9 * kChunk)}) {
    WriteFileBytes(source, data);
    for (const auto& [together, apart] : algorithms) {
      ASSERT_EQ(CompressFile(source, packed, &progress), Success);
      ASSERT_EQ(apart(packed, twoSteps, "pass phrase", &progress), Success);
      int compressedCalls = 0;
      ASSERT_EQ(together(source, onePass, "pass phrase", &progress, [&] { ++compressedCalls; }), Success);
      EXPECT_EQ(ReadFileBytes(onePass), ReadFileBytes(twoSteps)) << data.size();
      EXPECT_EQ(compressedCalls, 1);
    }
  }

  // What a single stream is kept for is refused, not written differently.
  WriteFileBytes(source, TextBytes(kChunk));
  EXPECT_EQ(BlowfishCompressEncryptFile(source, onePass, "pw", &progress, {}), platform::ErrInternal);
}

TEST_F(ParallelDeflateTest, AWriteFailureInOnePassLeavesNoOutputAndNoWorker) {
  ScopedThreads threads("4");
  const Bytes data = RandomBytes(12 * kChunk, 22);
  WriteFileBytes(source, data);
  const fs::path vlt = TestDir() / "out.vlt";
  const std::size_t threads_before = ThreadsOfThisProcess();
  {
    FileSizeLimit limit(3 * kChunk);
    EXPECT_EQ(BlowfishCompressEncryptFile(source, vlt, "pw", &progress, {}), EFBIG);
  }
  EXPECT_FALSE(fs::exists(vlt));
  EXPECT_EQ(ThreadsOfThisProcess(), threads_before);
  EXPECT_EQ(ReadFileBytes(source), data);
}

TEST(DeflateWorkerCountTest, TheVariableSetsItWithinOneToEight) {
  {
    ScopedThreads threads("1");
    EXPECT_EQ(DeflateWorkerCount(), 1u);
  }
  {
    ScopedThreads threads("3");
    EXPECT_EQ(DeflateWorkerCount(), 3u);
  }
  {
    ScopedThreads threads("500");
    EXPECT_EQ(DeflateWorkerCount(), kMaxDeflateWorkers);
  }
  for (const char* ignored : {"0", "-2", "two", "", "3x"}) {
    ScopedThreads threads(ignored);
    const unsigned count = DeflateWorkerCount();
    EXPECT_GE(count, 1u) << ignored;
    EXPECT_LE(count, kMaxDeflateWorkers) << ignored;
    EXPECT_LE(count, std::max(1u, std::thread::hardware_concurrency())) << ignored;
  }
}

}  // namespace
}  // namespace voltare::transforms
