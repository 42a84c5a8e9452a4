// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/temp_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;

fs::path ExpectedDir() { return voltare::testing::TestDir() / "tmp" / ("kova-voltare-" + std::to_string(::getuid())); }

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(PrivateTempDirTest, IsCreatedClosedToOthersUnderTmpdir) {
  const auto saved = ::umask(0);  // a lax umask must not leak into the mode
  const auto dir = PrivateTempDir();
  ::umask(saved);
  ASSERT_TRUE(dir.has_value());
  EXPECT_EQ(*dir, ExpectedDir());
  EXPECT_TRUE(fs::is_directory(*dir));
  EXPECT_EQ(ModeOf(*dir), 0700u);
  EXPECT_EQ(PrivateTempDir(), dir);  // found again, not recreated
}

TEST(PrivateTempDirTest, RefusesASymlinkInItsPlace) {
  const auto elsewhere = voltare::testing::TestDir() / "planted";
  fs::create_directory(elsewhere);
  fs::permissions(elsewhere, fs::perms::owner_all, fs::perm_options::replace);
  fs::create_directory_symlink(elsewhere, ExpectedDir());
  EXPECT_FALSE(PrivateTempDir().has_value());
  EXPECT_FALSE(MakeTempFileName().has_value());
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST(PrivateTempDirTest, RefusesAPlainFileInItsPlace) {
  voltare::testing::WriteFileText(ExpectedDir(), "not a directory");
  EXPECT_FALSE(PrivateTempDir().has_value());
}

TEST(PrivateTempDirTest, RefusesADirectoryOpenToOthers) {
  fs::create_directory(ExpectedDir());
  ASSERT_EQ(::chmod(ExpectedDir().c_str(), 0777), 0);
  EXPECT_FALSE(PrivateTempDir().has_value());
  EXPECT_FALSE(MakeTempFileName().has_value());
  EXPECT_EQ(ModeOf(ExpectedDir()), 0777u);  // refused, not silently repaired
  ASSERT_EQ(::chmod(ExpectedDir().c_str(), 0750), 0);
  EXPECT_FALSE(PrivateTempDir().has_value());
}

TEST(PrivateTempDirTest, RefusesADirectoryOfAnotherUser) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to give the directory away";
  fs::create_directory(ExpectedDir());
  ASSERT_EQ(::chmod(ExpectedDir().c_str(), 0700), 0);
  ASSERT_EQ(::chown(ExpectedDir().c_str(), 65534, 65534), 0);
  EXPECT_FALSE(PrivateTempDir().has_value());
}

TEST(MakeTempFileNameTest, MakesNewEmptyPrivateFilesNamedVolTmp) {
  std::set<fs::path> names;
  const std::regex pattern("Vol[A-Za-z0-9]+\\.TMP");
  for (int i = 0; i < 20; ++i) {
    const auto name = MakeTempFileName();
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->parent_path(), ExpectedDir());
    EXPECT_TRUE(std::regex_match(name->filename().string(), pattern)) << *name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(*name)));
    EXPECT_EQ(fs::file_size(*name), 0u);
    EXPECT_EQ(ModeOf(*name), 0600u);
    names.insert(*name);
  }
  EXPECT_EQ(names.size(), 20u);
}

TEST(MakeTempFileNameTest, NothingWhenTheRootIsMissing) {
  ::setenv("TMPDIR", (voltare::testing::TestDir() / "no" / "such" / "dir").c_str(), 1);
  EXPECT_FALSE(MakeTempFileName().has_value());
}

std::set<std::string> NamesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(TempFolderTest, ItsFilesShareOneMarkAndOnlyKilledRunsFoldersAreCleanedUp) {
  auto folder = TempFolder::Create();
  ASSERT_NE(folder, nullptr);
  const std::string mark = folder->path().stem().string();
  EXPECT_EQ(folder->path().filename().string(), mark + ".d");
  EXPECT_EQ(ModeOf(folder->path()), 0700u);
  std::vector<TempFile> files;
  for (int i = 0; i < 3; ++i) files.push_back(TempFile::CreateIn(folder).value());
  EXPECT_EQ(NamesIn(folder->path()).size(), 3u);

  // Killed runs: a folder whose mark file is gone, one whose mark nobody
  // holds. Not the program's: a folder of another name, and a file so named.
  for (const char* name : {"VolDEAD01.TMP.d", "VolDEAD02.TMP.d", "mine.d"}) {
    fs::create_directory(ExpectedDir() / name);
    voltare::testing::WriteFileText(ExpectedDir() / name / "member", "x");
  }
  voltare::testing::WriteFileText(ExpectedDir() / "VolDEAD02.TMP", "");
  voltare::testing::WriteFileText(ExpectedDir() / "VolFILE1.TMP.d", "");
  RemoveStaleTempFiles();
  EXPECT_EQ(NamesIn(ExpectedDir()), (std::set<std::string>{mark, mark + ".d", "mine.d", "VolFILE1.TMP.d"}));
  EXPECT_EQ(NamesIn(folder->path()).size(), 3u) << "a running copy's folder stays whole";

  // The folder goes with its last file, and its mark after it.
  const fs::path path = folder->path();
  files.erase(files.begin());
  EXPECT_EQ(NamesIn(path).size(), 2u);
  std::weak_ptr<const TempFolder> watch = folder;
  folder.reset();
  EXPECT_TRUE(fs::exists(path));
  files.clear();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(NamesIn(ExpectedDir()), (std::set<std::string>{"mine.d", "VolFILE1.TMP.d"}));
}

}  // namespace
}  // namespace voltare::platform
