// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/main_window/decrypt_files.h"
#include "app_fixture.h"
#include "archive/plx_bundle.h"
#include "platform/result_codes.h"
#include "platform/staged_file.h"
#include "platform/temp_files.h"
#include "support/scoped_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

constexpr const char* kDecrypted = "information: The file(s) are successfully decrypted !";

// The error box of a file that failed: it names the file.
std::string ErrorLine(platform::ResultCode code, const std::string& path) {
  return "error: " + FailureBoxText({FileAction::Decrypt, path, code});
}

std::string ReadText(const fs::path& path) {
  const auto bytes = testing::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

// `plain` encrypted the way batch encryption does, into plain + ".vlt".
std::string Encrypt(const std::string& plain, const std::string& password, int algorithm = 0) {
  testing::RecordingProgress progress;
  const fs::path packed = TestDir() / "packed.z";
  const fs::path encrypted = plain + ".vlt";
  EXPECT_EQ(transforms::CompressFile(plain, packed, &progress), 0);
  platform::ResultCode result = platform::ErrInternal;
  if (algorithm == 0) result = transforms::BlowfishEncryptFile(packed, encrypted, password, &progress, false);
  if (algorithm == 1) result = transforms::Cast5EncryptFile(packed, encrypted, password, &progress);
  if (algorithm == 2) {
    const std::uint64_t key = transforms::DesKeyFromPassword(password);
    result = transforms::DesEncryptFile(packed, encrypted, static_cast<std::uint32_t>(key),
                                        static_cast<std::uint32_t>(key >> 32), &progress);
  }
  EXPECT_EQ(result, 0);
  fs::remove(packed);
  return encrypted.string();
}

// A plain file with its own text, encrypted; the plain file is then removed.
std::string EncryptedFile(const std::string& name, const std::string& password, int algorithm = 0) {
  const std::string plain = AppFixture::MakeFile(name);
  testing::WriteFileText(plain, "contents of " + name);
  const std::string encrypted = Encrypt(plain, password, algorithm);
  fs::remove(plain);
  return encrypted;
}

// Everything in a directory, for checking that nothing was left behind.
std::vector<std::string> EntriesOf(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------------------

TEST(BatchDecryptTest, DecryptFilesAsksForFilesAndDecryptsEachAlgorithm) {
  const char* const kCaptions[] = {"Blowfish", "CAST5", "DES"};
  for (int algorithm = 0; algorithm < 3; ++algorithm) {
    SCOPED_TRACE(kCaptions[algorithm]);
    const std::string encrypted = EncryptedFile("report.doc", "secret", algorithm);
    AppFixture fixture;
    fixture.user.ChooseFiles({encrypted}).EnterPassword("secret");
    fixture.form.Run("DecryptFiles1");

    const OpenDialogRequest& dialog = fixture.user.openRequests.at(0);
    EXPECT_EQ(dialog.title, "Please select the file(s) you want to decrypt:");
    EXPECT_EQ(dialog.filter,
              "KOVA Voltare Files (*.plx, *.vlt)|*.plx;*.vlt|KOVA Voltare Encryption File (*.vlt)|*.vlt|"
              "PLX Archive (*.plx)|*.plx");
    EXPECT_EQ(dialog.options, OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing);
    const testing::SeenPasswordPrompt& prompt = fixture.user.passwordPrompts.at(0);
    EXPECT_EQ(prompt.fileName, "report.doc.vlt");
    EXPECT_EQ(prompt.algorithm, kCaptions[algorithm]);
    EXPECT_TRUE(prompt.headerVisible && prompt.algorithmVisible);
    EXPECT_FALSE(prompt.bundleVisible);

    EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{kDecrypted});
    EXPECT_EQ(fixture.user.statusTexts,
              (std::vector<std::string>{"Welcome to KOVA Voltare 2.50", "Decrypting (1/1)...", "Decompressing (1/1)...",
                                        "Welcome to KOVA Voltare 2.50"}));
    EXPECT_EQ(ReadText(TestDir() / "report.doc"), "contents of report.doc");
    EXPECT_TRUE(fs::exists(encrypted)) << "the encrypted file stays";
    EXPECT_EQ(fixture.user.busyDepth, 0);
    EXPECT_EQ(fixture.user.progress.position(), 0);
    EXPECT_EQ(fixture.form.ListView.Count(), 0u) << "the file list is not involved";
    fs::remove(TestDir() / "report.doc");
  }
}

TEST(BatchDecryptTest, NothingHappensWhenTheDialogIsCancelledOrThePromptIs) {
  const std::string encrypted = EncryptedFile("a.txt", "pw");
  AppFixture fixture;
  fixture.user.CancelOpen();
  fixture.form.DecryptFiles1Click();
  fixture.user.ChooseFiles({encrypted}).CancelPassword();
  fixture.form.DecryptFiles1Click();
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_FALSE(fs::exists(TestDir() / "a.txt"));
}

TEST(BatchDecryptTest, SamePasswordAcceptedAsksOnceDeclinedAsksForEveryFile) {
  const std::string a = EncryptedFile("a.txt", "pw"), b = EncryptedFile("b.txt", "pw", 1),
                    c = EncryptedFile("c", "pw", 2);
  {
    AppFixture fixture;
    fixture.user.EnterPassword("pw").AnswerYes();
    DecryptFileList(fixture.app, {a, b, c});
    EXPECT_EQ(fixture.user.passwordPrompts.size(), 1u);
    EXPECT_EQ(fixture.user.MessageLog(),
              (std::vector<std::string>{
                  "confirmation: Do you want to use the same password you just used to all the other selected files ?",
                  kDecrypted}));
    EXPECT_EQ(fixture.user.statusTexts.back(), "Welcome to KOVA Voltare 2.50");
    EXPECT_NE(std::find(fixture.user.statusTexts.begin(), fixture.user.statusTexts.end(), "Decompressing (3/3)..."),
              fixture.user.statusTexts.end());
  }
  EXPECT_EQ(ReadText(TestDir() / "c"), "contents of c") << "x.vlt decrypts to x";
  for (const char* name : {"a.txt", "b.txt", "c"}) fs::remove(TestDir() / name);
  {
    AppFixture fixture;
    fixture.user.EnterPassword("pw").AnswerNo().EnterPassword("pw").EnterPassword("pw");
    DecryptFileList(fixture.app, {a, b, c});
    ASSERT_EQ(fixture.user.passwordPrompts.size(), 3u);
    EXPECT_EQ(fixture.user.passwordPrompts[1].fileName, "b.txt.vlt") << "each prompt names its own file";
    EXPECT_EQ(fixture.user.passwordPrompts[1].algorithm, "CAST5");
    EXPECT_EQ(fixture.user.passwordPrompts[2].algorithm, "DES");
    EXPECT_EQ(fixture.user.messages.back().text, "The file(s) are successfully decrypted !");
  }
}

TEST(BatchDecryptTest, AWrongPasswordIsReportedForEachFileAndTheBatchGoesOn) {
  const std::string a = EncryptedFile("a.txt", "right"), b = EncryptedFile("b.txt", "right", 2);
  AppFixture fixture;
  fixture.user.EnterPassword("wrong").AnswerYes();
  DecryptFileList(fixture.app, {a, b});
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{
                "error: " + a + "\n\nWrong password; nothing was written.",
                "confirmation: Do you want to use the same password you just used to all the other selected files ?",
                ErrorLine(platform::ErrBadPassword, b)}))
      << "no success message";
  EXPECT_FALSE(fs::exists(TestDir() / "a.txt"));
  EXPECT_FALSE(fs::exists(TestDir() / "b.txt")) << "no partial output";
  EXPECT_EQ(EntriesOf(*platform::PrivateTempDir()), std::vector<std::string>{}) << "no temporary file left";
  EXPECT_EQ(fixture.user.busyDepth, 0);
}

