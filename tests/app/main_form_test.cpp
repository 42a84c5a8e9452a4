// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app_fixture.h"
#include "platform/settings_store.h"
#include "platform/temp_files.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

TEST(MainFormTest, StartsWithItsCaptionWelcomeTextAndDisabledEditButtons) {
  AppFixture fixture;
  EXPECT_EQ(fixture.form.Caption, "KOVA Voltare 2.50");
  EXPECT_EQ(fixture.user.StatusText(), "Welcome to KOVA Voltare 2.50");
  EXPECT_EQ(fixture.form.Head.caption, " Untitled:");
  EXPECT_FALSE(fixture.form.CutButton.enabled);
  EXPECT_FALSE(fixture.form.CopyButton.enabled);
  EXPECT_FALSE(fixture.form.PasteButton.enabled);
  EXPECT_FALSE(fixture.form.DeleteButton.enabled);
}

TEST(MainFormTest, WarnsOnlyAboutAColorDepthBelowSixteenBits) {
  AppFixture fixture;
  fixture.form.CheckColorDepth(16);
  fixture.form.CheckColorDepth(0);  // the display did not say
  EXPECT_TRUE(fixture.user.MessageLog().empty());
  fixture.form.CheckColorDepth(8);
  ASSERT_EQ(fixture.user.MessageLog().size(), 1u);
  EXPECT_TRUE(fixture.user.MessageLog()[0].starts_with(
      "information: You are using a screen color resolution which is too low (namely 8 bit).\nYou may"));
  EXPECT_TRUE(fixture.user.MessageLog()[0].ends_with(
      "open the display settings of your desktop. A screen color resolution of 16 bit or higher is recommended."));
}

TEST(MainFormTest, CommandTableReachesEveryHandlerByItsControlName) {
  AppFixture fixture;
  std::set<std::string_view> names;
  for (const Command& command : TMainForm::Commands()) {
    EXPECT_TRUE(names.insert(command.control).second) << command.control << " twice";
  }
  fixture.user.AnswerNo();
  EXPECT_TRUE(fixture.form.Run("New1"));
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{"information: Are you sure you want to create a new list?"}));
  EXPECT_TRUE(fixture.form.Run("Contents"));
  EXPECT_TRUE(fixture.form.Run("VisitKOVASoftwareontheweb1"));
  EXPECT_EQ(fixture.user.helpContexts, std::vector<int>{10});
  ASSERT_EQ(fixture.user.shellOpens.size(), 1u);
  EXPECT_FALSE(fixture.form.Run("NoSuchControl"));
}

TEST(MainFormTest, EnablingRulesFollowTheSelectionAndTheClipboard) {
  AppFixture fixture;
  TMainForm& form = fixture.form;
  form.Actions1Click();
  form.PopupMenuPopup();
  form.Edit1Click();
  for (const char* name : {"DeleteFile1", "EncryptFiles1", "WipeFiles2", "EncryptFiles2", "DeleteFile2", "WipeFiles1",
                           "Cut1", "Copy1", "Paste1", "PasteButton"}) {
    EXPECT_FALSE(form.FindMenuItem(name)->enabled) << name;
  }
  EXPECT_TRUE(form.DecryptFiles1.enabled);

  const std::string file = AppFixture::MakeFile("a.txt");
  form.AddFileToList(file, 1);
  form.Actions1Click();
  EXPECT_FALSE(form.EncryptFiles1.enabled) << "entries but none selected";

  form.ListView.Select(file);
  form.ListViewSelectItem();
  form.Actions1Click();
  form.PopupMenuPopup();
  fixture.user.clipboard = "";
  form.Edit1Click();
  for (const char* name : {"DeleteFile1", "EncryptFiles1", "WipeFiles2", "EncryptFiles2", "DeleteFile2", "WipeFiles1",
                           "Cut1", "Copy1", "CutButton", "CopyButton", "DeleteButton"}) {
    EXPECT_TRUE(form.FindMenuItem(name)->enabled) << name;
  }
  EXPECT_FALSE(form.Paste1.enabled) << "empty clipboard text";

  fixture.user.clipboard = "x";
  form.ListViewSelectItem();
  EXPECT_TRUE(form.PasteButton.enabled);
  fixture.user.clipboard.reset();
  form.ListView.SetAllSelected(false);
  form.ListViewSelectItem();
  EXPECT_TRUE(form.PasteButton.enabled) << "the selection never disables Paste";
  EXPECT_FALSE(form.CutButton.enabled);
  form.Edit1Click();
  EXPECT_FALSE(form.PasteButton.enabled) << "opening the Edit menu does";
}

