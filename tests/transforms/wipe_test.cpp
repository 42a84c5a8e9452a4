// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/wipe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/os_error.h"
#include "support/local_time.h"
#include "support/test_env.h"
#include "transforms/recording_progress.h"
#include "transforms/wipe_random.h"

namespace voltare::transforms {
namespace {

namespace fs = std::filesystem;
using platform::ErrInternal;
using platform::ErrNoSuchFile;
using platform::Success;
using testing::RecordingProgress;
using voltare::testing::LocalMoment;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

constexpr std::uint32_t kFixedClock = 1234567890;
// The generator's first draws from kFixedClock, modulo 256.
constexpr std::uint8_t kDrawBytes[] = {58, 116, 5, 197, 193, 127, 148, 59, 240};

// What the engine did to the file, in order.
struct WipeEvent {
  enum Kind { Write, Seek, Rewind, Flush, FlushData, Truncate, TimeChange, Close } kind;
  std::size_t length = 0;      // Write; Seek: the offset
  std::uint8_t firstByte = 0;  // Write
  bool uniform = true;         // Write: every byte equal to firstByte
  std::time_t when = 0;        // TimeChange
};

struct WipeLog {
  std::vector<WipeEvent> events;

  std::vector<WipeEvent> of(WipeEvent::Kind kind) const {
    std::vector<WipeEvent> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [&](const WipeEvent& e) { return e.kind == kind; });
    return found;
  }
  std::size_t count(WipeEvent::Kind kind) const { return of(kind).size(); }
};

// Passes everything to the real file and notes it; optionally reports a
// different size or cuts one write short.
class RecordingWipeFile final : public WipeFile {
 public:
  RecordingWipeFile(std::unique_ptr<WipeFile> real, WipeLog& log) : real_(std::move(real)), log_(log) {}

  std::uint64_t size() override { return real_->size(); }
  std::size_t write(std::span<const std::uint8_t> data) override {
    WipeEvent event{WipeEvent::Write};
    event.length = data.size();
    event.firstByte = data.empty() ? 0 : data[0];
    event.uniform = std::all_of(data.begin(), data.end(), [&](std::uint8_t b) { return b == event.firstByte; });
    log_.events.push_back(event);
    return real_->write(data);
  }
  std::vector<WipeExtent> allocatedExtents(std::uint64_t size) override { return real_->allocatedExtents(size); }
  void seek(std::uint64_t offset) override {
    WipeEvent event{WipeEvent::Seek};
    event.length = offset;
    log_.events.push_back(event);
    real_->seek(offset);
  }
  void rewind() override {
    log_.events.push_back({WipeEvent::Rewind});
    real_->rewind();
  }
  void flush() override {
    log_.events.push_back({WipeEvent::Flush});
    real_->flush();
  }
  void flushData() override {
    log_.events.push_back({WipeEvent::FlushData});
    real_->flushData();
  }
  void truncateToZero() override {
    log_.events.push_back({WipeEvent::Truncate});
    real_->truncateToZero();
  }
  void setLastWriteTime(std::time_t when) override {
    WipeEvent event{WipeEvent::TimeChange};
    event.when = when;
    log_.events.push_back(event);
    real_->setLastWriteTime(when);
  }
  void close() override {
    log_.events.push_back({WipeEvent::Close});
    real_->close();
  }

 private:
  std::unique_ptr<WipeFile> real_;
  WipeLog& log_;
};

// A file that exists only in memory: any size, nothing stored. The engine
// owns and destroys it, so tests watch it through the callbacks.
class ImaginaryWipeFile final : public WipeFile {
 public:
  explicit ImaginaryWipeFile(std::uint64_t size) : size_(size) {}

  std::function<std::size_t(std::span<const std::uint8_t>)> onWrite;
  std::function<void()> onFlushData;
  std::function<void(std::time_t)> onTimeChange;
  bool* emptied = nullptr;  // set when the file is cut to zero

  std::uint64_t size() override { return size_; }
  std::size_t write(std::span<const std::uint8_t> data) override { return onWrite ? onWrite(data) : data.size(); }
  void seek(std::uint64_t) override {}
  void rewind() override {}
  void flush() override {}
  void flushData() override {
    if (onFlushData) onFlushData();
  }
  void truncateToZero() override {
    size_ = 0;
    if (emptied != nullptr) *emptied = true;
  }
  void setLastWriteTime(std::time_t when) override {
    if (onTimeChange) onTimeChange(when);
  }
  void close() override {}

