// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/temp_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/result_codes.h"
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

// What the user is told for each folder that cannot hold the temporary files.
TEST(PrivateTempDirTest, EachRefusalNamesTheFolderAndWhy) {
  const fs::path root = voltare::testing::TestDir() / "tmp";
  const struct {
    const char* what;
    void (*plant)();
    mode_t rootMode;
    fs::path folder;
    std::string reason;  // empty: accepted
  } cases[] = {
      {"another user's folder",
       [] {
         fs::create_directory(ExpectedDir());
         EXPECT_EQ(::chown(ExpectedDir().c_str(), 65534, 65534), 0);
       },
       0755, ExpectedDir(), "it belongs to another user"},
      {"a link", [] { fs::create_directory_symlink("elsewhere", ExpectedDir()); }, 0755, ExpectedDir(),
       "it is a symbolic link, not a folder"},
      {"a file", [] { voltare::testing::WriteFileText(ExpectedDir(), ""); }, 0755, ExpectedDir(), "it is not a folder"},
      {"open to the group",
       [] {
         fs::create_directory(ExpectedDir());
         EXPECT_EQ(::chmod(ExpectedDir().c_str(), 0750), 0);
       },
       0755, ExpectedDir(), "other users may open it (its permissions are 0750, not 0700)"},
      {"a root all may write", [] {}, 0777, root, "other users may write in it, and it is not sticky"},
      {"a root the group may write", [] {}, 0770, root, "other users may write in it, and it is not sticky"},
      {"a sticky root all may write", [] {}, 01777, root, ""},
  };
  for (const auto& c : cases) {
    if (::getuid() != 0 && &c == &cases[0]) continue;  // only root can give a folder away
    c.plant();
    ASSERT_EQ(::chmod(root.c_str(), c.rootMode), 0);
    EXPECT_EQ(PrivateTempDir().has_value(), c.reason.empty()) << c.what;
    if (!c.reason.empty()) {
      EXPECT_EQ(ErrorText(ErrNoTempFile), "Temporary files cannot be kept in the folder " + c.folder.string() + ": " +
                                              c.reason +
                                              ". They hold decrypted data, so that folder must be yours alone; please "
                                              "set TMPDIR to a folder that only you can change.")
          << c.what;
    }
    ::chmod(root.c_str(), 0755);
    fs::remove_all(ExpectedDir());
  }
  ::setenv("TMPDIR", (root / "missing").c_str(), 1);
  EXPECT_EQ(ErrorText(ErrNoTempFile), "No temporary file can be made in the folder " + (root / "missing").string() +
                                          ": No such file or directory.");
}

// An attacker who may rename entries beside the private folder swaps it for
// a folder of theirs, by name, between the program's steps.
TEST(PrivateTempDirTest, AFolderSwappedByNameIsNeitherReadNorCleanedThroughTheName) {
  const fs::path theirs = voltare::testing::TestDir() / "theirs";
  fs::create_directory(theirs);
  voltare::testing::WriteFileText(theirs / "report.vlt", "the victim's document");
  const auto swap = [&] {
    ASSERT_EQ(::renameat2(AT_FDCWD, ExpectedDir().c_str(), AT_FDCWD, theirs.c_str(), RENAME_EXCHANGE), 0);
  };

  // Scratch data written, the folder swapped, a planted file under the
  // scratch file's name, and the scratch data read back by its path.
  auto scratch = TempFile::Create();
  ASSERT_TRUE(scratch.has_value());
  voltare::testing::WriteFileText(scratch->path(), "our plain text");
  swap();
  voltare::testing::WriteFileText(ExpectedDir() / scratch->path().filename(), "the attacker's text");
  const auto read = voltare::testing::ReadFileBytes(scratch->path());
  EXPECT_EQ(std::string(read.begin(), read.end()), "our plain text");
  scratch.reset();
  EXPECT_TRUE(fs::exists(ExpectedDir() / "report.vlt"));
  swap();  // back

  // The clean-up: the swap comes after the folder was checked.
  voltare::testing::WriteFileText(ExpectedDir() / "killed.vlt", "a killed run's member");
  temp_test_hooks::SetAfterOpen([&](const fs::path&) { swap(); });
  RemoveStaleTempFiles();
  temp_test_hooks::SetAfterOpen(nullptr);
  EXPECT_TRUE(fs::exists(ExpectedDir() / "report.vlt")) << "the victim's file stays";
  EXPECT_FALSE(fs::exists(theirs / "killed.vlt")) << "our own folder was cleaned";
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
  const fs::path named = fs::read_symlink(folder->path());  // its path leads through its descriptor
  const std::string mark = named.stem().string();
  EXPECT_EQ(named, ExpectedDir() / (mark + ".d"));
  EXPECT_EQ(ModeOf(named), 0700u);
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