TEST(MainFormTest, DeleteAsksAndRemovesOnlyTheSelectedEntries) {
  AppFixture fixture;
  TMainForm& form = fixture.form;
  const std::string a = AppFixture::MakeFile("a.txt"), b = AppFixture::MakeFile("b.txt"),
                    c = AppFixture::MakeFile("c.txt");
  for (const auto& f : {a, b, c}) form.AddFileToList(f, 3);
  form.ListView.Select(a);
  form.ListView.Select(c);

  fixture.user.AnswerNo().AnswerYes();
  form.DeleteButtonClick();
  EXPECT_EQ(form.ListView.Count(), 3u);
  form.DeleteButtonClick();
  ASSERT_EQ(form.ListView.Count(), 1u);
  EXPECT_EQ(form.ListView.Items()[0].fileName, b);
  EXPECT_TRUE(fs::exists(a)) << "the file itself stays";
  EXPECT_EQ(
      fixture.user.MessageLog(),
      (std::vector<std::string>{"confirmation: Are you sure you want to delete the selected file from the list?",
                                "confirmation: Are you sure you want to delete the selected file from the list?"}));
}

TEST(MainFormTest, CutCopyAndPasteMoveEntriesThroughTheClipboard) {
  AppFixture fixture;
  TMainForm& form = fixture.form;
  const std::string a = AppFixture::MakeFile("a.txt"), b = AppFixture::MakeFile("b.txt"),
                    c = AppFixture::MakeFile("c.txt");
  for (const auto& f : {c, a, b}) form.AddFileToList(f, 3);
  form.ListView.Select(c);
  form.ListView.Select(a);

  form.CopyButtonClick();
  EXPECT_EQ(fixture.user.clipboard, a + "\n" + c + "\n") << "in list order, one line feed each";
  EXPECT_EQ(form.ListView.Count(), 3u);
  EXPECT_TRUE(form.PasteButton.enabled);

  form.CutButtonClick();
  EXPECT_EQ(fixture.user.clipboard, a + "\n" + c + "\n");
  ASSERT_EQ(form.ListView.Count(), 1u);
  EXPECT_FALSE(form.CutButton.enabled);

  // Pasting: existing files only, no directories, no duplicates.
  fs::create_directory(TestDir() / "dir");
  fixture.user.clipboard =
      a + "\r\n" + (TestDir() / "dir").string() + "\n" + b + "\r" + c + "\n" + (TestDir() / "gone.txt").string();
  form.PasteButtonClick();
  std::vector<std::string> paths;
  for (const auto& item : form.ListView.Items()) paths.push_back(item.fileName);
  EXPECT_EQ(paths, (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(fixture.user.progress.max(), 5) << "the batch is the number of lines";
  EXPECT_EQ(fixture.user.progress.position(), 0);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(MainFormTest, NewAsksAndEmptiesTheListButClearListDoesNot) {
  AppFixture fixture;
  TMainForm& form = fixture.form;
  form.AddFileToList(AppFixture::MakeFile("a.txt"), 1);
  form.Head.caption = " /x/list.vls:";
  form.ClearList1Click();
  EXPECT_EQ(form.ListView.Count(), 0u);
  EXPECT_EQ(form.Head.caption, " /x/list.vls:") << "Clear List keeps the heading";

  form.AddFileToList(AppFixture::MakeFile("a.txt"), 1);
  fixture.user.AnswerYes();
  form.NewButtonClick();
  EXPECT_EQ(form.ListView.Count(), 0u);
  EXPECT_EQ(form.Head.caption, " Untitled:");
  ASSERT_EQ(fixture.user.messages.size(), 1u);
  EXPECT_EQ(fixture.user.messages[0].kind, MessageKind::Information);
  EXPECT_EQ(fixture.user.messages[0].buttons, MessageButtons::YesNo);
}

TEST(MainFormTest, AddFilesAndDirectoriesThroughTheDialogs) {
  AppFixture fixture;
  TMainForm& form = fixture.form;
  const std::string a = AppFixture::MakeFile("a.txt"), b = AppFixture::MakeFile("b.txt");
  AppFixture::MakeFile("tree/x.txt");
  AppFixture::MakeFile("tree/y/z.txt");

  fixture.user.ChooseFiles({a, b}).ChooseDirectory(TestDir() / "tree").CancelDirectory().CancelOpen();
  form.AddFileButtonClick();
  const OpenDialogRequest& request = fixture.user.openRequests.at(0);
  EXPECT_EQ(request.title, "Please select the file(s) you want to add:");
  EXPECT_EQ(request.filter, "All Files (*.*)|*.*");
  EXPECT_EQ(request.options, OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing);
  EXPECT_EQ(form.ListView.Count(), 2u);

  form.AddDirClick();
  EXPECT_EQ(fixture.user.directoryRequests.at(0).caption, "Please select a directory you want to add:");
  EXPECT_EQ(form.ListView.Count(), 4u);
  form.AddDirClick();
  EXPECT_EQ(form.ListView.Count(), 4u);

  // Open clears the options but keeps the title the shared dialog last had.
  form.OpenButtonClick();
  EXPECT_EQ(fixture.user.openRequests.at(1).title, "Please select the file(s) you want to add:");
  EXPECT_EQ(fixture.user.openRequests.at(1).filter, "KOVA Voltare Save Files (*.vls)|*.vls");
  EXPECT_EQ(fixture.user.openRequests.at(1).options, OpenNone);
  EXPECT_EQ(fixture.user.progress.position(), 0);
}

TEST(MainFormTest, DroppedFilesAndDirectoriesAreAdded) {
  AppFixture fixture;
  const std::string a = AppFixture::MakeFile("a.txt");
  AppFixture::MakeFile("tree/x.txt");
  AppFixture::MakeFile("tree/sub/y.txt");
  const std::vector<std::string> dropped{a, (TestDir() / "tree").string(), (TestDir() / "missing").string()};
  fixture.form.DropFiles(dropped);
  EXPECT_EQ(fixture.form.ListView.Count(), 3u);
  EXPECT_EQ(fixture.user.progress.position(), 0);
}

TEST(MainFormTest, DoubleClickOpensTheFirstSelectedFileInItsDirectory) {
  AppFixture fixture;
  fixture.form.ListViewDblClick();
  EXPECT_TRUE(fixture.user.shellOpens.empty());
  const std::string a = AppFixture::MakeFile("sub/a.txt"), b = AppFixture::MakeFile("b.txt");
  fixture.form.AddFileToList(a, 2);
  fixture.form.AddFileToList(b, 2);
  fixture.form.SelectAll1Click();
  EXPECT_EQ(fixture.form.ActiveControl, &fixture.form.ListView);
  fixture.form.ListViewDblClick();
  ASSERT_EQ(fixture.user.shellOpens.size(), 1u);
  EXPECT_EQ(fixture.user.shellOpens[0].first, a);
  EXPECT_EQ(fixture.user.shellOpens[0].second, TestDir() / "sub");
}

TEST(MainFormTest, ClosingDeletesOnlyLeftoverTemporaryFilesOfTheProgram) {
  AppFixture fixture;
  const fs::path temp = *platform::PrivateTempDir();
  const auto held = platform::TempFile::Create();  // in use by another running copy
  ASSERT_TRUE(held);
  for (const char* name : {"VolA1.TMP", "Vol2.TMP", "member.vlt", "keep.txt", "vol3.TMP", "Vol4.tmp", "x.vlt.bak"}) {
    testing::WriteFileText(temp / name, "x");
  }
  fs::create_directory(temp / "Voldir.TMP");
  const std::string elsewhere = AppFixture::MakeFile("other.vlt");
  const std::string elsewhereTmp = AppFixture::MakeFile("Vol9.TMP");

  fixture.form.Exit1Click();
  EXPECT_TRUE(fixture.form.Closed);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(temp)) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"keep.txt", "vol3.TMP", "Vol4.tmp", "x.vlt.bak", "Voldir.TMP",
                                         held->path().filename().string()}));
  EXPECT_TRUE(fs::exists(elsewhere));
  EXPECT_TRUE(fs::exists(elsewhereTmp));
}

