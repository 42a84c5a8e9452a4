// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/file_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "app_fixture.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

TEST(FileListTest, SizeInKBRoundsDownWithSmallFilesShowingOne) {
  EXPECT_EQ(SizeInKB(TestDir() / "missing"), -1);
  const std::pair<std::size_t, std::int64_t> cases[] = {{0, 0},    {1, 1},    {1023, 1},          {1500, 1},
                                                        {2047, 1}, {2048, 2}, {10 * 1024 + 5, 10}};
  for (const auto& [bytes, kb] : cases) {
    EXPECT_EQ(SizeInKB(AppFixture::MakeFile("f" + std::to_string(bytes), bytes)), kb) << bytes << " bytes";
  }
}

TEST(FileListTest, AnEntryShowsItsColumnsFromTheFileSystem) {
  AppFixture fixture;
  const std::string plain = AppFixture::MakeFile("notes.txt", 2048);
  const std::string hidden = AppFixture::MakeFile(".secret", 1);
  ::chmod(hidden.c_str(), 0444);
  fixture.form.AddFileToList(plain, 2);
  fixture.form.AddFileToList(hidden, 2);

  const auto& items = fixture.form.ListView.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].displayName, ".secret");
  EXPECT_EQ(items[0].size, "1KB");
  EXPECT_EQ(items[0].attributes, "RHA");
  EXPECT_EQ(items[0].typeName, "File") << "a leading dot does not start an extension";
  EXPECT_EQ(items[1].displayName, "notes.txt");
  EXPECT_EQ(items[1].Column(1), plain);
  EXPECT_EQ(items[1].Column(2), "2KB");
  EXPECT_EQ(items[1].Column(3), "TXT File");
  EXPECT_FALSE(items[1].Column(4).empty());
  EXPECT_EQ(items[1].Column(5), "A");

  EXPECT_EQ(kListColumns[0].caption, "Display Name");
  EXPECT_TRUE(kListColumns[2].rightAligned);
  EXPECT_EQ(MainFormWidth(), 635);
}

TEST(FileListTest, EntriesAreKeyedByTheExactPathAndSortedByDisplayName) {
  AppFixture fixture;
  const std::string b = AppFixture::MakeFile("b.txt");
  const std::string a = AppFixture::MakeFile("A.txt");
  const std::string c = AppFixture::MakeFile("sub/c.txt");
  fixture.form.AddFileToList(b, 3);
  fixture.form.AddFileToList(c, 3);
  fixture.form.AddFileToList(a, 3);
  EXPECT_EQ(fixture.user.progress.max(), 3);
  EXPECT_EQ(fixture.user.progress.position(), 3);

  fixture.form.AddFileToList(b, 3);
  EXPECT_EQ(fixture.user.progress.position(), 3) << "a duplicate makes no progress step";
  std::string upper = b;
  upper.replace(upper.size() - 5, 1, "B");
  fixture.form.AddFileToList(upper, 3);  // another path by letter case, even if no such file

  std::vector<std::string> names;
  for (const auto& item : fixture.form.ListView.Items()) names.push_back(item.displayName);
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "b.txt", "B.txt", "c.txt"}));
  EXPECT_EQ(fixture.form.ListView.Items()[2].size, "-1KB");
}

TEST(FileListTest, ListDirectoryFilesTakesHiddenFilesAndSkipsLinkedDirectories) {
  const fs::path root = TestDir() / "tree";
  AppFixture::MakeFile("tree/one.txt");
  AppFixture::MakeFile("tree/sub/two.txt");
  AppFixture::MakeFile("tree/sub/deeper/three.txt");
  AppFixture::MakeFile("tree/.hidden");
  AppFixture::MakeFile("tree/.git/config");
  AppFixture::MakeFile("tree/..double");  // a name, not the parent
  fs::create_directory_symlink(root, root / "loop");

  std::vector<std::string> found{"already there"};
  EXPECT_TRUE(ListDirectoryFiles(root, found).empty());
  std::ranges::sort(found);
  EXPECT_EQ(found, (std::vector<std::string>{(root / "..double").string(), (root / ".git/config").string(),
                                             (root / ".hidden").string(), (root / "one.txt").string(),
                                             (root / "sub/deeper/three.txt").string(), (root / "sub/two.txt").string(),
                                             "already there"}));
}

// A tree deeper than any path the kernel takes whole: the walk still gets to
// the bottom (one descriptor at a time), takes what later steps can open, and
// names the file whose path is too long instead of dropping it.
TEST(FileListTest, ADeepTreeIsWalkedAndItsTooLongPathReported) {
  const fs::path root = TestDir() / "deep";
  AppFixture::MakeFile("deep/top.txt");
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  std::string path = root.string();
  const std::string level(49, 'd');
  while (path.size() < 5000) {
    ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
    const int child = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(fd = child, 0);
    path += "/" + level;
    if (path.size() < 3000 && path.size() + 50 >= 3000) {
      const int file = ::openat(fd, "middle.txt", O_WRONLY | O_CREAT, 0600);
      ::close(file);
    }
  }
  const int file = ::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(file, 0);
  ::close(file);
  ::close(fd);

  const FolderContents walked = WalkFolder(root);
  ASSERT_EQ(walked.files.size(), 2u);
  EXPECT_EQ(walked.files[0], (root / "top.txt").string());
  EXPECT_TRUE(walked.files[1].ends_with("/middle.txt"));
  ASSERT_EQ(walked.unreachable.size(), 1u);
  EXPECT_EQ(walked.unreachable[0].path, path + "/bottom.txt");
  EXPECT_EQ(walked.unreachable[0].error, ENAMETOOLONG);
  // Clean-up must not trip over the depth either.
  std::string command = "rm -rf " + root.string();
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(FileListTest, OnlyEncryptedFilesWithTheirMagicCountAsEncrypted) {
  const struct {
    const char* name;
    const char* content;
    bool encrypted;
  } cases[] = {
      {"a.vlt", "KOVA Voltare\x01rest", true},
      {"A.VLT", "KOVA Voltare", true},
      {"b.plx", "PLX\x01", true},
      {"c.Plx", "PLX", true},
      {"renamed.vlt", "just a document", false},
      {"short.plx", "PL", false},
      {"a.vlt.txt", "KOVA Voltare", false},
      {"plain.doc", "KOVA Voltare", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsEncryptedFile(AppFixture::MakeFile(c.name, 0)), false) << c.name << " (empty)";
    testing::WriteFileText(TestDir() / c.name, c.content);
    EXPECT_EQ(IsEncryptedFile((TestDir() / c.name).string()), c.encrypted) << c.name;
  }
}

TEST(FileListTest, ClipboardTextSplitsAtEveryKindOfLineEnd) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace voltare::app
