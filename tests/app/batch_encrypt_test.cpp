// SPDX-License-Identifier: GPL-3.0-or-later
// Batch encryption through the main window, with the scripted user: the order
// of prompts, questions, status texts and messages, and the files left behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/main_window/decrypt_files.h"
#include "app/main_window/main_form.h"
#include "app_fixture.h"
#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "platform/settings_store.h"
#include "platform/temp_files.h"
#include "support/scoped_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"
#include "transforms/vlt_format.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::ReadFileBytes;
using testing::TestDir;

constexpr char kWelcome[] = "Welcome to KOVA Voltare 2.50";
constexpr char kEncrypted[] = "information: The file(s) are successfully encrypted !";
constexpr char kSamePassword[] =
    "confirmation: Do you want to use the same password you just used to all the other selected files ?";

void StoreSetting(const char* name, const char* value) {
  platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteString(name, value);
}

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Decrypts a ".vlt" with the transforms directly and expands it; the text.
std::string DecryptVlt(const fs::path& vlt, const std::string& password) {
  const fs::path packed = TestDir() / "check.z";
  const fs::path plain = TestDir() / "check.txt";
  testing::RecordingProgress progress;
  platform::ResultCode result = platform::ErrInternal;
  switch (transforms::ReadAlgorithmId(vlt)) {
    case transforms::kAlgorithmBlowfish:
      result = transforms::BlowfishDecryptFile(vlt, packed, password, &progress, false);
      break;
    case transforms::kAlgorithmCast128:
      result = transforms::Cast5DecryptFile(vlt, packed, password, &progress);
      break;
    case transforms::kAlgorithmDes: {
      const std::uint64_t key = transforms::DesKeyFromPassword(password);
      result = transforms::DesDecryptFile(vlt, packed, static_cast<std::uint32_t>(key),
                                          static_cast<std::uint32_t>(key >> 32), &progress);
      break;
    }
    default:
      break;
  }
  EXPECT_EQ(result, platform::Success) << vlt;
  EXPECT_EQ(transforms::DecompressFile(packed, plain, &progress), platform::Success) << vlt;
  const std::string text = ReadText(plain);
  fs::remove(packed);
  fs::remove(plain);
  return text;
}

std::vector<std::string> LeftoverTempFiles() {
  std::vector<std::string> names;
  const auto dir = platform::PrivateTempDir();
  if (!dir) return names;
  for (const auto& entry : fs::directory_iterator(*dir)) names.push_back(entry.path().filename().string());
  return names;
}

struct EncryptFixture : AppFixture {
  // Files a.txt, b.txt, c.txt with distinct contents, listed and selected.
  std::vector<std::string> AddSelected(std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"}) {
    std::vector<std::string> paths;
    for (const std::string& name : names) {
      const std::string path = (TestDir() / name).string();
      fs::create_directories(fs::path(path).parent_path());
      testing::WriteFileText(path, "contents of " + name + std::string(3000, name[0]));
      form.AddFileToList(path, 1);
      form.ListView.Select(path);
      paths.push_back(path);
    }
    user.statusTexts.clear();
    return paths;
  }

  // The bundle box checked by the user at the prompt, then OK.
  void BundleWithPassword(const std::string& password) {
    user.OnPasswordPrompt([password](TPasswordBox& box) {
      box.PLX.checked = true;
      box.Password.text = password;
      box.ContinueClick();
    });
  }
};

TEST(BatchEncryptTest, NothingSelectedDoesNothingAtAll) {
  EncryptFixture fixture;
  fixture.form.AddFileToList(AppFixture::MakeFile("a.txt"), 1);
  EXPECT_TRUE(fixture.form.Run("EncryptFiles1"));
  EXPECT_TRUE(fixture.user.passwordPrompts.empty());
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_FALSE(fs::exists(TestDir() / "a.txt.vlt"));
}

