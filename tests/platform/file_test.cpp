// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/os_error.h"
#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using voltare::testing::TestDir;

// Runs `action`, expecting an OsError with `expected` errno, and returns its text.
template <typename Action>
std::string ExpectOsError(Action action, int expected) {
  try {
    action();
  } catch (const OsError& e) {
    EXPECT_EQ(e.error(), expected) << e.what();
    return e.what();
  }
  ADD_FAILURE() << "no OsError";
  return {};
}

TEST(FileTest, WritesReadsSeeksAndTruncates) {
  const auto path = TestDir() / "data";
  {
    File out(path, File::Mode::CreateNew);
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6};
    out.write(bytes);
    out.sync();
    EXPECT_EQ(out.size(), 6u);
    out.close();
    EXPECT_FALSE(out.isOpen());
  }
  File file(path, File::Mode::ReadWrite);
  file.seek(4);
  EXPECT_EQ(file.tell(), 4u);
  std::vector<std::uint8_t> buffer(10);
  EXPECT_EQ(file.read(buffer), 2u);  // short at the end of the file, no error
  EXPECT_EQ(buffer[0], 5);
  EXPECT_EQ(file.read(buffer), 0u);
  file.truncate(3);
  EXPECT_EQ(file.size(), 3u);
}

TEST(FileTest, OpenFailuresCarryErrnoAndPath) {
  const auto missing = TestDir() / "missing";
  const auto text = ExpectOsError([&] { File f(missing, File::Mode::Read); }, ENOENT);
  EXPECT_NE(text.find(missing.string()), std::string::npos);
  EXPECT_NE(text.find(std::strerror(ENOENT)), std::string::npos);

  ExpectOsError([&] { File f(TestDir(), File::Mode::CreateTruncate); }, EISDIR);

  voltare::testing::WriteFileText(TestDir() / "there", "x");
  ExpectOsError([&] { File f(TestDir() / "there", File::Mode::CreateNew); }, EEXIST);
  ExpectOsError([&] { File f(TestDir() / "no" / "dir" / "f", File::Mode::CreateTruncate); }, ENOENT);
}

TEST(FileTest, ReadAndWriteFailuresCarryErrno) {
  const auto path = TestDir() / "data";
  voltare::testing::WriteFileText(path, "abc");
  File reader(path, File::Mode::Read);
  const std::vector<std::uint8_t> bytes = {1};
  ExpectOsError([&] { reader.write(bytes); }, EBADF);

  File directory(TestDir(), File::Mode::Read);
  std::vector<std::uint8_t> buffer(4);
  ExpectOsError([&] { directory.read(buffer); }, EISDIR);
}

TEST(FileTest, FullDeviceIsReportedNotLost) {
  if (!fs::exists("/dev/full")) GTEST_SKIP();
  File full("/dev/full", File::Mode::ReadWrite);
  const std::vector<std::uint8_t> bytes(100, 7);
  ExpectOsError([&] { full.write(bytes); }, ENOSPC);
}

TEST(FileTest, SecondExclusiveLockFails) {
  const auto path = TestDir() / "locked";
  voltare::testing::WriteFileText(path, "x");
  File first(path, File::Mode::Read);
  first.lockExclusive();
  File second(path, File::Mode::Read);
  ExpectOsError([&] { second.lockExclusive(); }, EWOULDBLOCK);
  first.close();
  second.lockExclusive();  // free again once the holder is closed
}

// A shared lock is what a reader takes: it must live beside other readers,
// give way to a writer's exclusive lock, and not fail on a file system that
// keeps no locks at all.
struct SharedLockCase {
  const char* name;
  bool otherHoldsExclusive;
  int lockError;  // 0: the real flock(2); otherwise the error the lock call plays
  int expected;   // 0: the lock is had (or passed over); otherwise the errno thrown
};

class SharedLockTest : public ::testing::TestWithParam<SharedLockCase> {
 protected:
  void TearDown() override { SetLockCallForTesting(nullptr); }
};

int playedLockError = 0;
int FailingLock(int, int) {
  errno = playedLockError;
  return -1;
}

TEST_P(SharedLockTest, ReadersShareAndLocklessFileSystemsPass) {
  const SharedLockCase& c = GetParam();
  const auto path = TestDir() / "shared";
  voltare::testing::WriteFileText(path, "x");
  File other(path, File::Mode::Read);
  if (c.otherHoldsExclusive) {
    other.lockExclusive();
  } else {
    other.lockShared();
  }
  if (c.lockError != 0) {
    playedLockError = c.lockError;
    SetLockCallForTesting(FailingLock);
  }
  File reader(path, File::Mode::Read);
  if (c.expected == 0) {
    EXPECT_NO_THROW(reader.lockShared());
  } else {
    ExpectOsError([&] { reader.lockShared(); }, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedLockTest,
                         ::testing::Values(SharedLockCase{"besideAnotherReader", false, 0, 0},
                                           SharedLockCase{"againstAWriter", true, 0, EWOULDBLOCK},
                                           SharedLockCase{"nfsWithoutLocks", true, ENOLCK, 0},
                                           SharedLockCase{"fileSystemRefusesTheCall", true, EBADF, 0},
                                           SharedLockCase{"fuseWithoutLocks", true, EOPNOTSUPP, 0},
                                           SharedLockCase{"realFailureStillFails", false, EIO, EIO}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(FileTest, MovedFromFileIsClosedAndOwnershipMoves) {
  const auto path = TestDir() / "data";
  File a(path, File::Mode::CreateNew);
  File b(std::move(a));
  EXPECT_FALSE(a.isOpen());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  EXPECT_TRUE(b.isOpen());
  EXPECT_EQ(b.path(), path);
}

TEST(FileExistsTest, OnlyRegularFiles) {
  voltare::testing::WriteFileText(TestDir() / "f", "");
  EXPECT_TRUE(FileExists(TestDir() / "f"));
  EXPECT_FALSE(FileExists(TestDir()));
  EXPECT_FALSE(FileExists(TestDir() / "nothing"));
}

TEST(CurrentExceptionCodeTest, NeverSuccess) {
  const auto code_of = [](auto thrower) {
    try {
      thrower();
    } catch (...) {
      return CurrentExceptionCode();
    }
    return Success;
  };
  EXPECT_EQ(code_of([] { throw OsError(ENOSPC, "write"); }), ENOSPC);
  EXPECT_EQ(code_of([] { throw OsError(0, "no errno"); }), ErrInternal);
  EXPECT_EQ(code_of([] { throw DamagedDataError("bad"); }), ErrBadFile);
  EXPECT_EQ(code_of([] { throw 42; }), ErrInternal);
}

}  // namespace
}  // namespace voltare::platform

namespace voltare::platform {
namespace {

TEST(RemoveIfStillSameTest, RemovesOnlyTheRegularFileThatIsOpen) {
  const auto path = voltare::testing::TestDir() / "half";
  {
    File file(path, File::Mode::CreateNew);
    RemoveIfStillSame(file);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  {
    File file(path, File::Mode::CreateNew);
    std::filesystem::rename(path, voltare::testing::TestDir() / "moved");
    voltare::testing::WriteFileText(path, "someone else's");
    RemoveIfStillSame(file);  // the name now belongs to another file
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  File device("/dev/null", File::Mode::ReadWrite);
  RemoveIfStillSame(device);
  EXPECT_TRUE(std::filesystem::exists("/dev/null"));
}

}  // namespace
}  // namespace voltare::platform