 private:
  std::uint64_t size_;
};

class WipeTest : public ::testing::Test {
 protected:
  fs::path MakeFile(std::size_t size, const std::string& name = "secret.txt") {
    const auto path = TestDir() / name;
    WriteFileBytes(path, std::vector<std::uint8_t>(size, 0x5A));
    return path;
  }

  // Real files, watched; a fixed clock so every random value is known.
  WipeEnvironment Watched() {
    WipeEnvironment environment;
    environment.wrapFile = [this](std::unique_ptr<WipeFile> opened) {
      return std::make_unique<RecordingWipeFile>(std::move(opened), log);
    };
    environment.clock = [] { return kFixedClock; };
    environment.showError = [this](const std::string& message) { errors.push_back(message); };
    return environment;
  }

  WipeEnvironment Imaginary(std::unique_ptr<ImaginaryWipeFile>& file) {
    WipeEnvironment environment;
    environment.wrapFile = [&file](std::unique_ptr<WipeFile>) -> std::unique_ptr<WipeFile> { return std::move(file); };
    environment.clock = [] { return kFixedClock; };
    environment.showError = [this](const std::string& message) { errors.push_back(message); };
    return environment;
  }

  static std::vector<std::size_t> WriteLengths(const WipeLog& log) {
    std::vector<std::size_t> lengths;
    for (const auto& e : log.of(WipeEvent::Write)) lengths.push_back(e.length);
    return lengths;
  }

  void ExpectGoneWithoutTrace(const fs::path& path) {
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(NeutralWipePath(path)));
  }

  WipeLog log;
  std::vector<std::string> errors;
  RecordingProgress progress;
};

// --- the generator -------------------------------------------------------------

TEST(PseudoRandomTest, FirstDrawsForFixedSeeds) {
  PseudoRandom random;
  random.Seed(0);
  EXPECT_EQ(random.Next(), 0U);
  EXPECT_EQ(random.Next(), 0U);
  EXPECT_EQ(random.Next(), 119927U);
  EXPECT_EQ(random.Next(), 950081144U);
  EXPECT_EQ(random.Next(), 759785117U);

  random.Seed(1234567890);
  for (std::uint32_t expected : {6523706U, 376454004U, 854543621U, 236635845U, 981557697U, 678574463U}) {
    EXPECT_EQ(random.Next(), expected);
  }
}

TEST(PseudoRandomTest, StateIsSixtyFourBitsAndDrawsThirtyOne) {
  PseudoRandom random;
  random.Seed(0xFFFFFFFFU);
  EXPECT_EQ(random.state(), 0xFFFFFFFFULL);  // upper half zero after seeding
  EXPECT_EQ(random.Next(), 22695476U);
  EXPECT_EQ(random.state(), 0xFFFFFFFFULL * 22695477ULL + 1);
  EXPECT_EQ(random.Next(), 2133230209U);
  EXPECT_EQ(random.Next(), 1908830723U);
  for (int i = 0; i < 1000; ++i) EXPECT_LE(random.Next(), 0x7FFFFFFFU);
}

TEST(PseudoRandomTest, RandomByteIsDrawModulo256) {
  PseudoRandom random;
  random.Seed(kFixedClock);
  for (std::uint8_t expected : kDrawBytes) EXPECT_EQ(random.NextByte(), expected);
}

// --- Government Wipe ---------------------------------------------------------------

TEST_F(WipeTest, GovernmentWipeWritesEachPassValueInOrder) {
  const auto path = MakeFile(1);
  ASSERT_EQ(GovernmentWipeFile(path, &progress, Watched()), Success);

  const auto writes = log.of(WipeEvent::Write);
  ASSERT_EQ(writes.size(), 52U);
  std::vector<std::uint8_t> values;
  for (const auto& w : writes) values.push_back(w.firstByte);

  // The clock never moves here, so every time change reseeds to the same
  // state: pass 0 takes draws 0-3 and 4-6, later passes draws 2-5 and 6-8.
  const std::vector<std::uint8_t> expected = {
      kDrawBytes[0], kDrawBytes[3], kDrawBytes[4], kDrawBytes[5], 0x55, 0xAA, 0x92, 0x49, 0x24, 0x49, 0x24, 0x92,
      0x24,          0x92,          0x49,          0x00,          0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
      0x99,          0xAA,          0xBB,          0xCC,          0xDD, 0xEE, 0xFF, 0x92, 0x49, 0x24, 0x49, 0x24,
      0x92,          0x24,          0x92,          0x49,          0x6D, 0xB6, 0xDB, 0xB6, 0xDB, 0x6D, 0xDB, 0x6D,
      0xB6,          0x00,          kDrawBytes[8], kDrawBytes[7]};
  EXPECT_EQ(values, expected);
  EXPECT_EQ(GovernmentPatterns[52], kDrawBytes[6]);
  ExpectGoneWithoutTrace(path);
}