TEST(BatchEncryptTest, ThreeFilesOnePasswordBundledAndWiped) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected();
  const fs::path archive = TestDir() / "out" / "batch.plx";
  fs::create_directories(archive.parent_path());
  fixture.BundleWithPassword("pass word");
  fixture.user.ChooseSaveFile(TestDir() / "out" / "batch.zip").AnswerYes().AnswerYes();

  fixture.form.Run("EncryptFiles2");

  ASSERT_EQ(fixture.user.passwordPrompts.size(), 1u);
  const auto& prompt = fixture.user.passwordPrompts[0];
  EXPECT_EQ(prompt.fileName, "a.txt");
  EXPECT_EQ(prompt.algorithm, "Blowfish");
  EXPECT_TRUE(prompt.bundleVisible && prompt.headerVisible && prompt.algorithmVisible);
  ASSERT_EQ(fixture.user.saveRequests.size(), 1u);
  EXPECT_EQ(fixture.user.saveRequests[0].title, "Please enter a filename for the PLX Archive file:");
  EXPECT_EQ(fixture.user.saveRequests[0].filter, "PLX Archive (*.plx)|*.plx");
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kSamePassword, "confirmation: Are you sure you want to wipe the selected files?",
                                      "information: The files are successfully wiped !", kEncrypted}));
  EXPECT_EQ(fixture.user.statusTexts,
            (std::vector<std::string>{"Compressing (1/3)...", "Encrypting (1/3)...", "Compressing (2/3)...",
                                      "Encrypting (2/3)...", "Compressing (3/3)...", "Encrypting (3/3)...", kWelcome,
                                      "Bundling files to one (1/3) -- PLX", "Bundling files to one (2/3) -- PLX",
                                      "Bundling files to one (3/3) -- PLX", kWelcome, "Verifying (1/3)...",
                                      "Verifying (2/3)...", "Verifying (3/3)...", kWelcome, "Wiping (1/3)...",
                                      "Wiping (2/3)...", "Wiping (3/3)...", kWelcome}));

  std::vector<archive::ArchiveMember> members;
  ASSERT_EQ(archive::ListArchiveMembers(archive, members), platform::Success);
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].name, "a.txt.vlt");
  EXPECT_EQ(members[2].name, "c.txt.vlt");
  for (const std::string& path : paths) {
    EXPECT_FALSE(fs::exists(path)) << "wiped";
    EXPECT_FALSE(fs::exists(path + ".vlt")) << "packed into the archive";
  }
  EXPECT_EQ(fixture.form.ListView.Count(), 0u);
  EXPECT_EQ(fixture.user.busyDepth, 0);
  EXPECT_EQ(fixture.user.progress.position(), 0);

  // The members decrypt back to what the files held.
  std::vector<archive::ExtractedMember> extracted;
  const std::vector<std::size_t> wanted{0, 1, 2};
  ASSERT_EQ(archive::ExtractFromArchive(wanted, archive, extracted), platform::Success);
  ASSERT_EQ(extracted.size(), 3u);
  EXPECT_EQ(DecryptVlt(extracted[1].path, "pass word"), "contents of b.txt" + std::string(3000, 'b'));
}

TEST(BatchEncryptTest, EveryAlgorithmOfTheSettingsRoundTrips) {
  for (const auto& [setting, caption, id] :
       {std::tuple{"0", "Blowfish", transforms::kAlgorithmBlowfish},
        std::tuple{"1", "CAST5", transforms::kAlgorithmCast128}, std::tuple{"2", "DES", transforms::kAlgorithmDes}}) {
    SCOPED_TRACE(caption);
    EncryptFixture fixture;
    StoreSetting("Algorithm", setting);
    const auto paths = fixture.AddSelected({std::string("file") + setting + ".doc"});
    fixture.user.EnterPassword("secret");
    fixture.form.Run("EncryptFiles1");

    ASSERT_EQ(fixture.user.passwordPrompts.size(), 1u);
    EXPECT_EQ(fixture.user.passwordPrompts[0].algorithm, caption);
    EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{kEncrypted}) << "one file: no same-password question";
    const fs::path vlt = paths[0] + ".vlt";
    EXPECT_EQ(transforms::ReadAlgorithmId(vlt), id);
    EXPECT_EQ(DecryptVlt(vlt, "secret"), ReadText(paths[0]));
    EXPECT_EQ(fixture.form.ListView.SelectedCount(), 1u) << "without wiping the list stays";
    EXPECT_EQ(LeftoverTempFiles(), std::vector<std::string>{});
  }
}

TEST(BatchEncryptTest, AnOldVltStaysWholeUntilReplacedAndALinkIsReplacedNotFollowed) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
  const fs::path older = paths[0] + ".vlt", linked = paths[1] + ".vlt";
  testing::WriteFileText(older, "an older encryption");
  testing::WriteFileText(TestDir() / "target.txt", "not to be written through");
  fs::create_symlink(TestDir() / "target.txt", linked);
  std::set<std::string> seenWhileEncrypting;
  fixture.user.progress.onRepaint = [&] {
    if (fixture.user.statusTexts.back() == "Encrypting (1/2)..." && fixture.user.progress.position() > 0) {
      seenWhileEncrypting.insert(ReadText(older));
    }
  };
  // Yes to replacing a.txt.vlt, to the same password, to replacing the link.
  fixture.user.EnterPassword("pw").AnswerYes().AnswerYes().AnswerYes();
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(seenWhileEncrypting, std::set<std::string>{"an older encryption"});
  EXPECT_EQ(DecryptVlt(older, "pw"), ReadText(paths[0]));
  EXPECT_FALSE(fs::is_symlink(linked));
  EXPECT_EQ(DecryptVlt(linked, "pw"), ReadText(paths[1]));
  EXPECT_EQ(ReadText(TestDir() / "target.txt"), "not to be written through");
}

