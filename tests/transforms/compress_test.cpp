// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/compress.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "support/hex.h"
#include "support/test_env.h"
#include "transforms/parallel_deflate.h"
#include "transforms/recording_progress.h"
#include "transforms/test_data.h"
#include "transforms/zlib_streams.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using platform::ErrBadFile;
using platform::ErrBadPassword;
using platform::ErrInternal;
using platform::ErrNoSuchFile;
using platform::Success;
using testing::RandomBytes;
using testing::RecordingProgress;
using testing::TextBytes;
using voltare::testing::FromHex;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

// Expands with zlib's one-shot call: an independent reading of our output.
std::vector<std::uint8_t> Uncompress(const std::vector<std::uint8_t>& stream, std::size_t size) {
  std::vector<std::uint8_t> out(size + 1);
  uLongf length = out.size();
  EXPECT_EQ(uncompress(out.data(), &length, stream.data(), stream.size()), Z_OK);
  out.resize(length);
  return out;
}

std::vector<std::uint8_t> ZlibCompress(const std::vector<std::uint8_t>& data, int level) {
  std::vector<std::uint8_t> out(compressBound(data.size()));
  uLongf length = out.size();
  EXPECT_EQ(compress2(out.data(), &length, data.data(), data.size(), level), Z_OK);
  out.resize(length);
  return out;
}

class CompressFileTest : public ::testing::Test {
 protected:
  fs::path source = TestDir() / "source.doc";
  fs::path packed = TestDir() / "packed.tmp";
  fs::path unpacked = TestDir() / "unpacked.doc";
  RecordingProgress progress;
};

TEST_F(CompressFileTest, EmptySourceGivesTheEightByteStreamAndBack) {
  WriteFileBytes(source, {});
  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  EXPECT_EQ(ReadFileBytes(packed), FromHex("78 DA 03 00 00 00 00 01"));
  ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success);
  EXPECT_TRUE(fs::exists(unpacked));
  EXPECT_EQ(fs::file_size(unpacked), 0u);
}

TEST_F(CompressFileTest, RoundTripsAndZlibReadsTheStream) {
  for (const std::size_t size : {1u, 100u, 32767u, 32768u, 32769u, 65536u + 3u, 1000000u}) {
    const auto data = size % 2 ? RandomBytes(size, size) : TextBytes(size);
    WriteFileBytes(source, data);
    ASSERT_EQ(CompressFile(source, packed, &progress), Success) << size;
    const auto stream = ReadFileBytes(packed);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(stream[0], 0x78);
    EXPECT_EQ(stream[1], 0xDA);
    EXPECT_EQ(Uncompress(stream, size), data) << size;
    // Nothing but the one zlib stream: up to a chunk of the parallel path,
    // the same bytes zlib's own level 9 makes.
    if (size <= kDeflateChunkSize) {
      EXPECT_EQ(stream, ZlibCompress(data, 9)) << size;
    }
    ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success) << size;
    EXPECT_EQ(ReadFileBytes(unpacked), data) << size;
  }
}

// A stream's stat size says nothing of its length: a FIFO reports 0, and so
// does a /proc file that holds a page of text. Both are read to their end.
TEST_F(CompressFileTest, StreamsAreReadToTheirEnd) {
  const fs::path fifo = TestDir() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto data = TextBytes(3 * 32768 + 5);
  std::thread writer([&] { WriteFileBytes(fifo, data); });
  const platform::ResultCode fromFifo = CompressFile(fifo, packed, &progress);
  writer.join();
  ASSERT_EQ(fromFifo, Success);
  ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success);
  EXPECT_EQ(ReadFileBytes(unpacked), data);

  ASSERT_EQ(fs::file_size("/proc/self/status"), 0u);
  ASSERT_EQ(CompressFile("/proc/self/status", packed, &progress), Success);
  ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success);
  const auto status = ReadFileBytes(unpacked);
  EXPECT_GT(status.size(), 100u);
  EXPECT_EQ(std::string(status.begin(), status.begin() + 5), "Name:");

  EXPECT_EQ(CompressFile("/dev/null", packed, &progress), ErrNoSuchFile) << "a device is not a source";
}

TEST_F(CompressFileTest, ProgressMovesPerPieceOf32768AndEndsAtTheMaximum) {
  WriteFileBytes(source, TextBytes(32768));
  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  EXPECT_EQ(progress.max(), 32768);
  EXPECT_EQ(progress.repainted, (std::vector<std::int64_t>{32768, 32768}));

  progress.repainted.clear();
  WriteFileBytes(source, TextBytes(32769));
  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  EXPECT_EQ(progress.repainted, (std::vector<std::int64_t>{32768, 32769, 32769}));
}