TEST(BatchDecryptTest, AnExistingFileIsReplacedOnlyByACompleteNewOne) {
  const std::string encrypted = EncryptedFile("letter.txt", "pw");
  const fs::path old = TestDir() / "letter.txt";
  const auto keepOld = [&] { testing::WriteFileText(old, "the old letter"); };
  const std::string question = "warning: " + old.string() + " already exists.\nDo you want to replace it?";

  keepOld();
  {
    AppFixture fixture;  // declined once the password opened the file
    fixture.user.EnterPassword("pw").AnswerNo();
    EXPECT_EQ(DecryptFileList(fixture.app, {encrypted}), 0u);
    EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{question});
    EXPECT_EQ(fixture.user.passwordPrompts.size(), 1u);
  }
  {
    AppFixture fixture;  // a wrong password is said first, without the question; the old file survives
    fixture.user.EnterPassword("wrong");
    DecryptFileList(fixture.app, {encrypted});
    EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{ErrorLine(platform::ErrBadPassword, encrypted)}));
  }
  EXPECT_EQ(ReadText(old), "the old letter");

  // Damaged: the password is right, but the compressed stream inside is cut
  // short, so decompression fails after writing part of the output.
  const std::string damaged = (TestDir() / "damaged" / "letter.txt.vlt").string();
  fs::create_directories(TestDir() / "damaged");
  {
    std::string big;
    for (int line = 0; big.size() < 300000; ++line) big += std::to_string(line * 7919 % 100003) + " lines\n";
    testing::WriteFileText(TestDir() / "big.txt", big);
    testing::RecordingProgress progress;
    const fs::path packed = TestDir() / "big.z";
    ASSERT_EQ(transforms::CompressFile(TestDir() / "big.txt", packed, &progress), 0);
    auto bytes = testing::ReadFileBytes(packed);
    bytes.resize(bytes.size() / 2);
    testing::WriteFileBytes(packed, bytes);
    ASSERT_EQ(transforms::BlowfishEncryptFile(packed, damaged, "pw", &progress, false), 0);
  }
  const fs::path damagedOld = TestDir() / "damaged" / "letter.txt";
  testing::WriteFileText(damagedOld, "the old letter");
  {
    AppFixture fixture;
    fixture.user.EnterPassword("pw");
    DecryptFileList(fixture.app, {damaged});
    EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{ErrorLine(platform::ErrBadFile, damaged)});
  }
  EXPECT_EQ(ReadText(damagedOld), "the old letter");
  EXPECT_EQ(EntriesOf(TestDir() / "damaged"), (std::vector<std::string>{"letter.txt", "letter.txt.vlt"}))
      << "no partial output beside it";
  EXPECT_EQ(EntriesOf(*platform::PrivateTempDir()), std::vector<std::string>{});

  {
    AppFixture fixture;  // the right password and Yes: replaced
    fixture.user.EnterPassword("pw").AnswerYes();
    DecryptFileList(fixture.app, {encrypted});
    EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{question, kDecrypted}));
  }
  EXPECT_EQ(ReadText(old), "contents of letter.txt");
}