TEST(BatchEncryptTest, DesKeyIsThePasswordsBytesPaddedWithZeros) {
  EncryptFixture fixture;
  StoreSetting("Algorithm", "2");
  const auto paths = fixture.AddSelected({"short.txt"});
  fixture.user.EnterPassword("abc");
  fixture.form.Run("EncryptFiles1");

  const std::array<std::uint8_t, 8> block{'a', 'b', 'c', 0, 0, 0, 0, 0};
  const std::uint64_t key = transforms::DesKeyFromKeyBlock(block);
  testing::RecordingProgress progress;
  ASSERT_EQ(transforms::DesDecryptFile(paths[0] + ".vlt", TestDir() / "z", static_cast<std::uint32_t>(key),
                                       static_cast<std::uint32_t>(key >> 32), &progress),
            platform::Success);
  ASSERT_EQ(transforms::DecompressFile(TestDir() / "z", TestDir() / "plain", &progress), platform::Success);
  EXPECT_EQ(ReadText(TestDir() / "plain"), ReadText(paths[0]));
}

TEST(BatchEncryptTest, SameNamedFilesFromTwoFoldersKeepTheirFoldersInTheArchiveAndComeBackBoth) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected({"2023/IMG.jpg", "2024/IMG.jpg"});
  fixture.BundleWithPassword("pw");
  fixture.user.ChooseSaveFile(TestDir() / "p.plx").AnswerYes().AnswerYes();
  ASSERT_TRUE(fixture.form.EncryptSelectedFiles());
  for (const std::string& path : paths) EXPECT_FALSE(fs::exists(path));

  std::vector<archive::ArchiveMember> members;
  ASSERT_EQ(archive::ListArchiveMembers(TestDir() / "p.plx", members), platform::Success);
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].name, "2023/IMG.jpg.vlt");
  EXPECT_EQ(members[1].name, "2024/IMG.jpg.vlt");

  const fs::path out = TestDir() / "out";
  fs::create_directories(out);
  fixture.user.ChooseArchiveMembers(out.string(), {"2023/IMG.jpg.vlt", "2024/IMG.jpg.vlt"}).EnterPassword("pw");
  EXPECT_EQ(app::DecryptFileList(fixture.app, {(TestDir() / "p.plx").string()}), 2u);
  EXPECT_EQ(ReadText(out / "2023" / "IMG.jpg"), "contents of 2023/IMG.jpg" + std::string(3000, '2'));
  EXPECT_EQ(ReadText(out / "2024" / "IMG.jpg"), "contents of 2024/IMG.jpg" + std::string(3000, '2'));
}

TEST(BatchEncryptTest, DeclinedSamePasswordAsksAgainNamingTheFirstFileAndKeepsTheBundle) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected();
  fixture.BundleWithPassword("one");
  fixture.user.ChooseSaveFile(TestDir() / "kept").AnswerNo().EnterPassword("two").EnterPassword("three");

  fixture.form.Run("EncryptFiles1");

  ASSERT_EQ(fixture.user.passwordPrompts.size(), 3u);
  for (const auto& prompt : fixture.user.passwordPrompts) EXPECT_EQ(prompt.fileName, "a.txt");
  EXPECT_TRUE(fixture.user.passwordPrompts[0].bundleVisible);
  EXPECT_FALSE(fixture.user.passwordPrompts[1].bundleVisible);
  EXPECT_TRUE(fixture.user.passwordPrompts[1].bundleChecked) << "the box keeps its state, hidden";
  EXPECT_FALSE(fixture.user.passwordPrompts[2].bundleVisible);
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{kSamePassword, kEncrypted}));

  // The archive chosen at the first prompt is written although the later
  // replies carried no bundle choice.
  std::vector<archive::ArchiveMember> members;
  ASSERT_EQ(archive::ListArchiveMembers(TestDir() / "kept.plx", members), platform::Success);
  EXPECT_EQ(members.size(), 3u);
  std::vector<archive::ExtractedMember> extracted;
  const std::vector<std::size_t> wanted{0, 1, 2};
  ASSERT_EQ(archive::ExtractFromArchive(wanted, TestDir() / "kept.plx", extracted), platform::Success);
  EXPECT_EQ(DecryptVlt(extracted[0].path, "one"), ReadText(paths[0]));
  EXPECT_EQ(DecryptVlt(extracted[1].path, "two"), ReadText(paths[1]));
  EXPECT_EQ(DecryptVlt(extracted[2].path, "three"), ReadText(paths[2]));
  for (const std::string& path : paths) EXPECT_TRUE(fs::exists(path)) << "wiping is off";
}

