// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/sparse_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "support/test_env.h"
#include "transforms/compress.h"
#include "transforms/recording_progress.h"
#include "transforms/test_data.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;

constexpr std::size_t kBlock = SparseWriter::kBlockSize;

// Bytes the file takes on the disk.
std::uint64_t Allocated(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

// Data with a run of `zeros` zero bytes starting at `at`.
std::vector<std::uint8_t> WithZeros(std::size_t size, std::size_t at, std::size_t zeros) {
  std::vector<std::uint8_t> data = testing::RandomBytes(size, 3);
  std::replace(data.begin(), data.end(), std::uint8_t{0}, std::uint8_t{1});
  std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(at), zeros, std::uint8_t{0});
  return data;
}

struct SparseCase {
  const char* name;
  std::vector<std::uint8_t> data;
  std::size_t piece;       // the size of each Write
  std::uint64_t maxHoles;  // at most this many bytes allocated: the holes were made
};

class SparseWriterTest : public ::testing::TestWithParam<SparseCase> {};

TEST_P(SparseWriterTest, WritesTheSameBytesWithZeroBlocksLeftAsHoles) {
  const SparseCase& c = GetParam();
  const fs::path path = TestDir() / "out";
  {
    platform::File out(path, platform::File::Mode::CreateNew);
    SparseWriter writer(out);
    for (std::size_t at = 0; at < c.data.size(); at += c.piece) {
      writer.Write(std::span(c.data).subspan(at, std::min(c.piece, c.data.size() - at)));
    }
    writer.Finish();
  }
  EXPECT_EQ(ReadFileBytes(path), c.data);
  EXPECT_LE(Allocated(path), c.maxHoles) << "allocated " << Allocated(path);
}

constexpr std::size_t kMiB = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    Layouts, SparseWriterTest,
    ::testing::Values(SparseCase{"holeInTheMiddle", WithZeros(4 * kMiB, 10, 4 * kMiB - 20), 32768, 64 * 1024},
                      SparseCase{"holeAtTheEndNeedsTheLength", WithZeros(kMiB, 100, kMiB - 100), 32768, 64 * 1024},
                      SparseCase{"unalignedPieces", WithZeros(kMiB, 5000, kMiB - 10000), 1000, 64 * 1024},
                      SparseCase{"onlyZeros", std::vector<std::uint8_t>(kMiB, 0), 32768, 0},
                      SparseCase{"runShorterThanABlockIsWritten", WithZeros(3 * kBlock, kBlock + 1, kBlock - 2), 7,
                                 64 * 1024},
                      SparseCase{"tailShorterThanABlock", std::vector<std::uint8_t>(kBlock - 1, 0), 32768, 64 * 1024},
                      SparseCase{"empty", {}, 1, 0}),
    [](const auto& test) { return std::string(test.param.name); });

// A sparse file encrypted and decrypted: the decompressed output takes about
// what its data needs, not its length.
TEST(SparseOutputTest, ADecompressedSparseFileStaysSparse) {
  const fs::path source = TestDir() / "image", packed = TestDir() / "image.z", restored = TestDir() / "restored";
  {
    platform::File out(source, platform::File::Mode::CreateNew);
    out.write(testing::TextBytes(1000));
    out.seek(64 * kMiB);
    out.write(testing::TextBytes(1000));
  }
  testing::RecordingProgress progress;
  ASSERT_EQ(CompressFile(source, packed, &progress), platform::Success);
  ASSERT_EQ(DecompressFile(packed, restored, &progress), platform::Success);
  EXPECT_EQ(ReadFileBytes(restored), ReadFileBytes(source));
  EXPECT_LT(Allocated(restored), kMiB);
}

}  // namespace
}  // namespace voltare::transforms