TEST_F(CompressFileTest, ExpansionProgressCountsAgainstTheCompressedSizeAndStops) {
  WriteFileBytes(source, TextBytes(100000));
  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  const auto packed_size = static_cast<std::int64_t>(fs::file_size(packed));
  progress.repainted.clear();
  ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success);
  EXPECT_EQ(progress.max(), packed_size);
  ASSERT_FALSE(progress.repainted.empty());
  EXPECT_EQ(progress.repainted.front(), std::min<std::int64_t>(32768, packed_size));
  EXPECT_EQ(progress.repainted.back(), packed_size);
  EXPECT_EQ(progress.repainted.size(), 4u);  // 32768 * 3 + 1696 expanded bytes
}

TEST_F(CompressFileTest, ArgumentAndExistenceChecks) {
  WriteFileBytes(source, {1, 2, 3});
  EXPECT_EQ(CompressFile("", packed, &progress), ErrInternal);
  EXPECT_EQ(CompressFile(source, "", &progress), ErrInternal);
  EXPECT_EQ(CompressFile(source, packed, nullptr), ErrInternal);
  EXPECT_EQ(CompressFile(TestDir() / "missing", packed, &progress), ErrNoSuchFile);
  EXPECT_FALSE(fs::exists(packed));

  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  // The stream test comes first: a missing or empty name fails it.
  EXPECT_EQ(DecompressFile(TestDir() / "missing", unpacked, &progress), ErrBadPassword);
  EXPECT_EQ(DecompressFile("", unpacked, &progress), ErrBadPassword);
  EXPECT_EQ(DecompressFile(packed, "", &progress), ErrInternal);
  EXPECT_EQ(DecompressFile(packed, unpacked, nullptr), ErrInternal);
  EXPECT_FALSE(fs::exists(unpacked));
}

TEST_F(CompressFileTest, SourceIsNeverItsOwnDestination) {
  const auto data = TextBytes(5000);
  WriteFileBytes(source, data);
  EXPECT_EQ(CompressFile(source, source, &progress), ErrInternal);
  EXPECT_EQ(ReadFileBytes(source), data);
}

TEST_F(CompressFileTest, DefaultLevelStreamIsRefusedWithoutOutput) {
  WriteFileBytes(packed, ZlibCompress(TextBytes(1000), Z_DEFAULT_COMPRESSION));
  ASSERT_EQ(ReadFileBytes(packed)[1], 0x9C);
  EXPECT_EQ(DecompressFile(packed, unpacked, &progress), ErrBadPassword);
  EXPECT_FALSE(fs::exists(unpacked));
  EXPECT_FALSE(IsCompressedFile(packed));
}

TEST_F(CompressFileTest, NoiseAfterTheHeaderIsABadFileNeverSuccess) {
  auto noise = RandomBytes(5000, 99);
  noise[0] = 0x78;
  noise[1] = 0xDA;
  WriteFileBytes(packed, noise);
  EXPECT_TRUE(IsCompressedFile(packed));
  EXPECT_EQ(DecompressFile(packed, unpacked, &progress), ErrBadFile);
  EXPECT_FALSE(fs::exists(unpacked));  // no half-made output passes for the file
}

TEST_F(CompressFileTest, CutOffOrCorruptedStreamIsABadFile) {
  const auto data = RandomBytes(200000, 5);
  WriteFileBytes(source, data);
  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  const auto stream = ReadFileBytes(packed);

  for (const std::size_t keep :
       {std::size_t{2}, std::size_t{100}, stream.size() / 2, stream.size() - 4, stream.size() - 1}) {
    WriteFileBytes(packed, std::vector<std::uint8_t>(stream.begin(), stream.begin() + keep));
    EXPECT_EQ(DecompressFile(packed, unpacked, &progress), ErrBadFile) << keep;
    EXPECT_FALSE(fs::exists(unpacked)) << keep;
  }

  auto wrong_checksum = stream;
  wrong_checksum.back() ^= 1;
  WriteFileBytes(packed, wrong_checksum);
  EXPECT_EQ(DecompressFile(packed, unpacked, &progress), ErrBadFile);
}