TEST(BatchEncryptTest, CancelAtTheSecondPromptKeepsTheFirstFileEncryptedSilently) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
  fixture.user.EnterPassword("one").AnswerNo().CancelPassword();
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{kSamePassword});
  EXPECT_TRUE(fs::exists(paths[0] + ".vlt"));
  EXPECT_FALSE(fs::exists(paths[1] + ".vlt"));
}

TEST(BatchEncryptTest, ArchiveDialogCancelledOrReplacementDeclinedEncryptsNothing) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt"});
  testing::WriteFileText(TestDir() / "old.plx", "an older archive");

  fixture.BundleWithPassword("pw");
  fixture.user.CancelSave();
  fixture.form.Run("EncryptFiles1");
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_FALSE(fs::exists(paths[0] + ".vlt"));

  fixture.BundleWithPassword("pw");
  fixture.user.ChooseSaveFile(TestDir() / "old.plx").AnswerNo();
  fixture.form.Run("EncryptFiles1");
  ASSERT_EQ(fixture.user.messages.size(), 1u);
  EXPECT_EQ(fixture.user.messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(fixture.user.messages[0].text,
            (TestDir() / "old.plx").string() + " already exists.\nDo you want to replace it?");
  EXPECT_FALSE(fs::exists(paths[0] + ".vlt"));
  EXPECT_EQ(ReadText(TestDir() / "old.plx"), "an older archive");
}

TEST(BatchEncryptTest, AConfirmedReplacementKeepsTheOldArchiveUntilTheNewOneIsComplete) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
  testing::WriteFileText(TestDir() / "old.plx", "an older archive");
  fixture.BundleWithPassword("pw");
  fixture.user.ChooseSaveFile(TestDir() / "old").AnswerYes().AnswerNo().CancelPassword();
  fixture.form.Run("EncryptFiles1");
  EXPECT_EQ(ReadText(TestDir() / "old.plx"), "an older archive") << "the batch ended before bundling";
  EXPECT_FALSE(fs::exists(paths[0] + ".vlt")) << "a bundle that ends early leaves no member behind";

  fixture.form.ListView.SetAllSelected(true);
  fixture.BundleWithPassword("pw");
  // The archive replaced, one password.
  fixture.user.ChooseSaveFile(TestDir() / "old").AnswerYes().AnswerYes();
  fixture.form.Run("EncryptFiles1");
  std::vector<archive::ArchiveMember> members;
  ASSERT_EQ(archive::ListArchiveMembers(TestDir() / "old.plx", members), platform::Success);
  EXPECT_EQ(members.size(), 2u);
}

TEST(BatchEncryptTest, FailedBundlingShowsTheErrorAndNeitherWipesNorReportsSuccess) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
  fixture.BundleWithPassword("pw");
  fixture.user.ChooseSaveFile(TestDir() / "no such dir" / "out.plx").AnswerYes();
  fixture.form.Run("EncryptFiles1");

  ASSERT_EQ(fixture.user.messages.size(), 2u);
  EXPECT_EQ(fixture.user.messages[1].kind, MessageKind::Error);
  EXPECT_EQ(fixture.user.messages[1].text,
            (TestDir() / "no such dir" / "out.plx").string() +
                "\n\nNo such file or folder; no archive was written and nothing was wiped.");
  for (const std::string& path : paths) {
    EXPECT_TRUE(fs::exists(path)) << "not wiped";
    EXPECT_FALSE(fs::exists(path + ".vlt")) << "a failed bundle leaves no member behind";
  }
  EXPECT_EQ(fixture.form.ListView.Count(), 2u);
  EXPECT_EQ(fixture.user.StatusText(), kWelcome);
  EXPECT_EQ(fixture.user.busyDepth, 0);
}

