// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/staged_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_hold.h"
#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::string> EntriesOf(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

fs::path OutDir() {
  fs::create_directories(TestDir() / "out");
  return TestDir() / "out";
}

ResultCode WriteText(const fs::path& target, const std::string& text) {
  return WriteStaged(target, [&](File& file) {
    file.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return Success;
  });
}

// A staging file a killed run left: written and marked as the program's.
void WriteLeftover(const fs::path& path, const std::string& text) {
  WriteFileText(path, text);
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(MarkAsStaged(fd));
  ::close(fd);
}

// Clears a hook when the test ends, however it ends.
struct HookReset {
  ~HookReset() {
    staging_test_hooks::SetAfterCreate(nullptr);
    staging_test_hooks::SetOnLeftoverScan(nullptr);
  }
};

// ---------------------------------------------------------------------------
// What is at the target before the write

struct TargetCase {
  const char* what;
  std::string name;
  bool oldFile;
  bool linkToElsewhere;
};

class StagedTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(StagedTargetTest, TheNewFileTakesTheNamePrivatelyAndLeavesNothingElse) {
  const TargetCase& c = GetParam();
  const fs::path target = OutDir() / c.name;
  const fs::path elsewhere = TestDir() / "elsewhere.txt";
  WriteFileText(elsewhere, "not to be touched");
  if (c.oldFile) WriteFileText(target, "old contents");
  if (c.linkToElsewhere) fs::create_symlink(elsewhere, target);

  ASSERT_EQ(WriteText(target, "new contents"), Success);

  EXPECT_FALSE(fs::is_symlink(target)) << "a link is replaced, never written through";
  EXPECT_EQ(ReadText(target), "new contents");
  EXPECT_EQ(ReadText(elsewhere), "not to be touched");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(EntriesOf(OutDir()), std::vector<std::string>{c.name});
}

