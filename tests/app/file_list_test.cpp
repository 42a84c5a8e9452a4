#include "app/file_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "app_fixture.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

TEST(FileListTest, SizeInKBRoundsDownWithSmallFilesShowingOne) {
  EXPECT_EQ(SizeInKB(TestDir() / "missing"), -1);
  const std::pair<std::size_t, std::int64_t> cases[] = {{0, 0}, {1, 1}, {1023, 1}, {1500, 1},
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

TEST(FileListTest, ListDirectoryFilesGoesDepthFirstAndSkipsDotNamesAndLinkedDirectories) {
  const fs::path root = TestDir() / "tree";
  AppFixture::MakeFile("tree/one.txt");
  AppFixture::MakeFile("tree/sub/two.txt");
  AppFixture::MakeFile("tree/sub/deeper/three.txt");
  AppFixture::MakeFile("tree/.hidden");
  AppFixture::MakeFile("tree/.git/config");
  fs::create_directory_symlink(root, root / "loop");

  std::vector<std::string> found{"already there"};
  ListDirectoryFiles(root, found);
  std::ranges::sort(found);
  EXPECT_EQ(found, (std::vector<std::string>{(root / "one.txt").string(),
                                             (root / "sub/deeper/three.txt").string(),
                                             (root / "sub/two.txt").string(), "already there"}));
}

TEST(FileListTest, ClipboardTextSplitsAtEveryKindOfLineEnd) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace voltare::app
