// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_move.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

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

}  // namespace
}  // namespace voltare::platform