TEST_F(WipeTest, GovernmentWipeOfOneByteChangesTimeAndFlushesEveryPass) {
  const auto path = MakeFile(1);
  ASSERT_EQ(GovernmentWipeFile(path, &progress, Watched()), Success);

  EXPECT_EQ(WriteLengths(log), std::vector<std::size_t>(52, 1));
  EXPECT_EQ(log.count(WipeEvent::TimeChange), 52U);
  EXPECT_EQ(log.count(WipeEvent::FlushData), 52U);  // each pass
  EXPECT_EQ(log.count(WipeEvent::Truncate), 1U);
  // Each pass: write, time change, rewind, flush of the data; the end: the
  // last pass and times flushed, then cut, flush, close.
  const auto& e = log.events;
  ASSERT_EQ(e.size(), 52U * 4 + 4);
  EXPECT_EQ(e[0].kind, WipeEvent::Write);
  EXPECT_EQ(e[1].kind, WipeEvent::TimeChange);
  EXPECT_EQ(e[2].kind, WipeEvent::Rewind);
  EXPECT_EQ(e[3].kind, WipeEvent::FlushData);
  EXPECT_EQ(e[208].kind, WipeEvent::Flush);
  EXPECT_EQ(e[209].kind, WipeEvent::Truncate);
  EXPECT_EQ(e[210].kind, WipeEvent::Flush);
  EXPECT_EQ(e[211].kind, WipeEvent::Close);

  std::vector<std::int64_t> expectedRepaints(52);
  std::iota(expectedRepaints.begin(), expectedRepaints.end(), 1);
  expectedRepaints.push_back(0);
  EXPECT_EQ(progress.repainted, expectedRepaints);
  EXPECT_EQ(progress.max(), 52);
  EXPECT_TRUE(errors.empty());
}

TEST_F(WipeTest, GovernmentPassCoversFileInChunks) {
  for (const std::size_t size : {2048UL, kWipeChunkSize, kWipeChunkSize + 1, 2 * kWipeChunkSize + 5}) {
    SCOPED_TRACE(size);
    log.events.clear();
    const auto path = MakeFile(size);
    ASSERT_EQ(GovernmentWipeFile(path, nullptr, Watched()), Success);
    const auto lengths = WriteLengths(log);
    ASSERT_EQ(lengths.size() % 52, 0U);
    const std::vector<std::size_t> firstPass(lengths.begin(), lengths.begin() + static_cast<long>(lengths.size() / 52));
    std::vector<std::size_t> expected(size / kWipeChunkSize, kWipeChunkSize);
    if (size % kWipeChunkSize != 0) expected.push_back(size % kWipeChunkSize);
    EXPECT_EQ(firstPass, expected);
    for (const auto& w : log.of(WipeEvent::Write)) EXPECT_TRUE(w.uniform);
    EXPECT_EQ(log.count(WipeEvent::TimeChange), 52U);
    ExpectGoneWithoutTrace(path);
  }
}

// --- Normal Wipe -------------------------------------------------------------------