// A fault of one file names it, skips it, and the batch goes on; the batch
// then claims no success.
TEST(BatchEncryptTest, AFailingStepSkipsTheFileRemovesItsTemporaryFileAndTheBatchGoesOn) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected();
  // b.txt cannot be encrypted: its output name is taken by a directory.
  fs::create_directory(paths[1] + ".vlt");
  fixture.user.EnterPassword("pw").AnswerYes();
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kSamePassword, "error: " + paths[1] +
                                                         "\n\nNot a regular file; it was not encrypted, nothing of "
                                                         "it was written."}));
  EXPECT_TRUE(fs::exists(paths[0] + ".vlt"));
  EXPECT_TRUE(fs::exists(paths[2] + ".vlt")) << "the batch went on";
  EXPECT_EQ(fixture.user.statusTexts.back(), kWelcome);
  EXPECT_EQ(LeftoverTempFiles(), std::vector<std::string>{});
  EXPECT_EQ(fixture.user.busyDepth, 0);

  // A source that vanished fails in the compression step.
  fs::remove_all(paths[1] + ".vlt");
  fs::remove(paths[2] + ".vlt");
  fs::remove(paths[0]);
  fixture.form.ListView.SetAllSelected(true);
  fixture.user.messages.clear();
  fixture.user.EnterPassword("pw").AnswerYes().AnswerYes();
  fixture.form.Run("EncryptFiles1");
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{"warning: " + paths[0] + ".vlt already exists.\nDo you want to replace it?",
                                      "error: " + paths[0] +
                                          "\n\nNo such file or folder; it was not encrypted, nothing of it "
                                          "was written.",
                                      kSamePassword}));
  EXPECT_TRUE(fs::exists(paths[2] + ".vlt"));
  EXPECT_EQ(LeftoverTempFiles(), std::vector<std::string>{});
}

TEST(BatchEncryptTest, AnExistingVltIsReplacedOnlyAfterTheQuestion) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt"});
  testing::WriteFileText(paths[0] + ".vlt", "old");
  const std::string question = "warning: " + paths[0] + ".vlt already exists.\nDo you want to replace it?";
  fixture.user.EnterPassword("pw").AnswerNo();
  fixture.form.Run("EncryptFiles1");
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{question});
  EXPECT_EQ(ReadText(paths[0] + ".vlt"), "old");

  fixture.user.messages.clear();
  fixture.form.ListView.SetAllSelected(true);
  fixture.user.EnterPassword("pw").AnswerYes();
  fixture.form.Run("EncryptFiles1");
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{question, kEncrypted}));
  EXPECT_EQ(DecryptVlt(paths[0] + ".vlt", "pw"), ReadText(paths[0]));
}

TEST(BatchEncryptTest, WipeDeclinedStillTakesTheEntriesOffTheList) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
  fixture.form.AddFileToList(AppFixture::MakeFile("unselected.txt"), 1);
  fixture.user.EnterPassword("pw").AnswerYes().AnswerNo();
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kSamePassword, "confirmation: Are you sure you want to wipe the selected files?",
                                      kEncrypted}));
  for (const std::string& path : paths) EXPECT_TRUE(fs::exists(path));
  ASSERT_EQ(fixture.form.ListView.Count(), 1u);
  EXPECT_EQ(fixture.form.ListView.Items()[0].displayName, "unselected.txt");
}

TEST(BatchEncryptTest, SettingsOutOfRangeEndTheCommandBeforeOrAfterThePrompt) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt"});
  StoreSetting("Algorithm", "4");
  fixture.form.Run("EncryptFiles1");
  StoreSetting("Algorithm", "0");
  StoreSetting("Wipe", "2");
  fixture.form.Run("EncryptFiles1");
  EXPECT_TRUE(fixture.user.passwordPrompts.empty());
  EXPECT_TRUE(fixture.user.messages.empty());

  // Below the range the prompt still shows, with no caption, and nothing follows.
  StoreSetting("Wipe", "0");
  StoreSetting("Algorithm", "-1");
  fixture.user.EnterPassword("pw");
  fixture.form.Run("EncryptFiles1");
  ASSERT_EQ(fixture.user.passwordPrompts.size(), 1u);
  EXPECT_EQ(fixture.user.passwordPrompts[0].algorithm, "");
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_FALSE(fs::exists(paths[0] + ".vlt"));

  // A value that is not a number is reported.
  StoreSetting("Algorithm", "x");
  fixture.form.Run("EncryptFiles1");
  EXPECT_EQ(fixture.user.MessageLog(),
            std::vector<std::string>{"error: KOVA Voltare could not open the settings file " +
                                     (TestDir() / "config" / "settings.conf").string() +
                                     ".\n\nPlease check that you may read and write it."});
}

TEST(BatchEncryptTest, RunOverridesStandInForTheStoredSettingsWithoutChangingThem) {
  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt"});
  fixture.app.Overrides.settings = {{"Algorithm", "1"}, {"Wipe", "1"}, {"TypeOfWipe", "1"}, {"Loop", "2"}};
  fixture.user.EnterPassword("pw").AnswerYes();
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(fixture.user.passwordPrompts.at(0).algorithm, "CAST5");
  EXPECT_EQ(transforms::ReadAlgorithmId(paths[0] + ".vlt"), transforms::kAlgorithmCast128);
  EXPECT_FALSE(fs::exists(paths[0]));
  const auto stored = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
  EXPECT_EQ(stored->ReadString("Algorithm"), "0");
  EXPECT_EQ(stored->ReadString("Wipe"), "0");
}

