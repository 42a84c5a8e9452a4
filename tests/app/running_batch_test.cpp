// SPDX-License-Identifier: GPL-3.0-or-later
// The running batch of the main window: made when a batch command starts,
// joined by the wipe that ends an encryption, gone with its password when the
// command returns; and the status line it gives back at the end.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window/decrypt_files.h"
#include "app/main_window/main_form.h"
#include "app_fixture.h"
#include "platform/settings_store.h"
#include "platform/staged_file.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

void StoreSetting(const char* name, const char* value) {
  platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteString(name, value);
}

// A file of that name in the test directory, listed and selected.
std::string ListedFile(TMainForm& form, const std::string& name) {
  const std::string path = AppFixture::MakeFile(name, 2000);
  form.AddFileToList(path, 1);
  form.ListView.Select(path);
  return path;
}

// `name` encrypted by the program under "pw" with the plain file gone; the
// encrypted file's path.
std::string EncryptedFile(const std::string& name) {
  AppFixture setup;
  const std::string plain = ListedFile(setup.form, name);
  setup.user.EnterPassword("pw");
  EXPECT_TRUE(setup.form.EncryptSelectedFiles());
  fs::remove(plain);
  return plain + ".vlt";
}

struct BatchCase {
  const char* name;
  // Makes the files and the user's script; the command to run.
  std::function<std::function<void()>(AppFixture&)> prepare;
  const char* password;  // the batch's while it works; empty for a wipe
};

const BatchCase kBatchCases[] = {
    {"encryption and the wipe after it",
     [](AppFixture& fixture) {
       StoreSetting("Wipe", "1");
       ListedFile(fixture.form, "a.txt");
       fixture.user.EnterPassword("first pw").AnswerYes();
       return [&fixture] { fixture.form.Run("EncryptFiles1"); };
     },
     "first pw"},
    {"decryption",
     [](AppFixture& fixture) {
       const std::string encrypted = EncryptedFile("b.txt");
       fixture.user.EnterPassword("pw");
       return [&fixture, encrypted] { DecryptFileList(fixture.app, {encrypted}); };
     },
     "pw"},
    {"wipe",
     [](AppFixture& fixture) {
       ListedFile(fixture.form, "c.txt");
       fixture.user.AnswerYes();
       return [&fixture] { fixture.form.Run("WipeFiles2"); };
     },
     ""},
};

class RunningBatchTest : public ::testing::TestWithParam<BatchCase> {};

// Every status text of a command is shown inside its one batch, the wipe's
// too; afterwards no batch, and so no password, is left.
TEST_P(RunningBatchTest, LivesExactlyAsLongAsTheCommand) {
  AppFixture fixture;
  const std::function<void()> command = GetParam().prepare(fixture);
  std::vector<std::optional<std::string>> passwordsSeen;
  fixture.user.onStatusText = [&](const std::string&) {
    const RunningBatch* batch = fixture.form.Batch();
    passwordsSeen.push_back(batch ? std::optional(std::string(batch->Password.view())) : std::nullopt);
  };
  EXPECT_EQ(fixture.form.Batch(), nullptr);

  command();

  EXPECT_EQ(fixture.form.Batch(), nullptr);
  ASSERT_FALSE(passwordsSeen.empty());
  for (const auto& seen : passwordsSeen) EXPECT_EQ(seen, std::optional<std::string>(GetParam().password));
  EXPECT_TRUE(fixture.user.ScriptDone());
}

std::string CaseName(const ::testing::TestParamInfo<BatchCase>& tested) {
  std::string name = tested.param.name;
  std::erase_if(name, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; });
  return name;
}

INSTANTIATE_TEST_SUITE_P(Commands, RunningBatchTest, ::testing::ValuesIn(kBatchCases), CaseName);