// Each pass: whole chunks, each followed by a time change, then the rest;
// the pass's data flushed once at its end, before the next pass.
// The last pass and its times reach the disk before the file is cut: cutting
// first would let the kernel drop the unwritten tail and leave the original
// bytes in the freed blocks.
TEST_F(WipeTest, NormalWipeFlushesEveryPassWholeBeforeTheNextAndBeforeCutting) {
  using K = WipeEvent::Kind;
  for (const std::size_t size : {1UL, 2047UL, 2048UL, 2049UL, kWipeChunkSize, 2 * kWipeChunkSize + 1}) {
    for (const int passes : {1, 3}) {
      SCOPED_TRACE(::testing::Message() << size << " bytes, " << passes << " passes");
      log.events.clear();
      const auto path = MakeFile(size);
      ASSERT_EQ(NormalWipeFile(path, passes, &progress, Watched()), Success);

      std::vector<K> expected;
      for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t left = size; left > kWipeChunkSize; left -= kWipeChunkSize) {
          expected.insert(expected.end(), {K::Write, K::TimeChange});
        }
        expected.insert(expected.end(), {K::Write, K::FlushData, K::Rewind});
      }
      expected.insert(expected.end(), {K::Flush, K::Truncate, K::Flush, K::Close});
      std::vector<K> kinds;
      for (const auto& e : log.events) kinds.push_back(e.kind);
      EXPECT_EQ(kinds, expected);
      EXPECT_EQ(log.of(WipeEvent::Write)[0].firstByte, kDrawBytes[0]);
      ExpectGoneWithoutTrace(path);
    }
  }
}

TEST_F(WipeTest, NormalWipeWithThreePassesRepeatsOneRandomBlock) {
  constexpr std::size_t kChunk = kWipeChunkSize;
  constexpr std::size_t kSize = 2 * kChunk + 904;
  const auto path = MakeFile(kSize);
  ASSERT_EQ(NormalWipeFile(path, 3, &progress, Watched()), Success);

  EXPECT_EQ(WriteLengths(log),
            (std::vector<std::size_t>{kChunk, kChunk, 904, kChunk, kChunk, 904, kChunk, kChunk, 904}));
  EXPECT_EQ(log.count(WipeEvent::TimeChange), 6U);
  for (const auto& w : log.of(WipeEvent::Write)) {
    EXPECT_EQ(w.firstByte, kDrawBytes[0]);
    EXPECT_FALSE(w.uniform);
  }
  // The indicator is full after the first pass and only emptied at the end.
  ASSERT_EQ(progress.repainted.size(), 10U);
  EXPECT_EQ(progress.repainted[2], static_cast<std::int64_t>(kSize));
  EXPECT_GE(progress.repainted[8], progress.max());
  EXPECT_EQ(progress.repainted.back(), 0);
  ExpectGoneWithoutTrace(path);
}

TEST_F(WipeTest, NormalWipeBlockIsTheGeneratorsBytesInOrder) {
  // The data itself: 2048 draws of the generator seeded from the clock,
  // repeated over the file.
  auto file = std::make_unique<ImaginaryWipeFile>(2 * 2048 + 5);
  std::vector<std::uint8_t> written;
  file->onWrite = [&](std::span<const std::uint8_t> data) {
    written.insert(written.end(), data.begin(), data.end());
    return data.size();
  };
  const auto path = MakeFile(1);
  ASSERT_EQ(NormalWipeFile(path, 1, nullptr, Imaginary(file)), Success);

  PseudoRandom random;
  random.Seed(kFixedClock);
  std::vector<std::uint8_t> block(2048);
  for (auto& b : block) b = random.NextByte();
  std::vector<std::uint8_t> expected = block;
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), block.begin(), block.begin() + 5);
  EXPECT_EQ(written, expected);
}

TEST_F(WipeTest, PassCountsBelowOneAreRefusedAndTheFileStays) {
  for (int passes : {0, -3}) {
    SCOPED_TRACE(passes);
    log.events.clear();
    errors.clear();
    const auto path = MakeFile(3000);
    ASSERT_EQ(NormalWipeFile(path, passes, &progress, Watched()), platform::ErrReported);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(3000, 0x5A));
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0], "KOVA Voltare caused an unexpected error: a wipe of " + path.string() + " was asked with " +
                             std::to_string(passes) + " passes.\nThe file is left as it is.");
  }
}

// --- what is and is not wiped --------------------------------------------------