TEST(MainFormTest, FirstActivationTakesCommandLinePathsFromTheStartDirectory) {
  AppFixture fixture;
  std::vector<std::vector<std::string>> decrypted;
  fixture.form.DecryptFileList = [&](const std::vector<std::string>& paths) { decrypted.push_back(paths); };
  AppFixture::MakeFile("my secret file.vlt");
  const std::vector<std::string> arguments{"my", "secret", "file.vlt"};
  fixture.form.FormActivate(arguments);
  ASSERT_EQ(decrypted.size(), 1u);
  EXPECT_EQ(decrypted[0], std::vector<std::string>{(TestDir() / "my secret file.vlt").string()});

  fixture.form.FormActivate(arguments);
  EXPECT_EQ(decrypted.size(), 1u) << "only the first activation";
}

TEST(MainFormTest, ABrokenCheckUpdateIsReportedAndTheCommandLineIsStillHandled) {
  platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteString("CheckUpdate", "1");
  AppFixture fixture;
  bool checked = false, decrypted = false;
  fixture.form.CheckForUpdate = [&] { checked = true; };
  fixture.form.DecryptFileList = [&](const std::vector<std::string>&) { decrypted = true; };
  fixture.form.FormActivate(std::vector<std::string>{AppFixture::MakeFile("a.vlt")});
  EXPECT_EQ(fixture.user.MessageLog(),
            std::vector<std::string>{"error: KOVA Voltare caused an unexpected system error.\n\nError code: -1\n"
                                     "Error message: The setting \"CheckUpdate\" is a string, not a 32-bit number"});
  EXPECT_FALSE(checked);
  EXPECT_TRUE(decrypted);
}