TEST(BatchDecryptTest, EntriesThatAreNotEncryptedFilesAreSkipped) {
  const std::string good = EncryptedFile("good.txt", "pw");
  const std::string upper = AppFixture::MakeFile("shout.VLT");  // no magic: damaged, whatever the case
  const std::string noMagic = AppFixture::MakeFile("fake.vlt");
  const std::string other = AppFixture::MakeFile("notes.txt");
  const std::string archive = AppFixture::MakeFile("set.plx");

  AppFixture fixture;
  // The first entry is skipped, so no same-password question follows.
  fixture.user.EnterPassword("pw");
  EXPECT_EQ(DecryptFileList(fixture.app, {other, archive, upper, noMagic, good}), 1u);
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{ErrorLine(platform::ErrBadFile, upper), ErrorLine(platform::ErrBadFile, noMagic),
                                      kDecrypted}));
  EXPECT_TRUE(fixture.user.archiveRequests.empty()) << "an archive among other files is skipped";
  EXPECT_FALSE(fs::exists(TestDir() / "shout"));
  EXPECT_EQ(ReadText(TestDir() / "good.txt"), "contents of good.txt");
}

// A damaged file is a fault of that file alone: the batch goes on.
TEST(BatchDecryptTest, AnUnknownAlgorithmSkipsTheFileAndTheBatchGoesOn) {
  const std::string a = EncryptedFile("a.txt", "pw"), b = EncryptedFile("b.txt", "pw");
  auto bytes = testing::ReadFileBytes(a);
  bytes[12] = 7;
  testing::WriteFileBytes(a, bytes);
  AppFixture fixture;
  fixture.user.EnterPassword("pw").AnswerYes();
  DecryptFileList(fixture.app, {a, b});
  EXPECT_EQ(fixture.user.passwordPrompts.at(0).algorithm, "");
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{
                ErrorLine(platform::ErrBadFile, a),
                "confirmation: Do you want to use the same password you just used to all the other selected files ?",
                kDecrypted}));
  EXPECT_FALSE(fs::exists(TestDir() / "a.txt"));
  EXPECT_TRUE(fs::exists(TestDir() / "b.txt"));
}