TEST_F(WipeTest, NamesThatAreNoPlainFileGetTheirOwnOutcome) {
  const auto kept = MakeFile(100, "kept.txt");
  struct Case {
    std::string name;
    std::function<void(const fs::path&)> make;
    platform::ResultCode result;
    std::string message;  // after the path; empty when none is shown
  };
  const std::string skipped = " File skipped.";
  const Case cases[] = {
      {"missing.txt", [](const fs::path&) {}, ErrNoSuchFile, ""},
      {"empty.txt", [](const fs::path& p) { WriteFileBytes(p, {}); }, Success, ""},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, platform::ErrReported,
       ". It is a folder, not a file." + skipped},
      {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, platform::ErrReported,
       ". It is a named pipe (FIFO), not a file." + skipped},
      {"link", [&](const fs::path& p) { fs::create_symlink(kept, p); }, platform::ErrReported,
       ". It is a symbolic link; wiping it would empty the file it points to." + skipped},
      {"second-name.txt", [&](const fs::path& p) { fs::create_hard_link(kept, p); }, platform::ErrReported,
       ". It has other names (hard links) that would lose their content." + skipped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    errors.clear();
    const auto path = TestDir() / c.name;
    c.make(path);
    EXPECT_EQ(NormalWipeFile(path, 3, &progress, Watched()), c.result);
    EXPECT_EQ(GovernmentWipeFile(path, &progress, Watched()), c.result == Success ? ErrNoSuchFile : c.result);
    if (c.message.empty()) {
      EXPECT_TRUE(errors.empty());
    } else {
      EXPECT_EQ(errors, std::vector<std::string>(2, "Unable to wipe file " + path.string() + c.message));
    }
    EXPECT_EQ(fs::exists(fs::symlink_status(path)), c.result == platform::ErrReported);
  }
  EXPECT_EQ(log.count(WipeEvent::Write), 0U);
  EXPECT_EQ(ReadFileBytes(kept), std::vector<std::uint8_t>(100, 0x5A));
}

TEST_F(WipeTest, FileLockedByAnotherOpenerIsLeftUntouched) {
  const auto path = MakeFile(100);
  platform::File holder(path, platform::File::Mode::Read);
  holder.lockExclusive();

  progress.setPosition(7);
  const auto result = GovernmentWipeFile(path, &progress, Watched());
  EXPECT_EQ(result, EWOULDBLOCK);
  EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(100, 0x5A));
  EXPECT_EQ(progress.position(), 0);
}

TEST_F(WipeTest, ReadOnlyFileGivesThePermissionError) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const auto path = MakeFile(100);
  fs::permissions(path, fs::perms::owner_read);
  EXPECT_EQ(NormalWipeFile(path, 1, nullptr, Watched()), EACCES);
  EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(100, 0x5A));
}

// --- the neutral name ------------------------------------------------------------

