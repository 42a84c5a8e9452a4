// SPDX-License-Identifier: GPL-3.0-or-later
// Random, text and mixed data through every algorithm: each file decrypts to
// a stream that an independent decoder reads (Python's zlib for the three
// older algorithms, whose incompressible pieces are stored; libzstd called
// directly for sealed files of version 2), and round-trips through the
// program's own decryption and read-back. Then the sealed files a hostile
// writer could make, and the version-1 sealed files the program wrote before.

#include <gtest/gtest.h>
#include <zstd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/scoped_env.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/file_io.h"
#include "transforms/key_material.h"
#include "transforms/parallel_deflate.h"
#include "transforms/recording_progress.h"
#include "transforms/sealed_expand.h"
#include "transforms/test_data.h"
#include "transforms/verify.h"
#include "transforms/xchacha_file.h"
#include "transforms/zstd_streams.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using platform::ResultCode;
using platform::Success;
using testing::RandomBytes;
using testing::RecordingProgress;
using testing::TextBytes;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

constexpr char kPassword[] = "pass phrase";
constexpr std::size_t kChunk = kDeflateChunkSize;

Bytes Mixed(std::size_t size) {
  Bytes data = TextBytes(size);
  const Bytes noise = RandomBytes(2 * kChunk, 3);
  std::copy(noise.begin(), noise.end(), data.begin() + static_cast<std::ptrdiff_t>(size / 4));
  return data;
}

Bytes PythonInflate(const fs::path& stream) {
  const fs::path out = TestDir() / "python.out";
  const std::string command =
      "python3 -c 'import sys, zlib; open(sys.argv[2], \"wb\").write(zlib.decompress(open(sys.argv[1], "
      "\"rb\").read()))' '" +
      stream.string() + "' '" + out.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return ReadFileBytes(out);
}

Bytes LibzstdExpand(const Bytes& frame, std::size_t size) {
  Bytes out(size + 1);
  const std::size_t got = ZSTD_decompress(out.data(), out.size(), frame.data(), frame.size());
  EXPECT_FALSE(ZSTD_isError(got)) << ZSTD_getErrorName(got);
  out.resize(ZSTD_isError(got) ? 0 : got);
  return out;
}

// One algorithm as the program uses it: how a file becomes a ".vlt", and how
// the ".vlt" becomes its compressed stream again.
struct Algorithm {
  const char* name;
  std::function<ResultCode(const fs::path&, const fs::path&, KeyMaterial&)> encrypt;
  std::function<ResultCode(const fs::path&, const fs::path&, KeyMaterial&)> decrypt;
};

RecordingProgress progress;

// The DES key as the program takes it from the key block: (low, high).
std::uint32_t DesHalf(const KeyMaterial& key, int which) {
  return static_cast<std::uint32_t>(DesKeyFromKeyBlock(*key.keyBlock) >> (32 * which));
}

// Compressed as the program does (on the workers when there are several,
// the same bytes as its one pass), then encrypted by `encrypt`.
ResultCode TwoSteps(const fs::path& from, const fs::path& to,
                    const std::function<ResultCode(const fs::path&, const fs::path&)>& encrypt) {
  const fs::path packed = TestDir() / "packed";
  const ResultCode compressed = CompressFile(from, packed, &progress);
  return compressed != Success ? compressed : encrypt(packed, to);
}

