// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <iterator>

#include "app/main_window/open_save_list.h"
#include "app_fixture.h"
#include "platform/ini_file.h"
#include "platform/os_error.h"
#include "platform/temp_files.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

std::vector<std::string> Paths(const TMainForm& form) {
  std::vector<std::string> paths;
  for (const auto& item : form.ListView.Items()) paths.push_back(item.fileName);
  return paths;
}

// A list file made outside the program from initialization-file text.
void WriteListFile(const fs::path& path, const std::string& iniText, const std::string& password) {
  const fs::path plain = TestDir() / "plain.ini", packed = TestDir() / "packed.z";
  testing::WriteFileText(plain, iniText);
  testing::RecordingProgress progress;
  ASSERT_EQ(transforms::CompressFile(plain, packed, &progress), 0);
  ASSERT_EQ(transforms::BlowfishEncryptFile(packed, path, password, &progress, true), 0);
}

int TemporaryFilesLeft() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(*platform::PrivateTempDir())) ++count;
  return count;
}

TEST(SavedListTest, SavedListLoadsBackWithTheSamePassword) {
  const std::string a = AppFixture::MakeFile("a.txt"), b = AppFixture::MakeFile("dir with blanks/b.txt");
  const fs::path listFile = TestDir() / "mylist.vls";
  {
    AppFixture fixture;
    fixture.form.AddFileToList(b, 2);
    fixture.form.AddFileToList(a, 2);
    fixture.user.ChooseSaveFile(TestDir() / "mylist").EnterPassword("list password");
    fixture.form.SaveButtonClick();
    EXPECT_TRUE(fixture.user.messages.empty());
    EXPECT_EQ(fixture.user.saveRequests.at(0).title, "");
    EXPECT_EQ(fixture.user.saveRequests.at(0).filter, "KOVA Voltare Save File (*.vls)|*.vls");
    const testing::SeenPasswordPrompt& prompt = fixture.user.passwordPrompts.at(0);
    EXPECT_EQ(prompt.fileName, "");
    EXPECT_FALSE(prompt.bundleVisible || prompt.headerVisible || prompt.algorithmVisible);
    EXPECT_EQ(fixture.form.Head.caption, " " + listFile.string() + ":");
    EXPECT_EQ(fixture.user.busyDepth, 0);
    EXPECT_GT(fixture.user.busyShown, 0);
  }
  ASSERT_TRUE(fs::exists(listFile)) << "the extension was added";
  const auto bytes = testing::ReadFileBytes(listFile);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 12), "KOVA Voltare");
  EXPECT_EQ(TemporaryFilesLeft(), 0);

  AppFixture fixture;
  fixture.user.ChooseFiles({listFile}).EnterPassword("list password");
  fixture.form.OpenButtonClick();
  EXPECT_EQ(Paths(fixture.form), (std::vector<std::string>{a, b}));
  EXPECT_EQ(fixture.user.passwordPrompts.at(0).fileName, "mylist.vls");
  EXPECT_EQ(fixture.form.Head.caption, " " + listFile.string() + ":");
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_EQ(TemporaryFilesLeft(), 0);
}

TEST(SavedListTest, AWrongPasswordReportsItAndLeavesTheListAsItWas) {
  const std::string a = AppFixture::MakeFile("a.txt"), b = AppFixture::MakeFile("b.txt");
  const fs::path listFile = TestDir() / "l.vls";
  WriteListFile(listFile, "[KOVAVoltare]\r\nFile0=" + a + "\r\n", "right");

  AppFixture fixture;
  fixture.form.AddFileToList(b, 1);
  fixture.user.EnterPassword("wrong");
  EXPECT_EQ(fixture.form.LoadListFile(listFile), platform::ErrReported);
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{"error: " + listFile.string() + "\n\nWrong password; the list was not opened."}));
  EXPECT_EQ(Paths(fixture.form), std::vector<std::string>{b});
  EXPECT_EQ(fixture.form.Head.caption, " Untitled:");
  EXPECT_EQ(TemporaryFilesLeft(), 0);
}

