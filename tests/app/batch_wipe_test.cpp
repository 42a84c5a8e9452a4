// SPDX-License-Identifier: GPL-3.0-or-later
// The batch wipe through its three ways in: the left-panel button (files from
// a chooser), the menu entries (the selected list entries), and the settings
// it reads each time.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window/main_form.h"
#include "app_fixture.h"
#include "platform/file_system_type.h"
#include "platform/settings_store.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

constexpr char kConfirm[] = "confirmation: Are you sure you want to wipe the selected files?";
constexpr char kWiped[] = "information: The files are successfully wiped !";

void StoreMainKey(std::vector<std::pair<std::string, platform::SettingValue>> values) {
  const platform::StoredKey key{std::string(platform::kSettingsKey), std::move(values)};
  platform::SaveSettingsStore(std::span<const platform::StoredKey>(&key, 1));
}

TEST(BatchWipeTest, FilesChosenInTheDialogAreWipedOneAfterAnotherWithTheirStatus) {
  AppFixture fixture;
  const std::vector<fs::path> files{AppFixture::MakeFile("a.txt", 5000), AppFixture::MakeFile("b.txt", 1),
                                    AppFixture::MakeFile("sub/c.txt", 70000)};
  const std::string listed = AppFixture::MakeFile("listed.txt");
  fixture.form.AddFileToList(listed, 1);
  fixture.user.SetStatusText("before");
  fixture.user.statusTexts.clear();
  fixture.user.ChooseFiles(files).AnswerYes();

  EXPECT_TRUE(fixture.form.Run("WipeFiles3"));

  ASSERT_EQ(fixture.user.openRequests.size(), 1u);
  const OpenDialogRequest& chooser = fixture.user.openRequests[0];
  EXPECT_EQ(chooser.title, "Please select the files you want to wipe:");
  EXPECT_EQ(chooser.filter, "All Files (*.*)|*.*");
  EXPECT_EQ(chooser.options, OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing);
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{kConfirm, kWiped}));
  EXPECT_EQ(fixture.user.statusTexts,
            (std::vector<std::string>{"Wiping (1/3)...", "Wiping (2/3)...", "Wiping (3/3)...", "before"}));
  for (const fs::path& file : files) EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(fixture.form.ListView.Count(), 1u) << "the list is not touched";
  EXPECT_EQ(fixture.user.busyDepth, 0);
  EXPECT_EQ(fixture.user.progress.position(), 0);
  EXPECT_TRUE(fs::is_empty(TestDir() / "sub")) << "nothing left under another name";
}

TEST(BatchWipeTest, AFileThatCannotBeWipedIsSkippedAndTheSuccessMessageWithheld) {
  AppFixture fixture;
  const fs::path missing = TestDir() / "missing.txt";
  const fs::path full = AppFixture::MakeFile("full.txt", 100);
  fixture.user.ChooseFiles({missing, full}).AnswerYes();
  fixture.form.WipeFiles3Click();

  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kConfirm,
                                      "error: " + missing.string() + "\n\nNo such file or folder; it was not wiped."}));
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_FALSE(fs::exists(full)) << "the run goes on after a skipped file";
}

TEST(BatchWipeTest, ChooserCancelledDoesNothing) {
  AppFixture fixture;
  fixture.user.CancelOpen();
  fixture.form.WipeFiles3Click();
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(BatchWipeTest, MenuEntriesWipeTheSelectionAndAlwaysTakeItOffTheList) {
  AppFixture fixture;
  const std::string a = AppFixture::MakeFile("a.txt"), b = AppFixture::MakeFile("b.txt"),
                    c = AppFixture::MakeFile("c.txt");
  for (const std::string& path : {a, b, c}) fixture.form.AddFileToList(path, 3);

  fixture.form.WipeFiles2Click();
  EXPECT_TRUE(fixture.user.messages.empty()) << "nothing selected";

  fixture.form.ListView.Select(a);
  fixture.form.ListView.Select(c);
  fixture.form.ListViewSelectItem();
  fixture.user.AnswerNo();
  EXPECT_TRUE(fixture.form.Run("WipeFiles1"));
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{kConfirm});
  EXPECT_TRUE(fs::exists(a) && fs::exists(c)) << "answered No";
  ASSERT_EQ(fixture.form.ListView.Count(), 1u);
  EXPECT_EQ(fixture.form.ListView.Items()[0].fileName, b);
  EXPECT_FALSE(fixture.form.DeleteButton.enabled) << "the selection is gone";

  fixture.form.ListView.Select(b);
  fixture.user.AnswerYes();
  fixture.form.Run("WipeFiles2");
  EXPECT_FALSE(fs::exists(b));
  EXPECT_EQ(fixture.form.ListView.Count(), 0u);
}