TEST(BatchDecryptTest, FirstActivationDecryptsAPathSplitAtItsBlanks) {
  const std::string encrypted = EncryptedFile("my report.txt", "pw");
  {
    AppFixture fixture;
    const std::vector<std::string> other = {"my", "report.txt.vlx"};
    fixture.form.FormActivate(other);  // another extension: ignored
    EXPECT_TRUE(fixture.user.messages.empty());
  }
  AppFixture fixture;
  fixture.user.EnterPassword("pw");
  const std::vector<std::string> arguments = {"my", "report.txt.vlt"};  // relative to the start directory
  fixture.form.FormActivate(arguments);
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{kDecrypted});
  EXPECT_EQ(ReadText(TestDir() / "my report.txt"), "contents of my report.txt");
}

// ---------------------------------------------------------------------------
// Archives

struct ArchiveFixture : AppFixture {
  // An archive of three members encrypted with "pw": one.txt.vlt,
  // two.txt.vlt, three.txt.vlt.
  ArchiveFixture() {
    std::vector<fs::path> sources;
    for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
      const std::string plain = MakeFile(std::string("src/") + name);
      testing::WriteFileText(plain, std::string("plain ") + name);
      Encrypt(plain, "pw");
      sources.push_back(TestDir() / "src" / name);
    }
    testing::RecordingProgress progress;
    EXPECT_EQ(archive::BundleFiles(sources, archivePath, &progress), 0);
    fs::create_directories(out);
  }
  std::string archivePath = (TestDir() / "set.plx").string();
  fs::path out = TestDir() / "out";
};

TEST(BatchDecryptTest, ChosenMembersOfAnArchiveGoToTheChosenDirectory) {
  ArchiveFixture fixture;
  // One password for the members of one archive, without the question.
  fixture.user.ChooseArchiveMembers(fixture.out.string(), {"one.txt.vlt", "three.txt.vlt"}).EnterPassword("pw");
  EXPECT_EQ(DecryptFileList(fixture.app, {fixture.archivePath}), 2u);
  EXPECT_EQ(fixture.user.passwordPrompts.size(), 1u);

  ASSERT_EQ(fixture.user.archiveViewers.size(), 1u);
  EXPECT_EQ(fixture.user.archiveViewers[0].caption, "PLX Viewer - " + fixture.archivePath);
  EXPECT_EQ(fixture.user.archiveViewers[0].directory, TestDir().string() + "/");
  EXPECT_EQ(fixture.user.passwordPrompts.at(0).fileName, "one.txt.vlt");
  EXPECT_EQ(fixture.user.MessageLog().back(), kDecrypted);
  EXPECT_EQ(EntriesOf(fixture.out), (std::vector<std::string>{"one.txt", "three.txt"}));
  EXPECT_EQ(ReadText(fixture.out / "three.txt"), "plain three.txt");
  EXPECT_EQ(EntriesOf(*platform::PrivateTempDir()), std::vector<std::string>{}) << "extracted copies deleted";
  EXPECT_EQ(fixture.form.ExtractDirectory, fixture.out.string() + "/");
  EXPECT_EQ(fixture.form.Batch(), nullptr) << "the batch, with its selection and password, ended with it";

  // The chosen directory holds for later decryptions of plain files too, and
  // the replace question names the file there.
  const std::string later = EncryptedFile("later.txt", "pw");
  fixture.user.EnterPassword("pw");
  DecryptFileList(fixture.app, {later});
  EXPECT_TRUE(fs::exists(fixture.out / "later.txt"));
  EXPECT_FALSE(fs::exists(TestDir() / "later.txt"));
  testing::WriteFileText(fixture.out / "later.txt", "kept");
  fixture.user.messages.clear();
  fixture.user.EnterPassword("pw").AnswerNo();
  EXPECT_EQ(DecryptFileList(fixture.app, {later}), 0u);
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{"warning: " + (fixture.out / "later.txt").string() +
                                                                " already exists.\nDo you want to replace it?"});
  EXPECT_EQ(ReadText(fixture.out / "later.txt"), "kept");
}