std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// A batch larger than one turn is read back and wiped in turns: each source
// stays open from its read-back to its wipe, but never the whole batch at
// once. To the user it is one wipe.
TEST(BatchEncryptTest, ALargeBatchIsWipedInTurnsHoldingOneTurnAtATime) {
  EncryptFixture fixture;
  fixture.app.Overrides.settings = {{"Wipe", "1"}, {"TypeOfWipe", "1"}, {"Loop", "1"}};
  std::vector<std::string> names;
  for (int i = 0; i < 65; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  const auto paths = fixture.AddSelected(names);
  fixture.user.EnterPassword("pw").AnswerYes().AnswerYes();
  const std::size_t before = OpenDescriptors();
  std::size_t atFirstWipe = 0, atSecondTurn = 0;
  fixture.user.onStatusText = [&](const std::string& status) {
    if (status == "Wiping (1/65)...") atFirstWipe = OpenDescriptors();
    if (status == "Verifying (65/65)...") atSecondTurn = OpenDescriptors();
  };
  EXPECT_TRUE(fixture.form.EncryptSelectedFiles());

  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kSamePassword, "confirmation: Are you sure you want to wipe the selected files?",
                                      "information: The files are successfully wiped !", kEncrypted}));
  const auto& statuses = fixture.user.statusTexts;
  for (const char* status : {"Wiping (64/65)...", "Verifying (65/65)...", "Wiping (65/65)..."}) {
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), status), statuses.end()) << status;
  }
  EXPECT_GE(atFirstWipe, before + 2 * 64) << "the first turn's sources and copies are held";
  EXPECT_LE(atSecondTurn, before + 2) << "and closed before the next turn";
  for (const std::string& path : paths) EXPECT_FALSE(fs::exists(path)) << path;
  EXPECT_EQ(fixture.form.ListView.Count(), 0u);
}

// Flips one byte of a file, `from_end` bytes before its end.
void Damage(const fs::path& path, std::size_t from_end) {
  auto bytes = ReadFileBytes(path);
  bytes.at(bytes.size() - from_end) ^= 0x40;
  testing::WriteFileBytes(path, bytes);
}

std::string NotVerified(const std::string& path) {
  return "error: Unable to verify the encrypted file of " + path + ".\nThe file is not wiped.";
}

// Each file has its own password; between encryption and the wipe, b.txt
// changes and c.txt.vlt is damaged. Only a.txt, whose encrypted file still
// decrypts to it, is wiped.
TEST(BatchEncryptTest, OnlySourcesWhoseEncryptedFileReadsBackAreWiped) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected();
  fixture.user.EnterPassword("one").AnswerNo().EnterPassword("two").EnterPassword("three").AnswerYes();
  std::size_t verifyingFrom = 0, verifyingTo = 0;
  fixture.user.onStatusText = [&](const std::string& status) {
    if (status == "Verifying (1/3)...") {
      verifyingFrom = fixture.user.progress.positions.size();
      testing::WriteFileText(paths[1], ReadText(paths[1]) + ".");
      Damage(paths[2] + ".vlt", 5);
    }
    if (status == "Wiping (1/1)...") verifyingTo = fixture.user.progress.positions.size();
  };
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kSamePassword, "confirmation: Are you sure you want to wipe the selected files?",
                                      NotVerified(paths[1]), NotVerified(paths[2]),
                                      "information: The files are successfully wiped !"}));
  EXPECT_FALSE(fs::exists(paths[0]));
  EXPECT_TRUE(fs::exists(paths[1]) && fs::exists(paths[2]));
  ASSERT_EQ(fixture.form.ListView.Count(), 2u);
  EXPECT_EQ(fixture.form.ListView.Items()[0].displayName, "b.txt");
  const auto& positions = fixture.user.progress.positions;
  EXPECT_TRUE(std::any_of(positions.begin() + verifyingFrom, positions.begin() + verifyingTo,
                          [](std::int64_t position) { return position > 0; }))
      << "the bar moves while verifying";
  EXPECT_EQ(fixture.user.StatusText(), kWelcome);
  EXPECT_EQ(fixture.user.busyDepth, 0);
}

