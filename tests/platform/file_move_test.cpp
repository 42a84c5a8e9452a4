#include "platform/file_move.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "platform/staged_file.h"
#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

using Bytes = std::vector<std::uint8_t>;

TEST(FileMoveTest, MovesToAFreeName) {
  const auto from = TestDir() / "old";
  const auto to = TestDir() / "new";
  WriteFileBytes(from, {7});
  EXPECT_EQ(MoveWithoutReplacing(from, to), 0);
  EXPECT_FALSE(fs::exists(from));
  EXPECT_EQ(ReadFileBytes(to), Bytes{7});
}

TEST(FileMoveTest, NeverReplacesATakenName) {
  const auto from = TestDir() / "old";
  const auto to = TestDir() / "taken";
  WriteFileBytes(from, {1});
  WriteFileBytes(to, {2});
  EXPECT_EQ(MoveWithoutReplacing(from, to), EEXIST);
  EXPECT_EQ(ReadFileBytes(from), Bytes{1});
  EXPECT_EQ(ReadFileBytes(to), Bytes{2});
}

TEST(FileMoveTest, MissingSourceGivesItsError) {
  EXPECT_EQ(MoveWithoutReplacing(TestDir() / "none", TestDir() / "new"), ENOENT);
}

TEST(StagedFileTest, CommitPutsTheCompleteFileInPlace) {
  const auto target = TestDir() / "out.plx";
  WriteFileBytes(target, {9, 9});
  StagedFile staged(target);
  EXPECT_EQ(staged.stagingPath().parent_path(), TestDir());
  const Bytes data = {1, 2, 3};
  staged.file().write(data);
  EXPECT_EQ(ReadFileBytes(target), (Bytes{9, 9}));  // untouched until committed

  struct stat info {};
  ASSERT_EQ(::stat(staged.stagingPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U);

  staged.Commit();
  EXPECT_EQ(ReadFileBytes(target), data);
  EXPECT_FALSE(fs::exists(staged.stagingPath()));
}

TEST(StagedFileTest, AbandonedFileLeavesNoTrace) {
  const auto target = TestDir() / "out.plx";
  fs::path staging;
  try {
    StagedFile staged(target);
    staging = staged.stagingPath();
    staged.file().write(Bytes{1, 2, 3});
    throw std::runtime_error("failed halfway");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(fs::exists(staging));
}

TEST(StagedFileTest, MissingDirectoryThrows) {
  EXPECT_ANY_THROW(StagedFile(TestDir() / "no-such-dir" / "out.plx"));
}

}  // namespace
}  // namespace voltare::platform