TEST(SavedListTest, MissingFilesAndSkippedKeyNumbersAreReportedOnceAfterLoading) {
  const std::string a = AppFixture::MakeFile("a.txt"), c = AppFixture::MakeFile("c.txt"),
                    present = AppFixture::MakeFile("present.txt");
  const fs::path listFile = TestDir() / "l.vls";
  // Keys File0, File2, File3: read as File0, File1 ("ERROR"), File2; File3 is never read.
  WriteListFile(
      listFile,
      "[KOVAVoltare]\r\nFile0=" + a + "\r\nFile2=" + c + "\r\nFile3=" + (TestDir() / "never").string() + "\r\n", "pw");

  AppFixture fixture;
  fixture.form.AddFileToList(present, 1);
  fixture.form.AddFileToList(a, 1);
  fixture.user.EnterPassword("pw");
  EXPECT_EQ(fixture.form.LoadListFile(listFile), platform::Success);
  EXPECT_EQ(Paths(fixture.form), (std::vector<std::string>{a, c, present})) << "added to what was there";
  EXPECT_EQ(fixture.user.MessageLog(),
            std::vector<std::string>{"error: One or more files in the savefile don't exist"});
  EXPECT_EQ(fixture.form.Head.caption, " " + listFile.string() + ":");
  EXPECT_EQ(fixture.user.progress.max(), 3);
  EXPECT_EQ(fixture.user.progress.position(), 0);
}

TEST(SavedListTest, AFailedSaveKeepsTheOldList) {
  const std::string a = AppFixture::MakeFile("a.txt");
  const fs::path dir = TestDir() / "lists", listFile = dir / "l.vls";
  fs::create_directory(dir);
  WriteListFile(listFile, "[KOVAVoltare]\r\nFile0=" + a + "\r\n", "pw");
  const auto old = testing::ReadFileBytes(listFile);
  AppFixture fixture;
  fixture.form.AddFileToList(a, 1);
  // The disk fills up as soon as the new list is being written.
  fixture.user.progress.onRepaint = [&] {
    const auto entries = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    if (entries > 1 || testing::ReadFileBytes(listFile) != old) throw platform::OsError(ENOSPC, "disk full");
  };
  fixture.user.ChooseSaveFile(listFile).EnterPassword("new password");
  fixture.form.SaveButtonClick();
  ASSERT_EQ(fixture.user.messages.size(), 1u);
  EXPECT_NE(fixture.user.messages[0].text.find("No space left on the device; the list was not saved"),
            std::string::npos)
      << fixture.user.messages[0].text;
  EXPECT_EQ(testing::ReadFileBytes(listFile), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(SavedListTest, CancelInThePasswordPromptNeitherWritesNorReads) {
  const std::string a = AppFixture::MakeFile("a.txt");
  AppFixture fixture;
  fixture.form.AddFileToList(a, 1);
  fixture.user.ChooseSaveFile(TestDir() / "out.vls").CancelPassword();
  fixture.form.SaveButtonClick();
  EXPECT_FALSE(fs::exists(TestDir() / "out.vls"));
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_EQ(fixture.form.Head.caption, " Untitled:");

  const fs::path listFile = TestDir() / "l.vls";
  WriteListFile(listFile, "[KOVAVoltare]\r\nFile0=" + a + "\r\n", "pw");
  fixture.form.ClearList1Click();
  fixture.user.CancelPassword();
  EXPECT_EQ(fixture.form.LoadListFile(listFile), platform::ErrReported);
  EXPECT_EQ(fixture.form.ListView.Count(), 0u);
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_EQ(fixture.user.busyDepth, 0);
  EXPECT_EQ(TemporaryFilesLeft(), 0);
}

TEST(SavedListTest, AMissingOrDamagedListFileIsReported) {
  AppFixture fixture;
  EXPECT_EQ(fixture.form.LoadListFile(TestDir() / "none.vls"), platform::ErrNoSuchFile);
  EXPECT_TRUE(fixture.user.passwordPrompts.empty());

  testing::WriteFileText(TestDir() / "short.vls", "KOVA Volt");
  fixture.user.EnterPassword("pw");
  EXPECT_EQ(fixture.form.LoadListFile(TestDir() / "short.vls"), platform::ErrReported);
  ASSERT_EQ(fixture.user.messages.size(), 1u);
  // Too short for a list: the password check cannot tell it from a wrong password.
  EXPECT_EQ(fixture.user.messages[0].text,
            (TestDir() / "short.vls").string() + "\n\nWrong password; the list was not opened.");
  EXPECT_EQ(fixture.form.ListView.Count(), 0u);
}

TEST(SavedListTest, ACommandLineListOpensAtFirstActivation) {
  const std::string a = AppFixture::MakeFile("a.txt");
  WriteListFile(TestDir() / "start.vls", "[KOVAVoltare]\r\nFile0=" + a + "\r\n", "pw");
  AppFixture fixture;
  fixture.user.EnterPassword("pw");
  fixture.form.FormActivate(std::vector<std::string>{"start.vls"});
  EXPECT_EQ(Paths(fixture.form), std::vector<std::string>{a});
  EXPECT_EQ(fixture.form.Head.caption, " " + (TestDir() / "start.vls").string() + ":");
}

}  // namespace
}  // namespace voltare::app