TEST_F(WipeTest, TakenNeutralNameIsReportedAndTheOriginalNameStillRemoved) {
  const auto path = MakeFile(3000);
  const auto neutral = NeutralWipePath(path);
  EXPECT_EQ(neutral.parent_path(), path.parent_path());
  EXPECT_EQ(neutral.filename().string(), std::string(156, 'a'));
  WriteFileBytes(neutral, {1, 2, 3});

  EXPECT_EQ(GovernmentWipeFile(path, nullptr, Watched()), platform::ErrReported);
  EXPECT_EQ(log.count(WipeEvent::Write), 52U);  // every pass ran
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(ReadFileBytes(neutral), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(errors.back(), "File " + path.string() +
                               " was overwritten, but it could not be moved to a neutral name before its removal "
                               "(File exists).\nIts name was removed.");
}

// Every pass starts at the first byte and ends at the last: nothing of the
// old contents is left, and the file does not grow.
TEST_F(WipeTest, PassesCoverTheFileInPlace) {
  for (const bool government : {false, true}) {
    SCOPED_TRACE(government ? "government" : "normal");
    const auto path = MakeFile(5000);
    WipeEnvironment environment = Watched();
    std::vector<std::uint8_t> last;
    environment.afterOverwrite = [&] { last = ReadFileBytes(path); };
    ASSERT_EQ(
        government ? GovernmentWipeFile(path, nullptr, environment) : NormalWipeFile(path, 1, nullptr, environment),
        Success);
    ASSERT_EQ(last.size(), 5000U);
    // The last pass of either method is random bytes: a run of eight old
    // bytes in a row would be a stretch it never reached.
    const std::vector<std::uint8_t> oldRun(8, 0x5A);
    EXPECT_EQ(std::search(last.begin(), last.end(), oldRun.begin(), oldRun.end()), last.end());
  }
}

// Someone who may write in the folder changes it while the file is
// overwritten: nothing but the overwritten file may be touched, and nothing
// is deleted.
TEST_F(WipeTest, FolderOrNameChangedDuringTheOverwriteStopsBeforeAnyRemoval) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& folder, const fs::path& elsewhere)> change;
    std::string message;
  };
  const Case cases[] = {
      {"folder swapped for a link",
       [](const fs::path& folder, const fs::path& elsewhere) {
         fs::rename(folder, folder.string() + ".moved");
         fs::create_directory_symlink(elsewhere, folder);
       },
       "its folder was moved or replaced while the file was overwritten."},
      {"name swapped for another file",
       [](const fs::path& folder, const fs::path&) {
         fs::rename(folder / "secret.txt", folder / "secret.old");
         WriteFileBytes(folder / "secret.txt", {7, 7, 7});
       },
       "its name now refers to another file."},
      {"name swapped for a FIFO",
       [](const fs::path& folder, const fs::path&) {
         fs::remove(folder / "secret.txt");
         ASSERT_EQ(::mkfifo((folder / "secret.txt").c_str(), 0600), 0);
       },
       "its name now refers to another file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto root = TestDir() / std::to_string(&c - cases);
    const auto folder = root / "dir";
    const auto elsewhere = root / "elsewhere";
    fs::create_directories(folder);
    fs::create_directories(elsewhere);
    WriteFileBytes(folder / "secret.txt", std::vector<std::uint8_t>(5000, 0x5A));
    WriteFileBytes(elsewhere / "secret.txt", {9, 9});
    errors.clear();
    WipeEnvironment environment = Watched();
    environment.afterOverwrite = [&] { c.change(folder, elsewhere); };

    EXPECT_EQ(NormalWipeFile(folder / "secret.txt", 1, nullptr, environment), platform::ErrReported);
    EXPECT_EQ(errors, std::vector<std::string>{"Wiping of file " + (folder / "secret.txt").string() +
                                               " was stopped: " + c.message + "\nNothing was deleted."});
    EXPECT_EQ(ReadFileBytes(elsewhere / "secret.txt"), (std::vector<std::uint8_t>{9, 9}));
    EXPECT_TRUE(fs::exists(fs::symlink_status(folder / "secret.txt")));
    EXPECT_FALSE(fs::exists(folder / std::string(156, 'a')));
  }
}

// A file held since it was read is wiped through that descriptor, and only
// while its name still refers to it alone; else nothing is written and
// nothing deleted.
TEST_F(WipeTest, AHeldFileIsWipedOnlyWhileItsNameStillRefersToItAlone) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& path)> change;
    std::string refusal;  // empty: wiped
  };
  const fs::path moved = TestDir() / "secret.old";
  const Case cases[] = {
      {"unchanged", [](const fs::path&) {}, ""},
      {"renamed away and replaced",
       [&moved](const fs::path& path) {
         fs::rename(path, moved);
         WriteFileBytes(path, {7, 7, 7});
       },
       "Wiping of file %s was stopped: its name now refers to another file.\nNothing was deleted."},
      {"given a second name", [&moved](const fs::path& path) { fs::create_hard_link(path, moved); },
       "Unable to wipe file %s. It has other names (hard links) that would lose their content. File skipped."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(moved);
    const auto path = MakeFile(5000);
    errors.clear();
    log.events.clear();
    std::unique_ptr<WipeTarget> held = WipeTarget::Hold(path);
    platform::File view = held->readingView();
    std::vector<std::uint8_t> read(5000);
    ASSERT_EQ(view.read(read), read.size());
    EXPECT_EQ(read, std::vector<std::uint8_t>(5000, 0x5A)) << "read through the held descriptor";
    c.change(path);

    const platform::ResultCode result = NormalWipeHeldFile(std::move(held), 1, nullptr, Watched());
    if (c.refusal.empty()) {
      EXPECT_EQ(result, Success);
      ExpectGoneWithoutTrace(path);
      continue;
    }
    EXPECT_EQ(result, platform::ErrReported);
    EXPECT_EQ(errors, std::vector<std::string>{FillWipeMessage(c.refusal, {path.string()})});
    EXPECT_TRUE(log.of(WipeEvent::Write).empty()) << "nothing written";
    EXPECT_EQ(ReadFileBytes(moved), std::vector<std::uint8_t>(5000, 0x5A));
    EXPECT_TRUE(fs::exists(path));
    fs::remove(path);
  }
}

