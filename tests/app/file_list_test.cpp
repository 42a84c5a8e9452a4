// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/file_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/main_window/window_layout.h"
#include "app_fixture.h"
#include "platform/settings_store.h"

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

// Many entries at once, each added twice and in no order, with display names
// equal but for letter case: one entry per path, in the order that placing
// each at its sorted position (after equal ones) would give.
TEST(FileListTest, TwentyThousandFilesAreAddedOnceEachInSortOrder) {
  AppFixture fixture;
  std::vector<std::string> paths;
  for (int n = 0; n < 20000; ++n) {
    const int key = (n * 7919) % 20000;  // every number once, in no order
    const fs::path folder = TestDir() / ("d" + std::to_string(key / 5000));
    paths.push_back((folder / ((n % 2 ? "F" : "f") + std::to_string(key % 5000))).string());
  }
  for (const std::string& path : paths) fixture.form.AddFileToList(path, 20000);
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) fixture.form.AddFileToList(*it, 20000);

  std::vector<std::string> expected = paths;
  const auto lower = [](std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
  };
  std::ranges::stable_sort(expected, {}, [&](const std::string& path) { return lower(fs::path(path).filename()); });
  std::vector<std::string> listed;
  for (const ListItem& item : fixture.form.ListView.Items()) listed.push_back(item.fileName);
  EXPECT_EQ(listed, expected);

  // Taking out every third entry keeps the rest in order and lets the paths in again.
  for (std::size_t row = 0; row < listed.size(); row += 3) fixture.form.ListView.SelectRow(row, true);
  const std::vector<std::string> removed = fixture.form.ListView.RemoveSelected();
  ASSERT_EQ(removed.size(), (listed.size() + 2) / 3);
  EXPECT_EQ(removed[1], listed[3]);
  EXPECT_EQ(fixture.form.ListView.Count(), listed.size() - removed.size());
  EXPECT_EQ(fixture.form.ListView.Items()[1].fileName, listed[2]);
  fixture.form.AddFileToList(removed[1], 1);
  EXPECT_TRUE(fixture.form.ListView.Contains(removed[1]));
}

// The stop is heard while a folder is walked and while files are added:
// what was added stays, the rest of the folder and of the drop is left alone.
TEST(FileListTest, CancelStopsALargeDropOrPaste) {
  std::string names;
  for (int n = 0; n < 300; ++n) names += AppFixture::MakeFile("big/file" + std::to_string(n)) + "\n";
  const std::string other = AppFixture::MakeFile("other.txt");
  const struct {
    const char* how;
    std::function<void(TMainForm&)> add;
    std::size_t added;
  } cases[] = {
      {"drop",
       [&](TMainForm& form) {
         form.DropFiles(std::vector<std::string>{(TestDir() / "big").string(), other});
       },
       0},
      {"paste", [&](TMainForm& form) { form.PasteButtonClick(); }, 1},
  };
  for (const auto& test : cases) {
    AppFixture fixture;
    fixture.user.clipboard = names + other;
    fixture.user.progress.onRepaint = [&] { fixture.user.progress.stopped = true; };
    test.add(fixture.form);
    EXPECT_EQ(fixture.form.ListView.Count(), test.added) << test.how;
    EXPECT_FALSE(fixture.form.ListView.Contains(other)) << test.how;
    EXPECT_EQ(fixture.user.progress.position(), 0) << test.how << ": the bar is reset";
  }
}

// The window's size and column widths come back as kept; values this program
// never writes are ignored rather than trusted.
TEST(FileListTest, TheWindowLayoutIsKeptAndOddValuesAreIgnored) {
  EXPECT_FALSE(LoadWindowLayout());
  const WindowLayout kept{900, 500, {120, 300, 55, 65, 130, 40}};
  ASSERT_TRUE(SaveWindowLayout(kept));
  EXPECT_EQ(LoadWindowLayout(), kept);

  struct Case {
    const char* name;
    platform::SettingValue value;
    std::optional<WindowLayout> expected;
  };
  const Case cases[] = {
      {"Width", platform::SettingValue::Dword(0), std::nullopt},
      {"Height", platform::SettingValue::Dword(1u << 20), std::nullopt},
      {"Width", platform::SettingValue::String("900"), std::nullopt},
      {"ColumnWidths", platform::SettingValue::String("1,2,3"), WindowLayout{900, 500, {}}},
      {"ColumnWidths", platform::SettingValue::String("1,2,3,4,5,6,7"), WindowLayout{900, 500, {}}},
      {"ColumnWidths", platform::SettingValue::String("1,2,x,4,5,6"), WindowLayout{900, 500, {}}},
      {"ColumnWidths", platform::SettingValue::String("1,2,-3,4,5,6"), WindowLayout{900, 500, {}}},
  };
  for (const Case& test : cases) {
    ASSERT_TRUE(SaveWindowLayout(kept));
    platform::SettingsKey::OpenForWriting(kWindowSettingsKey).Write(test.name, test.value);
    EXPECT_EQ(LoadWindowLayout(), test.expected) << test.name << " = " << test.value.Display();
  }
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