const Algorithm kAlgorithms[] = {
    {"Blowfish",
     [](const fs::path& from, const fs::path& to, KeyMaterial&) {
       return TwoSteps(from, to, [](const fs::path& packed, const fs::path& vlt) {
         return BlowfishEncryptFile(packed, vlt, kPassword, &progress, false);
       });
     },
     [](const fs::path& from, const fs::path& to, KeyMaterial&) {
       return BlowfishDecryptFile(from, to, kPassword, &progress, false);
     }},
    {"CAST-128",
     [](const fs::path& from, const fs::path& to, KeyMaterial&) {
       return TwoSteps(from, to, [](const fs::path& packed, const fs::path& vlt) {
         return Cast5EncryptFile(packed, vlt, kPassword, &progress);
       });
     },
     [](const fs::path& from, const fs::path& to, KeyMaterial&) {
       return Cast5DecryptFile(from, to, kPassword, &progress);
     }},
    {"DES",
     [](const fs::path& from, const fs::path& to, KeyMaterial& key) {
       return TwoSteps(from, to, [&](const fs::path& packed, const fs::path& vlt) {
         return DesEncryptFile(packed, vlt, DesHalf(key, 0), DesHalf(key, 1), &progress);
       });
     },
     [](const fs::path& from, const fs::path& to, KeyMaterial& key) {
       return DesDecryptFile(from, to, DesHalf(key, 0), DesHalf(key, 1), &progress);
     }},
    {"XChaCha20-Poly1305",
     [](const fs::path& from, const fs::path& to, KeyMaterial& key) {
       return XChaChaCompressEncryptFile(from, to, key.sealedKeys->ForEncryption(kPassword), &progress, {});
     },
     [](const fs::path& from, const fs::path& to, KeyMaterial& key) {
       return XChaChaDecryptFile(from, to, *key.sealedKeys, kPassword, &progress);
     }},
};

// SealedDecryptExpandFile into `out`; the output is made only when asked for.
ResultCode OpenSealedInto(const fs::path& vlt, const fs::path& out, bool* opened = nullptr) {
  std::optional<platform::File> file;
  SealedKeyRing ring;
  return SealedDecryptExpandFile(vlt, ring, kPassword, &progress, [&]() -> platform::File& {
    if (opened != nullptr) *opened = true;
    return file.emplace(out, platform::File::Mode::CreateTruncate);
  });
}

TEST(RealData, EveryKindThroughEveryAlgorithmGivesAStreamIndependentDecodersRead) {
  const fs::path plain = TestDir() / "plain", vlt = TestDir() / "plain.vlt", stream = TestDir() / "stream",
                 back = TestDir() / "back";
  const struct {
    const char* kind;
    Bytes data;
  } kinds[] = {
      {"random", RandomBytes(3 * kChunk + 5, 9)}, {"text", TextBytes(3 * kChunk)}, {"mixed", Mixed(5 * kChunk)}};
  for (const char* threads : {"1", "2"}) {
    const voltare::testing::ScopedEnv workers("VOLTARE_THREADS", threads);
    for (const auto& [kind, data] : kinds) {
      WriteFileBytes(plain, data);
      for (const Algorithm& algorithm : kAlgorithms) {
        SCOPED_TRACE(std::string(algorithm.name) + ", " + kind + ", threads " + threads);
        KeyMaterial key(kPassword);
        ASSERT_EQ(algorithm.encrypt(plain, vlt, key), Success);
        ASSERT_EQ(algorithm.decrypt(vlt, stream, key), Success);
        const bool sealed = std::string(algorithm.name) == "XChaCha20-Poly1305";
        EXPECT_EQ(sealed ? LibzstdExpand(ReadFileBytes(stream), data.size()) : PythonInflate(stream), data);
        EXPECT_EQ(VerifyEncryptedFile(vlt, plain, key, &progress), Success);
        if (sealed) {
          EXPECT_EQ(ReadFileBytes(vlt)[13], kSealedZstdVersion);
          ASSERT_EQ(OpenSealedInto(vlt, back), Success);
          EXPECT_EQ(ReadFileBytes(back), data);
        }
        // Incompressible data costs at most a few bytes per stored block or piece.
        if (std::string(kind) == "random") {
          EXPECT_LT(fs::file_size(vlt), data.size() + data.size() / 256 + 128);
        }
      }
    }
  }
}