TEST(BatchWipeTest, SettingsAreJudgedBeforeTheQuestion) {
  AppFixture fixture;
  const fs::path file = AppFixture::MakeFile("a.txt");
  const auto installed = [] {
    return std::vector<std::pair<std::string, platform::SettingValue>>{
        {"Algorithm", platform::SettingValue::String("0")},
        {"TypeOfWipe", platform::SettingValue::String("1")},
        {"Loop", platform::SettingValue::String("3")},
        {"Wipe", platform::SettingValue::String("0")}};
  };

  auto values = installed();
  values[1].second = platform::SettingValue::String("2");
  StoreMainKey(values);
  fixture.form.WipeFileList({file.string()});

  // Loop is read and converted even for a Government Wipe.
  values = installed();
  values[1].second = platform::SettingValue::String("0");
  values.erase(values.begin() + 2);
  StoreMainKey(values);
  fixture.form.WipeFileList({file.string()});

  values = installed();
  values[2].second = platform::SettingValue::String("three");
  StoreMainKey(values);
  fixture.form.WipeFileList({file.string()});

  const std::string settingsFile = (TestDir() / "config" / "settings.conf").string();
  const std::string settingsError =
      "error: KOVA Voltare caused an unexpected system error.\n\nError code: -1\n"
      "Error message: KOVA Voltare caused an internal error. Please contact the author.";
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{"error: KOVA Voltare caused an unexpected settings error in " + settingsFile +
                                          ".\n\nPlease contact the author.",
                                      settingsError, settingsError}));
  EXPECT_TRUE(fs::exists(file));

  // With no main key at all the store cannot be opened.
  const platform::StoredKey other{"\\Software\\Someone Else", {}};
  platform::SaveSettingsStore(std::span<const platform::StoredKey>(&other, 1));
  fixture.user.messages.clear();
  fixture.form.WipeFileList({file.string()});
  EXPECT_EQ(fixture.user.MessageLog(),
            std::vector<std::string>{"error: KOVA Voltare could not open the settings file " + settingsFile +
                                     ".\n\nPlease check that you may read and write it."});
}

TEST(BatchWipeTest, GovernmentWipeThroughARunOverride) {
  AppFixture fixture;
  const fs::path file = AppFixture::MakeFile("a.txt", 3000);
  fixture.app.Overrides.settings = {{"TypeOfWipe", "0"}};
  fixture.user.AnswerYes();
  fixture.form.WipeFileList({file.string()});
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{kConfirm, kWiped}));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(platform::SettingsKey::OpenReadOnly(platform::kSettingsKey)->ReadString("TypeOfWipe"), "1");
}

TEST(BatchWipeTest, EmptyFilesGoAndOtherNamesOfAFileKeepItWithTheirOwnMessage) {
  AppFixture fixture;
  const fs::path empty = AppFixture::MakeFile("empty.txt", 0);
  const fs::path keep = AppFixture::MakeFile("keep.txt", 100);
  const fs::path other = TestDir() / "other.txt";
  fs::create_hard_link(keep, other);
  fixture.user.AnswerYes();
  EXPECT_FALSE(fixture.form.WipeFileList({empty.string(), other.string()}));
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kConfirm, "error: Unable to wipe file " + other.string() +
                                                    ". It has other names (hard links) that would lose their "
                                                    "content. File skipped."}));
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_EQ(fs::file_size(keep), 100u);
  EXPECT_EQ(fs::file_size(other), 100u);
}