TEST(BatchDecryptTest, ACancelledViewerEndsQuietlyAndForgetsTheDirectory) {
  ArchiveFixture fixture;
  fixture.form.ExtractDirectory = fixture.out.string() + "/";
  fixture.user.CancelArchive();
  EXPECT_EQ(DecryptFileList(fixture.app, {fixture.archivePath}), 0u);
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_EQ(fixture.form.ExtractDirectory, "");
  EXPECT_TRUE(fixture.user.passwordPrompts.empty());
}

TEST(BatchDecryptTest, ArchivesWithoutTheMagicOrDamagedAreReportedWithoutTheViewer) {
  AppFixture fixture;
  const std::string fake = AppFixture::MakeFile("fake.plx");
  DecryptFileList(fixture.app, {fake});
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{ErrorLine(platform::ErrBadFile, fake)});

  // "PLX" but cut inside the first entry.
  const std::string cut = (TestDir() / "cut.plx").string();
  testing::WriteFileText(cut, std::string("PLX\x01\x00\x01\x00\x00\x00\x40\x00\x00\x00", 13));
  fixture.user.messages.clear();
  DecryptFileList(fixture.app, {cut});
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{ErrorLine(platform::ErrBadFile, cut)});
  EXPECT_TRUE(fixture.user.archiveRequests.empty());
}

TEST(BatchDecryptTest, ACancelledPromptLeavesNoExtractedMembersBehind) {
  ArchiveFixture fixture;
  fixture.user.ChooseArchiveMembers("", {"two.txt.vlt"}).CancelPassword();
  DecryptFileList(fixture.app, {fixture.archivePath});
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_EQ(EntriesOf(*platform::PrivateTempDir()), std::vector<std::string>{});
}

// Cancel while the members are taken out: nothing is asked (nothing is done
// yet), no password is asked for, and no member is left in the temporary folder.
TEST(BatchDecryptTest, AStopDuringExtractionLeavesNoMembersBehind) {
  ArchiveFixture fixture;
  fixture.user.ChooseArchiveMembers(fixture.out.string(), {"one.txt.vlt", "three.txt.vlt"});
  fixture.user.progress.onRepaint = [&] {
    if (!fixture.user.archiveViewers.empty()) fixture.user.progress.stopped = fixture.form.ConfirmStop();
  };
  EXPECT_EQ(DecryptFileList(fixture.app, {fixture.archivePath}), 0u);
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_TRUE(fixture.user.passwordPrompts.empty());
  EXPECT_EQ(EntriesOf(*platform::PrivateTempDir()), std::vector<std::string>{});
  EXPECT_EQ(EntriesOf(fixture.out), std::vector<std::string>{});
  EXPECT_EQ(fixture.user.busyDepth, 0);
}

// The staged output's name is swapped for a link to another user's file
// right after its creation, as a member of a shared folder could.
TEST(BatchDecryptTest, ASwappedStagingNameGetsNothingAndTheFailureIsShown) {
  const std::string encrypted = EncryptedFile("secret.txt", "pw");
  const fs::path victim = TestDir() / "attacker.txt";
  testing::WriteFileText(victim, "attacker's file");
  platform::staging_test_hooks::SetAfterCreate([&](const fs::path& staging) {
    fs::remove(staging);
    fs::create_symlink(victim, staging);
  });
  AppFixture fixture;
  fixture.user.EnterPassword("pw");
  const std::size_t decrypted = DecryptFileList(fixture.app, {encrypted});
  platform::staging_test_hooks::SetAfterCreate(nullptr);

  EXPECT_EQ(decrypted, 0u);
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{ErrorLine(platform::ErrStagingReplaced, encrypted)});
  EXPECT_EQ(ReadText(victim), "attacker's file");
  EXPECT_FALSE(fs::exists(fs::symlink_status(TestDir() / "secret.txt")));
}