INSTANTIATE_TEST_SUITE_P(Targets, StagedTargetTest,
                         ::testing::Values(TargetCase{"new", "a.txt.vlt", false, false},
                                           TargetCase{"replaced", "a.txt.vlt", true, false},
                                           TargetCase{"link", "a.txt.vlt", false, true},
                                           TargetCase{"longest name", std::string(251, 'n') + ".vlt", true, false},
                                           TargetCase{"near the staging form", ".vlt-abcdefgh.part.vlt", false, false}),
                         [](const auto& instance) {
                           std::string name = instance.param.what;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

TEST(StagedFileTest, NothingIsPublishedUntilCommitAndAFailureHalfWayLeavesNoTrace) {
  const fs::path target = OutDir() / "out.plx";
  WriteFileText(target, "old");
  {
    StagedFile staged(target);
    EXPECT_EQ(staged.stagingPath().parent_path(), OutDir());
    EXPECT_TRUE(IsStagingName(staged.stagingPath().filename().string()));
    staged.file().write(std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_EQ(ReadText(target), "old");
  }
  const ResultCode failed = WriteStaged(target, [](File& file) -> ResultCode {
    file.write(std::vector<std::uint8_t>{1, 2, 3});
    throw std::runtime_error("failed half-way");
  });
  EXPECT_NE(failed, Success);
  EXPECT_EQ(WriteStaged(target, [](File&) { return ErrBadPassword; }), ErrBadPassword);
  EXPECT_EQ(ReadText(target), "old");
  EXPECT_EQ(EntriesOf(OutDir()), std::vector<std::string>{"out.plx"});
  EXPECT_ANY_THROW(StagedFile(TestDir() / "no-such-dir" / "out.plx"));
}

// Another user who may rename entries in a shared folder takes the staging
// file away under a name of their own: it is left with nothing in it.
TEST(StagedFileTest, AStagingFileRenamedAwayKeepsNoCopy) {
  const HookReset reset;
  const fs::path taken = OutDir() / "taken";
  staging_test_hooks::SetAfterCreate([&](const fs::path& staging) { fs::rename(staging, taken); });
  EXPECT_EQ(WriteText(OutDir() / "secret.txt", "plain text"), ErrStagingReplaced);
  EXPECT_EQ(fs::file_size(taken), 0u);
}

TEST(StagedFileTest, AnOutputNamedLikeAStagingFileIsRefused) {
  const fs::path target = OutDir() / ".vlt-abcdefgh.part";
  EXPECT_EQ(WriteText(target, "decrypted"), ErrReservedName);
  EXPECT_TRUE(EntriesOf(OutDir()).empty());
  EXPECT_FALSE(ErrorText(ErrReservedName).empty());
}

// ---------------------------------------------------------------------------
// Someone swaps the staging name between its creation and the rename

struct SwapCase {
  const char* what;
  void (*swap)(const fs::path& staging, const fs::path& victim);
};

class StagingSwapTest : public ::testing::TestWithParam<SwapCase> {};

TEST_P(StagingSwapTest, NothingGoesThroughTheSwappedNameAndNothingIsPublished) {
  const HookReset reset;
  const fs::path target = OutDir() / "secret.txt";
  const fs::path victim = TestDir() / "attacker-owned.txt";
  WriteFileText(victim, "attacker's file");
  fs::path swapped;
  staging_test_hooks::SetAfterCreate([&](const fs::path& staging) {
    swapped = staging;
    GetParam().swap(staging, victim);
  });

  EXPECT_EQ(WriteText(target, "plain text"), ErrStagingReplaced);

  EXPECT_EQ(ReadText(victim), "attacker's file");
  EXPECT_FALSE(fs::exists(fs::symlink_status(target))) << "nothing published";
  EXPECT_TRUE(fs::exists(fs::symlink_status(swapped))) << "what took the name is not ours to remove";
}

INSTANTIATE_TEST_SUITE_P(Swaps, StagingSwapTest,
                         ::testing::Values(SwapCase{"Symlink",
                                                    [](const fs::path& staging, const fs::path& victim) {
                                                      fs::remove(staging);
                                                      fs::create_symlink(victim, staging);
                                                    }},
                                           SwapCase{"OtherFile",
                                                    [](const fs::path& staging, const fs::path&) {
                                                      fs::remove(staging);
                                                      WriteFileText(staging, "planted");
                                                    }}),
                         [](const auto& instance) { return std::string(instance.param.what); });

// ---------------------------------------------------------------------------
// Leftovers of killed runs

TEST(StagedLeftoverTest, OnlyUnheldMarkedStagingFilesOfThisUserGo) {
  const fs::path dir = OutDir();
  WriteLeftover(dir / ".vlt-killed01.part", "a killed run's");
  WriteFileText(dir / ".vlt-killed02.part", "a killed run's, where files keep no attributes");
  ::chmod((dir / ".vlt-killed02.part").c_str(), S_ISVTX | 0600);
  WriteFileText(dir / ".vlt-usersown.part", "a user's file of that very form");
  WriteFileText(dir / ".vlt-abcdefgh.part.vlt", "a user's file");
  WriteFileText(dir / "elsewhere", "a link's target");
  fs::create_symlink(dir / "elsewhere", dir / ".vlt-symlink1.part");
  fs::create_directory(dir / ".vlt-folder01.part");
  const bool root = ::geteuid() == 0;
  if (root) {
    WriteLeftover(dir / ".vlt-foreign1.part", "another user's");
    ASSERT_EQ(::chown((dir / ".vlt-foreign1.part").c_str(), 4321, 4321), 0);
  }
  auto held = std::make_unique<StagedFile>(dir / "running.vlt");  // another run's, in use
  const std::string heldName = held->stagingPath().filename().string();

  ASSERT_EQ(WriteText(dir / "new.vlt", "x"), Success);

  std::vector<std::string> expected{".vlt-abcdefgh.part.vlt",
                                    ".vlt-folder01.part",
                                    ".vlt-symlink1.part",
                                    ".vlt-usersown.part",
                                    "elsewhere",
                                    "new.vlt",
                                    heldName};
  if (root) expected.push_back(".vlt-foreign1.part");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(EntriesOf(dir), expected);
  held.reset();
}

TEST(StagedLeftoverTest, ABatchReadsEachFolderOnceHoweverManyFilesItWrites) {
  const HookReset reset;
  std::vector<fs::path> scans;
  staging_test_hooks::SetOnLeftoverScan([&](const fs::path& dir) { scans.push_back(dir); });
  const fs::path other = TestDir() / "other";
  fs::create_directory(other);
  {
    const StagingBatch batch;
    const StagingBatch nested;  // the wipe after an encryption
    // Left uncommitted: the clean-up runs when a staged file is made, and a
    // thousand flushes would only slow the test.
    for (int i = 0; i < 1000; ++i) const StagedFile staged(OutDir() / (std::to_string(i) + ".vlt"));
    ASSERT_EQ(WriteText(other / "a.vlt", "x"), Success);
  }
  EXPECT_EQ(scans.size(), 2u);

  // Outside a batch every staged file still cleans its folder first.
  scans.clear();
  WriteLeftover(OutDir() / ".vlt-killed01.part", "a killed run's");
  ASSERT_EQ(WriteText(OutDir() / "single.vlt", "x"), Success);
  EXPECT_EQ(scans.size(), 1u);
  EXPECT_FALSE(fs::exists(OutDir() / ".vlt-killed01.part"));
}

}  // namespace
}  // namespace voltare::platform