// A pass count outside 1..100 in the store (another version, or by hand) is
// used as its nearest bound, and said once per run.
TEST(BatchWipeTest, StoredPassCountsOutsideTheRangeUseTheNearestBound) {
  struct Case {
    const char* stored;
    const char* used;  // nullptr: used as stored, no notice
  };
  for (const Case& c : {Case{"-3", "1 pass"}, Case{"0", "1 pass"}, Case{"1", nullptr}, Case{"100", nullptr},
                        Case{"101", "100 passes"}}) {
    SCOPED_TRACE(c.stored);
    AppFixture fixture;
    StoreMainKey(
        {{"TypeOfWipe", platform::SettingValue::String("1")}, {"Loop", platform::SettingValue::String(c.stored)}});
    const fs::path first = AppFixture::MakeFile("first.txt", 5000);
    const fs::path second = AppFixture::MakeFile("second.txt", 5000);
    fixture.user.AnswerYes().AnswerYes();
    EXPECT_TRUE(fixture.form.WipeFileList({first.string()}));
    EXPECT_TRUE(fixture.form.WipeFileList({second.string()}));

    std::vector<std::string> expected{kConfirm, kWiped, kConfirm, kWiped};
    if (c.used != nullptr) {
      expected.insert(expected.begin(), std::string("warning: The stored number of passes for a Normal Wipe (") +
                                            c.stored + ") is outside the range from 1 to 100.\nThe wipe makes " +
                                            c.used + " instead; the Preferences dialog sets the number.");
    }
    EXPECT_EQ(fixture.user.MessageLog(), expected);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_EQ(platform::SettingsKey::OpenReadOnly(platform::kSettingsKey)->ReadString("Loop"), c.stored)
        << "the store is left as it is";
  }
}

TEST(BatchWipeTest, CopyOnWriteFileSystemsAreWipedOnlyAfterOneWarningPerRun) {
  struct PlayedFileSystem {
    explicit PlayedFileSystem(std::string type) {
      platform::SetFileSystemTypeReporter([type](const fs::path&) { return type; });
    }
    ~PlayedFileSystem() { platform::SetFileSystemTypeReporter({}); }
  };
  for (const char* type : {"btrfs", "zfs", "bcachefs", "f2fs", "nilfs2", "overlayfs"}) {
    SCOPED_TRACE(type);
    AppFixture fixture;
    const PlayedFileSystem played(type);
    const fs::path a = AppFixture::MakeFile("a.txt", 3000);
    const fs::path b = AppFixture::MakeFile("b.txt", 3000);
    const std::string warning = "warning: " + a.string() + " is on a " + type +
                                " file system, which writes changed data to new places on the disk: overwriting "
                                "cannot reach the old copies of the data there.\nDo you want to wipe the files "
                                "anyway ?";

    fixture.user.AnswerYes().AnswerNo();
    EXPECT_TRUE(fixture.form.WipeFileList({a.string()})) << "No is no failure";
    EXPECT_TRUE(fs::exists(a));
    fixture.user.AnswerYes().AnswerYes().AnswerYes();
    EXPECT_TRUE(fixture.form.WipeFileList({a.string()}));
    EXPECT_TRUE(fixture.form.WipeFileList({b.string()}));
    EXPECT_EQ(fixture.user.MessageLog(),
              (std::vector<std::string>{kConfirm, warning, kConfirm, warning, kWiped, kConfirm, kWiped}));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));
  }
  AppFixture fixture;
  const PlayedFileSystem ext4("ext4");
  const fs::path c = AppFixture::MakeFile("c.txt", 10);
  fixture.user.AnswerYes();
  EXPECT_TRUE(fixture.form.WipeFileList({c.string()}));
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{kConfirm, kWiped}));
}

}  // namespace
}  // namespace voltare::app