TEST_F(WipeTest, OnlyTheStretchesThatHoldDataAreOverwritten) {
  const auto path = TestDir() / "sparse.img";
  {
    platform::File file(path, platform::File::Mode::CreateNew);
    file.truncate(std::uint64_t{64} << 20);
    file.seek(std::uint64_t{32} << 20);
    file.write(std::vector<std::uint8_t>(8192, 0x5A));
    file.sync();
  }
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  if (info.st_blocks * 512 >= info.st_size) GTEST_SKIP() << "this file system keeps no holes";

  WipeEnvironment environment = Watched();
  bool checked = false;
  environment.afterOverwrite = [&] {
    checked = true;
    EXPECT_EQ(fs::file_size(path), std::uint64_t{64} << 20) << "the passes stay within the file";
    const auto bytes = ReadFileBytes(path);
    const std::vector<std::uint8_t> oldRun(8, 0x5A);
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), oldRun.begin(), oldRun.end()), bytes.end())
        << "the data was overwritten";
  };
  ASSERT_EQ(NormalWipeFile(path, 2, &progress, environment), Success);
  EXPECT_TRUE(checked);
  const auto writes = WriteLengths(log);
  const std::size_t written = std::accumulate(writes.begin(), writes.end(), std::size_t{0});
  EXPECT_GE(written, 2U * 8192);
  EXPECT_LT(written, 2U * (std::size_t{1} << 20));  // the data, give or take a block of the file system
  ASSERT_FALSE(log.of(WipeEvent::Seek).empty());
  EXPECT_GE(log.of(WipeEvent::Seek)[0].length, std::size_t{31} << 20);
  ExpectGoneWithoutTrace(path);
}

TEST_F(WipeTest, RenameDeleteReportsEachStep) {
  const auto path = MakeFile(0);
  EXPECT_TRUE(WipeRenameDelete(path));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(NeutralWipePath(path)));
  EXPECT_FALSE(WipeRenameDelete(path));  // nothing left to move
}

// --- sound behaviour where the platform fails -------------------------------------

TEST_F(WipeTest, ShortWriteEndsTheWipeWithAnError) {
  auto file = std::make_unique<ImaginaryWipeFile>(10000);
  int calls = 0;
  file->onWrite = [&](std::span<const std::uint8_t> data) {
    ++calls;
    return calls == 3 ? data.size() / 2 : data.size();
  };
  const auto path = MakeFile(10);
  EXPECT_EQ(NormalWipeFile(path, 3, &progress, Imaginary(file)), EIO);
  EXPECT_EQ(calls, 3);  // never retried
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(progress.position(), 0);
}

// A disk that fills in the middle of a pass says so at a write or, with
// delayed allocation, only when the pass is flushed. Either way the wipe ends
// with that error, and the file is neither emptied nor removed: emptying it
// now would free blocks that may still hold the original bytes.
TEST_F(WipeTest, DiskFullMidPassEndsTheWipeWithTheFileKept) {
  for (const bool atFlush : {false, true}) {
    for (const bool government : {false, true}) {
      for (const int error : {ENOSPC, 0}) {
        SCOPED_TRACE(::testing::Message()
                     << (atFlush ? "flush " : "write ") << (government ? "government " : "normal ") << error);
        auto file = std::make_unique<ImaginaryWipeFile>(3 * kWipeBufferSize);
        const auto fail = [error] { throw platform::OsError(error, "disk full"); };
        int writes = 0;
        file->onWrite = [&](std::span<const std::uint8_t> data) {
          if (!atFlush && ++writes == 2) fail();
          return data.size();
        };
        if (atFlush) file->onFlushData = fail;
        bool emptied = false;
        file->emptied = &emptied;
        const auto path = MakeFile(10);
        const platform::ResultCode code = government ? GovernmentWipeFile(path, &progress, Imaginary(file))
                                                     : NormalWipeFile(path, 2, &progress, Imaginary(file));
        EXPECT_EQ(code, error != 0 ? error : ErrInternal);
        EXPECT_FALSE(emptied);
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(progress.position(), 0);
      }
    }
  }
}