namespace voltare::app {
namespace {

TEST(SavedListTest, EveryEntryIsReadHoweverLongTheList) {
  const std::string a = AppFixture::MakeFile("a.txt"), last = AppFixture::MakeFile("last.txt");
  std::string text = "[KOVAVoltare]\r\n";
  for (int k = 0; k < 2499; ++k) text += "File" + std::to_string(k) + "=" + a + "\r\n";
  text += "File2499=" + last + "\r\n";
  WriteListFile(TestDir() / "long.vls", text, "pw");

  AppFixture fixture;
  fixture.user.EnterPassword("pw");
  EXPECT_EQ(fixture.form.LoadListFile(TestDir() / "long.vls"), platform::Success);
  // Once cut to what 16384 bytes of key names held (File0 to File1942).
  EXPECT_EQ(Paths(fixture.form), (std::vector<std::string>{a, last}));
  EXPECT_EQ(fixture.user.progress.max(), 2500);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(SavedListTest, ListTextKeepsAHundredThousandEntriesAndReadsOlderListsAsBefore) {
  std::vector<std::string> paths;
  for (int k = 0; k < 100000; ++k) paths.push_back("/home/a/file " + std::to_string(k) + ".txt");
  paths.push_back("/" + std::string(4000, 'p'));
  EXPECT_EQ(SavedListPaths(SavedListText(paths)), paths);

  // Written by other versions: keys in any order, numbers skipped.
  const struct {
    const char* text;
    std::vector<std::string> paths;
  } kOlder[] = {
      {"[KOVAVoltare]\r\nFile1=/b\r\nFile0=/a\r\n", {"/a", "/b"}},
      {"[KOVAVoltare]\r\nFile0=/a\r\nFile2=/c\r\nFile3=/d\r\n", {"/a", "ERROR", "/c"}},
      {"[kovavoltare]\nfile0 = \" /a \"\n", {" /a "}},
      {"[Other]\r\nFile0=/a\r\n", {}},
  };
  for (const auto& older : kOlder) EXPECT_EQ(SavedListPaths(older.text), older.paths) << older.text;
}

TEST(SavedListTest, APathOfFourThousandBytesRoundTrips) {
  fs::path deep = TestDir();
  while (deep.string().size() < 3800) deep /= std::string(200, 'd');
  const std::string file = AppFixture::MakeFile(
      (deep / std::string(4000 - deep.string().size() - 1, 'f')).lexically_relative(TestDir()).string());
  ASSERT_EQ(file.size(), 4000u);
  const fs::path listFile = TestDir() / "deep.vls";
  {
    AppFixture fixture;
    fixture.form.AddFileToList(file, 1);
    fixture.user.EnterPassword("pw");
    EXPECT_EQ(fixture.form.SaveListFile(listFile), platform::Success);
  }
  AppFixture fixture;
  fixture.user.EnterPassword("pw");
  EXPECT_EQ(fixture.form.LoadListFile(listFile), platform::Success);
  EXPECT_EQ(Paths(fixture.form), std::vector<std::string>{file});
  EXPECT_TRUE(fixture.user.messages.empty());
}

}  // namespace
}  // namespace voltare::app