// The members are read back from the archive itself: one damaged there keeps
// its source, and the members after it are still found.
TEST(BatchEncryptTest, AMemberDamagedInTheArchiveKeepsItsSource) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected();
  const fs::path archive = TestDir() / "batch.plx";
  fixture.BundleWithPassword("pw");
  fixture.user.ChooseSaveFile(archive).AnswerYes().AnswerYes();
  fixture.user.onStatusText = [&](const std::string& status) {
    if (status != "Verifying (1/3)...") return;
    // Inside b.txt.vlt's payload: c.txt.vlt's entry and separators follow it.
    std::vector<archive::ArchiveMember> members;
    ASSERT_EQ(archive::ListArchiveMembers(archive, members), platform::Success);
    Damage(archive, static_cast<std::size_t>(members[2].size) + 21 + 9 + 2 + 20);
  };
  fixture.form.Run("EncryptFiles1");

  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{kSamePassword, "confirmation: Are you sure you want to wipe the selected files?",
                                      NotVerified(paths[1]), "information: The files are successfully wiped !"}));
  EXPECT_FALSE(fs::exists(paths[0]) || fs::exists(paths[2]));
  EXPECT_EQ(ReadText(paths[1]), "contents of b.txt" + std::string(3000, 'b'));
  ASSERT_EQ(fixture.form.ListView.Count(), 1u);
}

// Contents zlib cannot shrink, so that every step has pieces to stop between.
void WriteNoise(const std::string& path) {
  std::vector<std::uint8_t> bytes(40000);
  std::uint32_t state = 16;
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  testing::WriteFileBytes(path, bytes);
}

// Cancel pressed while the status shows `status`: the view asks the form
// first, and stops only when it agrees.
void StopDuring(EncryptFixture& fixture, const std::string& status) {
  fixture.user.progress.onRepaint = [&fixture, status, asked = false]() mutable {
    if (asked || fixture.user.StatusText() != status) return;
    asked = true;
    fixture.user.progress.stopped = fixture.form.ConfirmStop();
  };
}

constexpr char kStopHalfDone[] = "confirmation: Stop now and leave the work on the selected files half done ?";

// A stop in the first file undoes that step without a question; once a file
// is done, the user is asked, and No lets the batch go on.
TEST(BatchEncryptTest, AStopAsksOnlyWhenTheBatchIsHalfDone) {
  for (const bool secondFile : {false, true}) {
    SCOPED_TRACE(secondFile);
    EncryptFixture fixture;
    const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
    for (const std::string& path : paths) WriteNoise(path);
    const auto source = ReadFileBytes(paths[1]);
    fixture.user.EnterPassword("pw");
    if (secondFile) fixture.user.AnswerYes().AnswerYes();
    StopDuring(fixture, secondFile ? "Encrypting (2/2)..." : "Compressing (1/2)...");
    EXPECT_FALSE(fixture.form.EncryptSelectedFiles());

    const std::vector<std::string> asked{kSamePassword, kStopHalfDone};
    EXPECT_EQ(fixture.user.MessageLog(), secondFile ? asked : std::vector<std::string>{}) << "no success message";
    EXPECT_EQ(fs::exists(paths[0] + ".vlt"), secondFile) << "a finished file stays";
    EXPECT_FALSE(fs::exists(paths[1] + ".vlt"));
    EXPECT_TRUE(ReadFileBytes(paths[1]) == source);
    EXPECT_EQ(LeftoverTempFiles(), std::vector<std::string>{});
    EXPECT_EQ(fixture.user.StatusText(),
              "Stopped: " + paths[secondFile ? 1 : 0] + " was not encrypted, nothing of it was written.");
    EXPECT_EQ(fixture.user.busyDepth, 0);
  }

  EncryptFixture fixture;
  const auto paths = fixture.AddSelected({"a.txt", "b.txt"});
  for (const std::string& path : paths) WriteNoise(path);
  fs::remove(paths[0] + ".vlt");  // the loop's, which would be asked about
  fixture.user.EnterPassword("pw").AnswerYes().AnswerNo();
  StopDuring(fixture, "Encrypting (2/2)...");
  EXPECT_TRUE(fixture.form.EncryptSelectedFiles());
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{kSamePassword, kStopHalfDone, kEncrypted}));
  EXPECT_TRUE(fs::exists(paths[1] + ".vlt"));
}

// Stopped while its copy is read back, a source is never wiped, and nothing
// reports the copy as unreadable.
TEST(BatchEncryptTest, AStopDuringTheReadBackWipesNothing) {
  EncryptFixture fixture;
  StoreSetting("Wipe", "1");
  const auto paths = fixture.AddSelected({"a.txt"});
  WriteNoise(paths[0]);
  const auto source = ReadFileBytes(paths[0]);
  fixture.user.EnterPassword("pw").AnswerYes().AnswerYes();
  StopDuring(fixture, "Verifying (1/1)...");
  EXPECT_FALSE(fixture.form.EncryptSelectedFiles());

  EXPECT_EQ(
      fixture.user.MessageLog(),
      (std::vector<std::string>{"confirmation: Are you sure you want to wipe the selected files?", kStopHalfDone}));
  EXPECT_TRUE(ReadFileBytes(paths[0]) == source);
  EXPECT_EQ(DecryptVlt(paths[0] + ".vlt", "pw"), ReadText(paths[0]));
  EXPECT_EQ(fixture.form.ListView.Count(), 1u);
  EXPECT_EQ(fixture.user.StatusText(),
            "Stopped while reading back " + paths[0] +
                ": it and the files after it were not wiped; the encrypted files were kept.");
}