// The clean-up of staging leftovers would take such an output for one.
TEST(BatchDecryptTest, AnOutputNamedLikeAStagingFileIsRefused) {
  const std::string encrypted = EncryptedFile(".vlt-abcdefgh.part", "pw");
  AppFixture fixture;
  fixture.user.EnterPassword("pw");
  EXPECT_EQ(DecryptFileList(fixture.app, {encrypted}), 0u);
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{ErrorLine(platform::ErrReservedName, encrypted)});
  EXPECT_FALSE(fs::exists(TestDir() / ".vlt-abcdefgh.part"));
}

// Large Blowfish and CAST-128 files are decrypted on two threads unless
// VOLTARE_THREADS is 1; the user sees the same either way.
class LargeFileDecryptTest : public ::testing::TestWithParam<const char*> {
 protected:
  const voltare::testing::ScopedEnv threads_{"VOLTARE_THREADS", GetParam()};

  // Numbers that pack to several pieces of the decrypting thread's ring.
  static std::string LargeText() {
    std::mt19937 generator(5);
    std::string text;
    while (text.size() < 400000) text += std::to_string(generator()) + "\n";
    return text;
  }

  const fs::path folder = TestDir() / "large";
  const std::string text = LargeText();
};

TEST_P(LargeFileDecryptTest, SameTextsOutputAndLeftoversOnOneThreadOrTwo) {
  fs::create_directories(folder);
  for (const int algorithm : {0, 1}) {
    testing::WriteFileText(folder / "big.txt", text);
    const std::string encrypted = Encrypt((folder / "big.txt").string(), "pw", algorithm);
    fs::remove(folder / "big.txt");
    AppFixture fixture;
    fixture.user.EnterPassword("pw");
    EXPECT_EQ(DecryptFileList(fixture.app, {encrypted}), 1u);
    EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{kDecrypted});
    EXPECT_EQ(fixture.user.statusTexts,
              (std::vector<std::string>{"Welcome to KOVA Voltare 2.50", "Decrypting (1/1)...", "Decompressing (1/1)...",
                                        "Welcome to KOVA Voltare 2.50"}));
    EXPECT_EQ(ReadText(folder / "big.txt"), text) << algorithm;
    EXPECT_EQ(fixture.user.progress.position(), 0);
  }

  // Cut short: reported, and the file it was to replace kept as it was.
  testing::WriteFileText(folder / "big.txt", "the old file");
  auto bytes = testing::ReadFileBytes(folder / "big.txt.vlt");
  bytes.resize(bytes.size() / 2);
  testing::WriteFileBytes(folder / "big.txt.vlt", bytes);
  {
    AppFixture fixture;
    fixture.user.EnterPassword("pw");  // the damage is found before any question
    EXPECT_EQ(DecryptFileList(fixture.app, {(folder / "big.txt.vlt").string()}), 0u);
    EXPECT_EQ(fixture.user.MessageLog().back(), ErrorLine(platform::ErrBadFile, (folder / "big.txt.vlt").string()));
  }
  // Stopped on the way: nothing said, nothing kept.
  fs::remove(folder / "big.txt");
  testing::WriteFileText(folder / "stop.txt", text);
  const std::string whole = Encrypt((folder / "stop.txt").string(), "pw");
  fs::remove(folder / "stop.txt");
  {
    AppFixture fixture;
    fixture.user.EnterPassword("pw");
    fixture.user.progress.onRepaint = [&] { fixture.user.progress.stopped = true; };
    EXPECT_EQ(DecryptFileList(fixture.app, {whole}), 0u);
    EXPECT_TRUE(fixture.user.MessageLog().empty());
  }
  EXPECT_EQ(EntriesOf(folder), (std::vector<std::string>{"big.txt.vlt", "stop.txt.vlt"}));
  EXPECT_EQ(EntriesOf(*platform::PrivateTempDir()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Threads, LargeFileDecryptTest, ::testing::Values("1", "2"));

}  // namespace
}  // namespace voltare::app