TEST_F(WipeTest, SizesBeyond32BitsAreWipedWhole) {
  // 4 GiB exactly: its low 32 bits are 0, yet it is not an empty file.
  {
    auto file = std::make_unique<ImaginaryWipeFile>(std::uint64_t{1} << 32);
    int calls = 0;
    std::size_t written = 0;
    file->onWrite = [&](std::span<const std::uint8_t> data) -> std::size_t {
      if (++calls == 2) throw platform::OsError(ENOSPC, "write");
      written += data.size();
      return data.size();
    };
    const auto path = MakeFile(1);
    EXPECT_EQ(NormalWipeFile(path, 1, &progress, Imaginary(file)), ENOSPC);
    EXPECT_EQ(progress.max(), std::int64_t{1} << 32);
    EXPECT_EQ(written, kWipeChunkSize);
  }
  // 4 GiB + 1: one pass of a Government Wipe covers every byte.
  {
    auto file = std::make_unique<ImaginaryWipeFile>((std::uint64_t{1} << 32) + 1);
    std::uint64_t firstPass = 0;
    std::size_t lastLength = 0;
    bool inFirstPass = true;
    file->onWrite = [&](std::span<const std::uint8_t> data) -> std::size_t {
      if (!inFirstPass) throw platform::OsError(EIO, "stop");
      firstPass += data.size();
      lastLength = data.size();
      return data.size();
    };
    file->onTimeChange = [&](std::time_t) { inFirstPass = false; };
    const auto path = MakeFile(1);
    EXPECT_EQ(GovernmentWipeFile(path, nullptr, Imaginary(file)), EIO);
    EXPECT_EQ(firstPass, (std::uint64_t{1} << 32) + 1);
    EXPECT_EQ(lastLength, 1U);
  }
}

// --- the time change ---------------------------------------------------------------

TEST_F(WipeTest, TimeChangeSetsTheRandomMomentOnTheRealFile) {
  struct Case {
    std::uint32_t clock;
    std::time_t expected;
  };
  const Case cases[] = {
      {kFixedClock, LocalMoment(2032, 8, 5, 12, 34, 14)},  // day 48431 + 0.523778
      {1000, LocalMoment(1980, 1, 4, 12, 0, 0)},           // day 29224 + 0.5
      {1, LocalMoment(1980, 1, 1, 0, 0, 0)},               // 1926: no DOS value, taken as 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clock);
    const auto path = MakeFile(10);
    auto file = OpenWipeFile(path);
    WipeEnvironment environment;
    environment.clock = [&] { return c.clock; };
    environment.showError = [this](const std::string& message) { errors.push_back(message); };
    WipeChangeFileTime(*file, environment);
    file->close();
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, c.expected);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(WipeTest, TimeChangeFailureIsReportedAndTheWipeGoesOn) {
  auto file = std::make_unique<ImaginaryWipeFile>(10);
  int attempts = 0;
  file->onTimeChange = [&](std::time_t) {
    if (++attempts == 1) throw platform::OsError(EPERM, "futimens");
    throw std::runtime_error("clock trouble");
  };
  const auto path = MakeFile(10);
  ASSERT_EQ(NormalWipeFile(path, 1, nullptr, Imaginary(file)), Success);
  EXPECT_TRUE(errors.empty());  // 10 bytes: no full block, no time change

  file = std::make_unique<ImaginaryWipeFile>(10);
  file->onTimeChange = [&](std::time_t) {
    if (++attempts == 1) throw platform::OsError(EPERM, "futimens");
    throw std::runtime_error("clock trouble");
  };
  ASSERT_EQ(GovernmentWipeFile(MakeFile(10), nullptr, Imaginary(file)), Success);
  ASSERT_EQ(errors.size(), 52U);
  EXPECT_EQ(errors[0],
            "KOVA Voltare caused an unexpected in WipeChangeFileTime()\n\nError code: 1\n"
            "Error message: SetFileTime()");
  EXPECT_EQ(errors[1],
            "KOVA Voltare caused an unexpected in WipeChangeFileTime()\n\nError code: -1\n"
            "Error message: clock trouble");
}

TEST_F(WipeTest, UnsetEnvironmentUsesTheRealFileAndClock) {
  const auto path = MakeFile(4097);
  EXPECT_EQ(NormalWipeFile(path, 2, nullptr), Success);
  ExpectGoneWithoutTrace(path);
}

}  // namespace
}  // namespace voltare::transforms