// A version-2 file sealed with the right key around a plain text that is no
// good frame: the pieces open, the expansion refuses it.
Bytes SealAround(const Bytes& plain, std::uint8_t version) {
  SealedKeyRing ring;
  Bytes file;
  struct VectorSink final : crypto::ByteSink {
    explicit VectorSink(Bytes& into) : file_bytes(into) {}
    void Write(std::span<const std::uint8_t> more) override {
      file_bytes.insert(file_bytes.end(), more.begin(), more.end());
    }
    Bytes& file_bytes;
  } sink(file);
  SealingSink sealing(ring.ForEncryption(kPassword), sink, version);
  sealing.Write(plain);
  sealing.Finish();
  return file;
}

Bytes ZstdFrame(const Bytes& data) {
  Bytes frame(ZSTD_compressBound(data.size()));
  frame.resize(ZSTD_compress(frame.data(), frame.size(), data.data(), data.size(), 1));
  return frame;
}

TEST(RealData, HostileVersionTwoFramesAreTamperedAndReachNoOutput) {
  const Bytes text = TextBytes(3 * kSealedPieceSize);
  const Bytes good = ZstdFrame(text);
  Bytes flipped = good;
  flipped[flipped.size() / 2] ^= 0x40;
  const Bytes cut(good.begin(), good.end() - 9);
  Bytes longer = good;
  longer.push_back(0);
  // A frame header that asks for a 1 GiB window (exponent 30 - 10 in the
  // window descriptor), followed by a block that would fill it.
  const Bytes huge_window = {0x28, 0xB5, 0x2F, 0xFD, 0x00, (30 - 10) << 3, 0x01, 0x00, 0x00, 0xAA};
  const Bytes neither = RandomBytes(1000, 4);
  const struct {
    const char* name;
    Bytes plain;
  } hostile[] = {{"damaged frame", flipped},
                 {"frame ends early", cut},
                 {"bytes after the frame", longer},
                 {"huge window", huge_window},
                 {"no known stream", neither}};
  const voltare::testing::ScopedEnv workers("VOLTARE_THREADS", "2");
  for (const auto& [name, plain] : hostile) {
    SCOPED_TRACE(name);
    const fs::path vlt = TestDir() / "hostile.vlt";
    WriteFileBytes(vlt, SealAround(plain, kSealedZstdVersion));
    EXPECT_EQ(OpenSealedInto(vlt, TestDir() / "out"), platform::ErrTampered);
    KeyMaterial key(kPassword);
    EXPECT_EQ(CheckEncryptedFile(vlt, key, &progress), platform::ErrTampered);
  }
  // The window bound itself: what the program writes stays inside it.
  EXPECT_LT(kZstdWindowLog, kZstdWindowLogMax);
}

// Version-1 files (a zlib stream inside) still open, are read back and
// checked, on one thread and on two.
TEST(RealData, VersionOneSealedFilesStillOpen) {
  const Bytes text = Mixed(3 * kChunk);
  const fs::path plain = TestDir() / "old", packed = TestDir() / "old.z", vlt = TestDir() / "old.vlt";
  WriteFileBytes(plain, text);
  ASSERT_EQ(CompressFile(plain, packed, &progress), Success);
  SealedKeyRing ring;
  ASSERT_EQ(XChaChaEncryptFile(packed, vlt, ring.ForEncryption(kPassword), &progress), Success);
  ASSERT_EQ(ReadFileBytes(vlt)[13], kSealedZlibVersion);
  for (const char* threads : {"1", "2"}) {
    const voltare::testing::ScopedEnv workers("VOLTARE_THREADS", threads);
    ASSERT_EQ(OpenSealedInto(vlt, TestDir() / "old.out"), Success) << threads;
    EXPECT_EQ(ReadFileBytes(TestDir() / "old.out"), text) << threads;
    KeyMaterial key(kPassword);
    EXPECT_EQ(VerifyEncryptedFile(vlt, plain, key, &progress), Success) << threads;
  }
}

}  // namespace
}  // namespace voltare::transforms