// Cancel while a sealed file's key is derived stops the step at once, as any
// stop does; the window is not held until the derivation has run out.
TEST(BatchEncryptTest, AStopWhileTheKeyIsDerivedEndsTheStepAtOnce) {
  const testing::ScopedEnv moderate("VOLTARE_ARGON2_LIMITS", "3,262144");  // the second or so of a real one
  EncryptFixture fixture;
  StoreSetting("Algorithm", "3");
  const auto paths = fixture.AddSelected({"a.txt"});
  WriteNoise(paths[0]);
  fixture.user.EnterPassword("pw");
  int heldAfterTheStop = 0;
  fixture.user.progress.onRepaint = [&] {
    if (fixture.user.StatusText() != "Deriving the key...") return;
    if (fixture.user.progress.stopped) ++heldAfterTheStop;
    else fixture.user.progress.stopped = fixture.form.ConfirmStop();
  };
  EXPECT_FALSE(fixture.form.EncryptSelectedFiles());

  EXPECT_TRUE(fixture.user.progress.stopped);
  EXPECT_EQ(heldAfterTheStop, 0);
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(paths[0] + ".vlt"));
  EXPECT_EQ(LeftoverTempFiles(), std::vector<std::string>{});
  EXPECT_TRUE(fixture.user.StatusText().starts_with("Stopped: ")) << fixture.user.StatusText();
}

// The wipe question comes before the read-back, so a change while it waits
// fails the read-back; a change after the read-back is caught right before
// the wipe. Either way the source is kept and the batch reports no success.
// A source renamed away and replaced by a new file of its name keeps both:
// the wipe goes only through the file that was read back.
TEST(BatchEncryptTest, ASourceOrCopyChangedBeforeTheWipeKeepsTheSource) {
  struct Case {
    const char* name;
    std::function<void(const std::string& source)> change;
    std::string atWipe;   // the message when changed after the read-back
    std::string movedTo;  // where the change put the source, if it moved it
  };
  const std::string moved = (TestDir() / "a.moved").string();
  const std::vector<Case> cases{
      {"appended", [](const std::string& source) { testing::WriteFileText(source, ReadText(source) + " more"); },
       "It changed after its encrypted copy was verified.", ""},
      {"copy deleted", [](const std::string& source) { fs::remove(source + ".vlt"); },
       "Its encrypted copy is gone or was replaced after it was verified.", ""},
      {"name swapped",
       [&moved](const std::string& source) {
         fs::rename(source, moved);
         testing::WriteFileText(source, "a new file under the old name");
       },
       "It changed after its encrypted copy was verified.", moved},
  };
  for (const Case& change : cases) {
    for (const bool whileAsked : {true, false}) {
      SCOPED_TRACE(std::string(change.name) + (whileAsked ? " while asked" : " after the read-back"));
      EncryptFixture fixture;
      StoreSetting("Wipe", "1");
      const auto paths = fixture.AddSelected({"a.txt"});
      fs::remove(paths[0] + ".vlt");  // the last case's, which would be asked about
      const std::string before = ReadText(paths[0]);
      const auto act = [&] { change.change(paths[0]); };
      if (whileAsked) {
        fixture.user.EnterPassword("pw").AnswerYesAfter(act);
      } else {
        fixture.user.EnterPassword("pw").AnswerYes();
        fixture.user.onStatusText = [&](const std::string& status) {
          if (status == "Wiping (1/1)...") act();
        };
      }
      EXPECT_FALSE(fixture.form.EncryptSelectedFiles()) << "no success reported";

      const std::string kept = whileAsked
                                   ? NotVerified(paths[0])
                                   : "error: Unable to wipe file " + paths[0] + ". " + change.atWipe + " File skipped.";
      EXPECT_EQ(fixture.user.MessageLog(),
                (std::vector<std::string>{"confirmation: Are you sure you want to wipe the selected files?", kept}));
      const std::string original = change.movedTo.empty() ? paths[0] : change.movedTo;
      ASSERT_TRUE(fs::exists(original));
      EXPECT_TRUE(ReadText(original).starts_with(before));
      if (!change.movedTo.empty()) {
        EXPECT_EQ(ReadText(paths[0]), "a new file under the old name");
      }
    }
  }
}

}  // namespace
}  // namespace voltare::app
