// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/test_env.h"
#include "support/wait.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using testing::TestDir;

// A stand-in opener on PATH that records its working directory and arguments,
// then waits until the test lets it go, to show that nobody waits for it.
class ShellOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath_ = path != nullptr ? path : "";
    bin_ = TestDir() / "bin";
    fs::create_directories(bin_);
    const fs::path opener = bin_ / "xdg-open";
    testing::WriteFileText(
        opener,
        "#!/bin/sh\n"
        "out=\"$OPENER_RECORD\"\n"
        "{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > \"$out.part\"\n"
        "i=0\n"
        "while [ ! -e \"$OPENER_RELEASE\" ] && [ $i -lt 600 ]; do\n"
        "  sleep 0.05; i=$((i+1))\n"
        "done\n"
        "if [ -e \"$OPENER_RELEASE\" ]; then echo released; else echo 'timed out'; fi >> \"$out.part\"\n"
        "mv \"$out.part\" \"$out\"\n");
    ::chmod(opener.c_str(), 0755);
    record_ = TestDir() / "record";
    release_ = TestDir() / "release";
    ::setenv("OPENER_RECORD", record_.c_str(), 1);
    ::setenv("OPENER_RELEASE", release_.c_str(), 1);
    ::setenv("PATH", (bin_.string() + ":" + savedPath_).c_str(), 1);
  }

  void TearDown() override {
    testing::WriteFileText(release_, "");
    ::setenv("PATH", savedPath_.c_str(), 1);
  }

  // Lets the opener finish and returns what it recorded.
  std::string Released() {
    testing::WriteFileText(release_, "");
    voltare::testing::WaitUntil([&] { return fs::exists(record_); }, std::chrono::seconds(30));
    std::ifstream in(record_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string savedPath_;
  fs::path bin_;
  fs::path record_;
  fs::path release_;
};

TEST_F(ShellOpenTest, StartsTheOpenerInTheDirectoryAndDoesNotWaitForIt) {
  const fs::path dir = TestDir() / "docs";
  fs::create_directories(dir);
  ASSERT_EQ(ShellOpen((dir / "Bank.doc").string(), dir), Success);
  EXPECT_FALSE(fs::exists(record_));  // still held by the test
  EXPECT_EQ(Released(), dir.string() + "\n" + (dir / "Bank.doc").string() + "\nreleased\n");
}

TEST_F(ShellOpenTest, AnAddressGoesUnchangedAndADashIsNoOption) {
  ASSERT_EQ(ShellOpen("http://127.0.0.1:1/", TestDir()), Success);
  EXPECT_EQ(Released(), TestDir().string() + "\nhttp://127.0.0.1:1/\nreleased\n");
  fs::remove(record_);
  fs::remove(release_);
  ASSERT_EQ(ShellOpen("--help", TestDir()), Success);
  EXPECT_EQ(Released(), TestDir().string() + "\n./--help\nreleased\n");
}

TEST_F(ShellOpenTest, FailuresToStartAreReported) {
  EXPECT_EQ(ShellOpen("file.txt", TestDir() / "missing"), ENOENT);
  EXPECT_EQ(ShellOpen("", TestDir()), EINVAL);
  ::setenv("PATH", (TestDir() / "empty").c_str(), 1);
  EXPECT_EQ(ShellOpen("file.txt", TestDir()), ENOENT);
  EXPECT_FALSE(fs::exists(record_.string() + ".part"));
}

}  // namespace
}  // namespace voltare::platform