TEST(MainFormTest, CommandLineListOpensOnlyWithItsExtension) {
  AppFixture::MakeFile("list.VLX");
  AppFixture::MakeFile("other.txt");
  for (const char* name : {"list.VLX", "other.txt", "missing.vls", "missing.VLT"}) {
    AppFixture fixture;
    bool decrypted = false;
    fixture.form.DecryptFileList = [&](const std::vector<std::string>&) { decrypted = true; };
    fixture.form.FormActivate(std::vector<std::string>{name});
    EXPECT_FALSE(decrypted) << name;
    EXPECT_TRUE(fixture.user.passwordPrompts.empty()) << name;
    EXPECT_TRUE(fixture.user.messages.empty()) << name;
  }
}

TEST(MainFormTest, PropertiesShowsThePreferencesModally) {
  AppFixture fixture;
  fixture.user.OnForm("PreferencesForm", [](ModalForm& form) {
    auto& preferences = dynamic_cast<TPreferencesForm&>(form);
    EXPECT_TRUE(preferences.BlowfishButton.checked) << "loaded at showing";
    preferences.CancelButtonClick();
  });
  fixture.form.PropertiesClick();
  EXPECT_EQ(fixture.user.formsShown, std::vector<std::string>{"PreferencesForm"});
}

}  // namespace
}  // namespace voltare::app