TEST_F(CompressFileTest, BytesAfterTheStreamAreIgnored) {
  const auto data = TextBytes(3000);
  WriteFileBytes(source, data);
  ASSERT_EQ(CompressFile(source, packed, &progress), Success);
  auto stream = ReadFileBytes(packed);
  stream.insert(stream.end(), {'t', 'r', 'a', 'i', 'l'});
  WriteFileBytes(packed, stream);
  ASSERT_EQ(DecompressFile(packed, unpacked, &progress), Success);
  EXPECT_EQ(ReadFileBytes(unpacked), data);
}

TEST_F(CompressFileTest, AnUnwritableDestinationGivesTheSystemsCode) {
  WriteFileBytes(source, {1, 2, 3});
  EXPECT_EQ(CompressFile(source, TestDir(), &progress), EISDIR);
  EXPECT_EQ(CompressFile(source, TestDir() / "no" / "dir", &progress), ENOENT);
}

TEST(IsCompressedFileTest, NeedsBothHeaderBytes) {
  const auto path = TestDir() / "f";
  EXPECT_FALSE(IsCompressedFile(path));
  EXPECT_FALSE(IsCompressedFile(""));
  WriteFileBytes(path, {0x78});
  EXPECT_FALSE(IsCompressedFile(path));
  WriteFileBytes(path, {0x78, 0xDA});
  EXPECT_TRUE(IsCompressedFile(path));
  EXPECT_FALSE(IsCompressedFile(TestDir()));
}

// ---------------------------------------------------------------------------

TEST(ZlibStreamTest, CompressionStreamOnlyWritesAndTellsItsPosition) {
  const auto path = TestDir() / "z";
  platform::File out(path, platform::File::Mode::CreateNew);
  TCompressionStream stream(TCompressionLevel::clFastest, out);
  const auto data = TextBytes(70000);
  stream.Write(data);
  EXPECT_EQ(stream.Position(), 70000u);
  EXPECT_EQ(stream.Seek(0, TSeekOrigin::soCurrent), 70000u);
  std::vector<std::uint8_t> buffer(4);
  EXPECT_THROW(
      {
        try {
          stream.Read(buffer);
        } catch (const ECompressionError& e) {
          EXPECT_STREQ(e.what(), "Invalid stream operation");
          throw;
        }
      },
      ECompressionError);
  EXPECT_THROW(stream.Seek(0, TSeekOrigin::soBeginning), ECompressionError);
  EXPECT_THROW(stream.Seek(1, TSeekOrigin::soCurrent), ECompressionError);
  stream.Finish();
  out.close();
  const auto bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes[1], 0x01);  // level 1 marks its header as the fastest
  EXPECT_EQ(Uncompress(bytes, data.size()), data);
}

TEST(ZlibStreamTest, DecompressionStreamReadsSkipsAndStartsOver) {
  const auto path = TestDir() / "z";
  const auto data = RandomBytes(150000, 3);
  auto file_bytes = std::vector<std::uint8_t>{'h', 'e', 'a', 'd'};
  const auto stream_bytes = ZlibCompress(data, 6);
  file_bytes.insert(file_bytes.end(), stream_bytes.begin(), stream_bytes.end());
  WriteFileBytes(path, file_bytes);

  platform::File in(path, platform::File::Mode::Read);
  in.seek(4);  // the stream starts where the source stands
  TDecompressionStream stream(in);
  std::vector<std::uint8_t> buffer(10);
  ASSERT_EQ(stream.Read(buffer), 10u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), data.begin()));
  EXPECT_EQ(stream.Seek(100000, TSeekOrigin::soBeginning), 100000u);
  ASSERT_EQ(stream.Read(buffer), 10u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), data.begin() + 100000));
  EXPECT_THROW(stream.Seek(5, TSeekOrigin::soBeginning), EDecompressionError);
  EXPECT_THROW(stream.Seek(0, TSeekOrigin::soEnd), EDecompressionError);
  EXPECT_EQ(stream.Seek(0, TSeekOrigin::soBeginning), 0u);
  ASSERT_EQ(stream.Read(buffer), 10u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), data.begin()));

  std::vector<std::uint8_t> rest(200000);
  EXPECT_EQ(stream.Read(rest), data.size() - 10);  // short only at the end
  EXPECT_TRUE(stream.StreamEnded());
  EXPECT_EQ(stream.Read(rest), 0u);
  EXPECT_THROW(stream.Write(buffer), EDecompressionError);
}

}  // namespace
}  // namespace voltare::transforms