// When the batch's first entry is passed over, the status line the batch
// found is still the one it leaves, not an earlier batch's or none.
TEST(RunningBatchStatusTest, ABatchWhoseFirstEntryIsSkippedRestoresTheStatusItFound) {
  {
    SCOPED_TRACE("decryption after a file without .vlt");
    const std::string encrypted = EncryptedFile("b.txt");
    AppFixture fixture;
    const std::string plain = AppFixture::MakeFile("notes.txt");
    fixture.user.SetStatusText("before");
    fixture.user.EnterPassword("pw");
    EXPECT_EQ(DecryptFileList(fixture.app, {plain, encrypted}), 1u);
    EXPECT_EQ(fixture.user.StatusText(), "before");
  }
  {
    SCOPED_TRACE("bundling that keeps an older x.txt.vlt");
    AppFixture fixture;
    ListedFile(fixture.form, "x.txt");
    ListedFile(fixture.form, "y.txt");
    testing::WriteFileText(TestDir() / "x.txt.vlt", "older copy");
    fixture.user.SetStatusText("before");
    fixture.user.OnPasswordPrompt([](TPasswordBox& box) {
      box.PLX.checked = true;
      box.Password.text = "pw";
      box.ContinueClick();
    });
    fixture.user.ChooseSaveFile(TestDir() / "set.plx").AnswerNo().AnswerYes();
    EXPECT_TRUE(fixture.form.EncryptSelectedFiles());
    EXPECT_TRUE(fs::exists(TestDir() / "set.plx"));
    EXPECT_EQ(fixture.user.StatusText(), "before");
  }
}

// A batch cleans its folder of staging leftovers once, however many files it
// writes there: reading a growing folder per file made large batches cost
// the square of their size. (A hundred files: each output is flushed to the
// disk, and one scan against a hundred says as much as against a thousand.)
constexpr int kFolderBatch = 100;

std::vector<std::string> ListedFiles(TMainForm& form) {
  std::vector<std::string> paths;
  for (int i = 0; i < kFolderBatch; ++i) {
    paths.push_back(AppFixture::MakeFile("f" + std::to_string(i) + ".txt", 100));
    form.AddFileToList(paths.back(), kFolderBatch);
  }
  form.ListView.SetAllSelected(true);
  return paths;
}

const BatchCase kFolderBatchCases[] = {
    {"encryption",
     [](AppFixture& fixture) {
       ListedFiles(fixture.form);
       fixture.user.EnterPassword("pw").AnswerYes();
       return [&fixture] { EXPECT_TRUE(fixture.form.EncryptSelectedFiles()); };
     },
     ""},
    {"decryption",
     [](AppFixture& fixture) {
       AppFixture setup;
       std::vector<std::string> encrypted = ListedFiles(setup.form);
       setup.user.EnterPassword("pw").AnswerYes();
       EXPECT_TRUE(setup.form.EncryptSelectedFiles());
       for (std::string& path : encrypted) {
         fs::remove(path);
         path += ".vlt";
       }
       fixture.user.EnterPassword("pw").AnswerYes();
       return [&fixture, encrypted] { EXPECT_EQ(DecryptFileList(fixture.app, encrypted), std::size_t{kFolderBatch}); };
     },
     ""},
    {"wipe",
     [](AppFixture& fixture) {
       ListedFiles(fixture.form);
       fixture.user.AnswerYes();
       return [&fixture] { fixture.form.Run("WipeFiles2"); };
     },
     ""},
};

class FolderBatchTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(FolderBatchTest, ReadsItsFolderForLeftoversAtMostOnce) {
  AppFixture fixture;
  const std::function<void()> command = GetParam().prepare(fixture);
  int scans = 0;
  platform::staging_test_hooks::SetOnLeftoverScan([&](const fs::path&) { ++scans; });
  command();
  platform::staging_test_hooks::SetOnLeftoverScan(nullptr);
  EXPECT_LE(scans, 1);
  EXPECT_TRUE(fixture.user.ScriptDone());
}

INSTANTIATE_TEST_SUITE_P(Commands, FolderBatchTest, ::testing::ValuesIn(kFolderBatchCases), CaseName);

}  // namespace
}  // namespace voltare::app
