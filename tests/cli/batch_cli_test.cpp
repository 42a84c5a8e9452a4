// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli encrypt and wipe, run as a user would run them on real files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "cli_runner.h"
#include "platform/settings_store.h"
#include "platform/staged_file.h"
#include "platform/temp_files.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"
#include "transforms/vlt_format.h"

namespace {

// Questions that --yes answers are still shown, with their answer.
const std::string kSamePasswordYes =
    "Do you want to use the same password you just used to all the other selected files ? [y/n] y (--yes)\n";
const std::string kWipeYes = "Are you sure you want to wipe the selected files? [y/n] y (--yes)\n";
// DES under a password of 8 random characters: its key search is short.
const std::string kDesWarning =
    "voltare-cli: weak password: one graphics card would guess it in about 20 minutes against DES\n";

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::kStrongPassword;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::RunCliAsUser;
using voltare::cli::testing::Work;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;
namespace platform = voltare::platform;
namespace transforms = voltare::transforms;

// A file in the work directory with contents of its own; its contents.
std::string MakeWorkFile(const std::string& name, std::size_t repeat = 2000) {
  std::string text = "the file " + name + "\n";
  for (std::size_t i = 0; i < repeat; ++i) text += std::to_string(i * 7919 % 1000) + " ";
  fs::create_directories((Work() / name).parent_path());
  WriteFileText(Work() / name, text);
  return text;
}

// Decrypts and expands a ".vlt" with the file transforms; its contents.
std::string DecryptVlt(const fs::path& vlt, const std::string& password) {
  voltare::common::UnwatchedProgress progress;
  const fs::path packed = TestDir() / "check.z", plain = TestDir() / "check.txt";
  platform::ResultCode result = platform::ErrInternal;
  const std::uint64_t desKey = transforms::DesKeyFromPassword(password);
  switch (transforms::ReadAlgorithmId(vlt)) {
    case transforms::kAlgorithmBlowfish:
      result = transforms::BlowfishDecryptFile(vlt, packed, password, &progress, false);
      break;
    case transforms::kAlgorithmCast128:
      result = transforms::Cast5DecryptFile(vlt, packed, password, &progress);
      break;
    case transforms::kAlgorithmDes:
      result = transforms::DesDecryptFile(vlt, packed, static_cast<std::uint32_t>(desKey),
                                          static_cast<std::uint32_t>(desKey >> 32), &progress);
      break;
    default:
      break;
  }
  if (result != platform::Success || transforms::DecompressFile(packed, plain, &progress) != platform::Success) {
    return "(does not decrypt)";
  }
  std::string text = ReadText(plain);
  fs::remove(packed);
  fs::remove(plain);
  return text;
}

std::string StoredSetting(const char* name) {
  return platform::SettingsKey::OpenReadOnly(platform::kSettingsKey)->ReadString(name);
}

TEST(BatchCliTest, EveryAlgorithmEncryptsEachFileNextToItself) {
  const std::string password = PasswordFile(kStrongPassword);
  for (const auto& [name, id] :
       {std::pair{"blowfish", transforms::kAlgorithmBlowfish}, std::pair{"cast5", transforms::kAlgorithmCast128},
        std::pair{"des", transforms::kAlgorithmDes}}) {
    SCOPED_TRACE(name);
    const std::string first = MakeWorkFile(std::string(name) + "/report.doc");
    const std::string second = MakeWorkFile(std::string(name) + "/notes.txt", 10);
    const CliRun run = RunCli({"--password-file", password, "--yes", "encrypt", "--algorithm", name, name});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "The file(s) are successfully encrypted !\n");
    // DES keys from 8 characters: no password outlasts its key search for long.
    EXPECT_EQ(run.err, id == transforms::kAlgorithmDes ? kDesWarning + kSamePasswordYes : kSamePasswordYes);
    const fs::path dir = Work() / name;
    EXPECT_EQ(transforms::ReadAlgorithmId(dir / "report.doc.vlt"), id);
    EXPECT_EQ(DecryptVlt(dir / "report.doc.vlt", kStrongPassword), first);
    EXPECT_EQ(DecryptVlt(dir / "notes.txt.vlt", kStrongPassword), second);
    EXPECT_EQ(ReadText(dir / "report.doc"), first) << "sources stay without --wipe";
  }
  EXPECT_EQ(StoredSetting("Algorithm"), "0") << "the option is for its run only";
}

TEST(BatchCliTest, BundledAndWipedLeavesOnlyTheArchive) {
  const std::string a = MakeWorkFile("a.txt"), b = MakeWorkFile("docs/b.txt"), c = MakeWorkFile("docs/c.txt", 1);
  fs::create_directories(TestDir() / "archives");
  const CliRun run = RunCli({"--password-file", PasswordFile("pw"), "--yes", "encrypt", "--algorithm", "des",
                             "--bundle", "../archives/all.zip", "--wipe", "a.txt", "docs"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "The files are successfully wiped !\nThe file(s) are successfully encrypted !\n");

  const fs::path archive = TestDir() / "archives" / "all.plx";
  std::vector<voltare::archive::ArchiveMember> members;
  ASSERT_EQ(voltare::archive::ListArchiveMembers(archive, members), platform::Success);
  std::vector<std::string> names;
  for (const auto& member : members) names.push_back(member.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt.vlt", "b.txt.vlt", "c.txt.vlt"})) << "list order";
  std::vector<voltare::archive::ExtractedMember> extracted;
  const std::vector<std::size_t> all = {0, 1, 2};
  ASSERT_EQ(voltare::archive::ExtractFromArchive(all, archive, extracted), platform::Success);
  EXPECT_EQ(DecryptVlt(extracted[0].path, "pw"), a);
  EXPECT_EQ(DecryptVlt(extracted[1].path, "pw"), b);
  EXPECT_EQ(DecryptVlt(extracted[2].path, "pw"), c);
  for (const auto& entry : fs::recursive_directory_iterator(Work())) {
    EXPECT_TRUE(entry.is_directory()) << entry.path() << " left behind";
  }
  EXPECT_EQ(StoredSetting("Wipe"), "0");
}

TEST(BatchCliTest, AnArchiveThatCannotBeWrittenKeepsEverySourceAndLeavesNoMember) {
  const std::string a = MakeWorkFile("a.txt"), b = MakeWorkFile("b.txt");
  const CliRun run = RunCli({"--password-file", PasswordFile(kStrongPassword), "--yes", "encrypt", "--bundle",
                             "missing/dir/out", "--wipe", "a.txt", "b.txt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with(kSamePasswordYes +
                                  "voltare-cli: missing/dir/out.plx: no such file or folder; no archive was written "
                                  "and nothing was wiped\n"))
      << run.err;
  EXPECT_EQ(ReadText(Work() / "a.txt"), a);
  EXPECT_EQ(ReadText(Work() / "b.txt"), b);
  // The sources are whole, so the members made for the archive go with it.
  EXPECT_FALSE(fs::exists(Work() / "a.txt.vlt"));
  EXPECT_FALSE(fs::exists(Work() / "b.txt.vlt"));
}

TEST(BatchCliTest, BundlingAsksBeforeTakingAnOlderEncryptedFileBesideASource) {
  MakeWorkFile("a.txt");
  MakeWorkFile("b.txt");
  WriteFileText(Work() / "a.txt.vlt", "an older copy, under another password");
  const std::string question = (Work() / "a.txt.vlt").string() +
                               " already exists.\nIt would be replaced, then packed into the PLX Archive file and "
                               "removed.\nDo you want to replace it? [y/n] ";

  // No: the older file stays, and a.txt is left out of the archive.
  const CliRun kept =
      RunCli({"--password-file", PasswordFile("pw"), "--no", "encrypt", "--bundle", "set.plx", "a.txt", "b.txt"});
  EXPECT_EQ(kept.status, 0) << kept.err;
  EXPECT_NE(kept.err.find(question + "n (--no)"), std::string::npos) << kept.err;
  EXPECT_EQ(ReadText(Work() / "a.txt.vlt"), "an older copy, under another password");
  EXPECT_EQ(RunCli({"archive-list", "set.plx"}).out.find("a.txt.vlt"), std::string::npos);

  // Yes: it is replaced and packed, as bundling does with every member.
  const CliRun taken =
      RunCli({"--password-file", PasswordFile("pw"), "--yes", "encrypt", "--bundle", "set.plx", "a.txt", "b.txt"});
  EXPECT_EQ(taken.status, 0) << taken.err;
  EXPECT_NE(taken.err.find(question + "y (--yes)"), std::string::npos) << taken.err;
  EXPECT_FALSE(fs::exists(Work() / "a.txt.vlt"));
  EXPECT_NE(RunCli({"archive-list", "set.plx"}).out.find("a.txt.vlt"), std::string::npos);
}

TEST(BatchCliTest, AnArchiveNamedAfterAFileOfTheBatchIsRefusedBeforeAnythingIsWritten) {
  const std::string a = MakeWorkFile("a.txt"), b = MakeWorkFile("b.plx");
  const CliRun run = RunCli({"--password-file", PasswordFile(kStrongPassword), "--yes", "encrypt", "--bundle", "b.plx",
                             "--wipe", "a.txt", "b.plx"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Unable to write the PLX Archive file " + (Work() / "b.plx").string() +
                         ".\nIt would replace one of the selected files or their encrypted files.\n"
                         "voltare-cli: 2 of 2 files were not encrypted\n");
  EXPECT_EQ(ReadText(Work() / "a.txt"), a);
  EXPECT_EQ(ReadText(Work() / "b.plx"), b);
  EXPECT_FALSE(fs::exists(Work() / "a.txt.vlt"));
}

TEST(BatchCliTest, AFileWhoseEncryptedFileIsAnotherFileOfTheBatchIsSkipped) {
  const std::string a = MakeWorkFile("a.txt"), vlt = MakeWorkFile("a.txt.vlt");
  const CliRun run =
      RunCli({"--password-file", PasswordFile(kStrongPassword), "--yes", "encrypt", "--wipe", "a.txt", "a.txt.vlt"});
  EXPECT_EQ(run.status, 1) << "an error was shown";
  EXPECT_EQ(run.out, "") << "a summary, not the success messages";
  EXPECT_EQ(run.err, "Unable to encrypt file " + (Work() / "a.txt").string() + ".\n" + (Work() / "a.txt.vlt").string() +
                         " is one of the selected files. File skipped.\n" + kSamePasswordYes + kWipeYes +
                         "voltare-cli: 1 of 2 files was not encrypted\n");
  EXPECT_EQ(ReadText(Work() / "a.txt"), a) << "not encrypted, so not wiped";
  EXPECT_EQ(DecryptVlt(Work() / "a.txt.vlt.vlt", kStrongPassword), vlt);
  EXPECT_FALSE(fs::exists(Work() / "a.txt.vlt")) << "wiped once encrypted";
}

TEST(BatchCliTest, EncryptedFilesAndArchivesDecryptBackThroughTheTool) {
  const std::string password = PasswordFile("round trip");
  for (const char* algorithm : {"blowfish", "cast5", "des"}) {
    SCOPED_TRACE(algorithm);
    const std::string dir = algorithm;
    const std::string a = MakeWorkFile(dir + "/a.txt"), b = MakeWorkFile(dir + "/b.bin", 50000);
    const CliRun loose = RunCli({"--password-file", password, "--yes", "encrypt", "--algorithm", algorithm, "--wipe",
                                 dir + "/a.txt", dir + "/b.bin"});
    ASSERT_EQ(loose.status, 0) << loose.err;
    ASSERT_FALSE(fs::exists(Work() / dir / "a.txt"));
    const CliRun back =
        RunCli({"--password-file", password, "--yes", "decrypt", dir + "/a.txt.vlt", dir + "/b.bin.vlt"});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(ReadText(Work() / dir / "a.txt"), a);
    EXPECT_EQ(ReadText(Work() / dir / "b.bin"), b);

    const CliRun bundled = RunCli({"--password-file", password, "--yes", "encrypt", "--algorithm", algorithm,
                                   "--bundle", dir + "/set", "--wipe", dir + "/a.txt", dir + "/b.bin"});
    ASSERT_EQ(bundled.status, 0) << bundled.err;
    EXPECT_FALSE(fs::exists(Work() / dir / "a.txt.vlt")) << "packed";
    const CliRun listed = RunCli({"archive-list", dir + "/set.plx"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(listed.out.starts_with("a.txt.vlt\t")) << listed.out;
    fs::create_directories(Work() / ("out-" + dir));
    const CliRun extracted =
        RunCli({"--password-file", password, "--yes", "decrypt", "--output-dir", "out-" + dir, dir + "/set.plx"});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(ReadText(Work() / ("out-" + dir) / "a.txt"), a);
    EXPECT_EQ(ReadText(Work() / ("out-" + dir) / "b.bin"), b);
  }

  // The wrong password gets nothing back.
  MakeWorkFile("c.txt");
  ASSERT_EQ(RunCli({"--password-file", password, "--yes", "encrypt", "--wipe", "c.txt"}).status, 0);
  const CliRun wrong = RunCli({"--password-file", PasswordFile("not it"), "--yes", "decrypt", "c.txt.vlt"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_FALSE(fs::exists(Work() / "c.txt"));
}

TEST(BatchCliTest, EncryptRefusesWhatItCannotDo) {
  MakeWorkFile("a.txt");
  MakeWorkFile("b.txt");
  EXPECT_EQ(RunCli({"encrypt", "--algorithm", "rc4", "a.txt"}).status, 2);
  const CliRun missing = RunCli({"--password-file", PasswordFile("pw"), "encrypt", "a.txt", "none.txt"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("none.txt: no such file or directory"), std::string::npos) << missing.err;

  const CliRun noPassword = RunCli({"encrypt", "a.txt"});
  EXPECT_EQ(noPassword.status, 1) << "the prompt is cancelled";
  EXPECT_FALSE(fs::exists(Work() / "a.txt.vlt"));

  // The same-password question needs an answer; the first file is done by then.
  const CliRun unanswered = RunCli({"--password-file", PasswordFile("pw"), "encrypt", "a.txt", "b.txt"});
  EXPECT_EQ(unanswered.status, 2);
  EXPECT_TRUE(fs::exists(Work() / "a.txt.vlt"));
  EXPECT_FALSE(fs::exists(Work() / "b.txt.vlt"));

  // Declined, every file gets its own prompt, answered from the same file.
  const CliRun declined = RunCli({"--password-file", PasswordFile("pw"), "--no", "encrypt", "a.txt", "b.txt"});
  EXPECT_EQ(declined.status, 0) << declined.err;
  EXPECT_EQ(DecryptVlt(Work() / "b.txt.vlt", "pw"), ReadText(Work() / "b.txt"));
}

TEST(BatchCliTest, EncryptTakesOnlyTheRegularFilesOfADirectory) {
  const std::string a = MakeWorkFile("tree/a.txt");
  MakeWorkFile("elsewhere/b.txt");
  fs::create_directory_symlink(Work() / "elsewhere", Work() / "tree" / "linked");
  fs::create_symlink(Work() / "tree" / "gone.txt", Work() / "tree" / "dangling.txt");
  const CliRun run = RunCli({"--password-file", PasswordFile("pw"), "encrypt", "tree"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(DecryptVlt(Work() / "tree" / "a.txt.vlt", "pw"), a);
  EXPECT_FALSE(fs::exists(Work() / "elsewhere" / "b.txt.vlt")) << "the directory link is not followed";
  EXPECT_FALSE(fs::exists(fs::symlink_status(Work() / "tree" / "dangling.txt.vlt")));
}

TEST(BatchCliTest, OutputsOfTheLongestNameAreStagedUnderShortNames) {
  const std::string name(251, 'n');  // with ".vlt", the longest name a file can have
  const std::string text = MakeWorkFile(name);
  const CliRun encrypted = RunCli({"--password-file", PasswordFile("pw"), "encrypt", name});
  ASSERT_EQ(encrypted.status, 0) << encrypted.err;
  fs::remove(Work() / name);
  const CliRun decrypted = RunCli({"--password-file", PasswordFile("pw"), "decrypt", name + ".vlt"});
  EXPECT_EQ(decrypted.status, 0) << decrypted.err;
  EXPECT_EQ(ReadText(Work() / name), text);
}

TEST(BatchCliTest, ADropBoxDirectoryKeepsTheFinishedVlt) {
  // Others may put files into such a directory but not open it, so it cannot
  // be flushed; the flushed file itself is complete all the same.
  const std::string text = MakeWorkFile("drop/a.txt");
  fs::permissions(Work() / "drop", fs::perms(0333));
  const CliRun run = RunCliAsUser({"--password-file", PasswordFile("pw"), "encrypt", "drop/a.txt"});
  fs::permissions(Work() / "drop", fs::perms(0755));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(DecryptVlt(Work() / "drop" / "a.txt.vlt", "pw"), text);
}

// A folder of another user planted where the private temporary folder goes:
// the user is told which folder and why, not of an internal error.
TEST(BatchCliTest, AForeignTemporaryFolderIsNamedWithTheReason) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the folder away";
  MakeWorkFile("a.txt");
  const fs::path planted = TestDir() / "tmp" / ("kova-voltare-" + std::to_string(::getuid()));
  fs::create_directory(planted);
  ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
  const CliRun run = RunCli({"--password-file", PasswordFile("pw"), "encrypt", "a.txt"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("a.txt: temporary files cannot be kept in the folder " + planted.string() +
                         ": it belongs to another user."),
            std::string::npos)
      << run.err;
}

TEST(BatchCliTest, StartAndStagingRemoveOnlyLeftoversNoRunningCopyHolds) {
  MakeWorkFile("a.txt");
  const fs::path temp = *platform::PrivateTempDir();
  WriteFileText(temp / "Vol123456.TMP", "compressed plain text of a killed run");
  WriteFileText(Work() / ".vlt-abcd1234.part", "decrypted plain text of a killed run");
  const int leftover = ::open((Work() / ".vlt-abcd1234.part").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_TRUE(platform::MarkAsStaged(leftover));  // as the killed run left it
  ::close(leftover);
  const auto held = platform::TempFile::Create();  // another copy's, in use
  ASSERT_TRUE(held);
  const CliRun run = RunCli({"--password-file", PasswordFile("pw"), "encrypt", "a.txt"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(temp / "Vol123456.TMP"));
  EXPECT_FALSE(fs::exists(Work() / ".vlt-abcd1234.part"));
  EXPECT_TRUE(fs::exists(held->path()));
}

TEST(BatchCliTest, WipeRemovesTheFilesWithTheMethodOfTheRun) {
  MakeWorkFile("a.txt");
  MakeWorkFile("sub/b.txt");
  MakeWorkFile("c.txt", 5);
  const CliRun normal = RunCli({"--yes", "wipe", "--method", "normal", "--passes", "5", "a.txt", "sub/b.txt"});
  EXPECT_EQ(normal.status, 0) << normal.err;
  EXPECT_EQ(normal.out, "The files are successfully wiped !\n");
  EXPECT_FALSE(fs::exists(Work() / "a.txt"));
  EXPECT_TRUE(fs::is_empty(Work() / "sub")) << "nothing left under another name";

  const CliRun government = RunCli({"--yes", "wipe", "--method", "government", "c.txt"});
  EXPECT_EQ(government.status, 0) << government.err;
  EXPECT_FALSE(fs::exists(Work() / "c.txt"));
  EXPECT_EQ(StoredSetting("TypeOfWipe"), "1");
  EXPECT_EQ(StoredSetting("Loop"), "3");
}

TEST(BatchCliTest, WipeThatLeavesAFileFails) {
  MakeWorkFile("a.txt");
  WriteFileText(Work() / "empty.txt", "");
  const CliRun declined = RunCli({"--no", "wipe", "a.txt"});
  EXPECT_EQ(declined.status, 1);
  EXPECT_TRUE(fs::exists(Work() / "a.txt"));
  EXPECT_EQ(RunCli({"wipe", "a.txt"}).status, 2) << "the question needs an answer";
  EXPECT_EQ(RunCli({"--yes", "wipe", "--passes", "0", "a.txt"}).status, 2) << "a wipe that writes nothing";

  MakeWorkFile("linked.txt");
  fs::create_hard_link(Work() / "linked.txt", Work() / "twin.txt");
  const CliRun skipped = RunCli({"--yes", "wipe", "linked.txt", "a.txt"});
  EXPECT_EQ(skipped.status, 1);
  EXPECT_EQ(skipped.err, kWipeYes + "Unable to wipe file " + (Work() / "linked.txt").string() +
                             ". It has other names (hard links) that would lose their content. File skipped.\n"
                             "voltare-cli: 1 of 2 files was not wiped\n");
  EXPECT_EQ(skipped.out, "") << "a skipped file is a failure: standard error";
  EXPECT_TRUE(fs::exists(Work() / "linked.txt"));
  EXPECT_FALSE(fs::exists(Work() / "a.txt"));

  const CliRun emptied = RunCli({"--yes", "wipe", "empty.txt"});
  EXPECT_EQ(emptied.status, 0) << emptied.err;
  EXPECT_EQ(emptied.out, "The files are successfully wiped !\n");
  EXPECT_FALSE(fs::exists(Work() / "empty.txt"));
}

TEST(BatchCliTest, WipeRefusesALinkAndWipesAWriteOnlyFile) {
  MakeWorkFile("write-only.txt");
  WriteFileText(Work() / "target.txt", "stays");
  fs::create_symlink("target.txt", Work() / "link.txt");
  fs::permissions(Work() / "write-only.txt", fs::perms::owner_write);
  const CliRun run = RunCliAsUser({"--yes", "wipe", "link.txt", "write-only.txt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, kWipeYes + "Unable to wipe file " + (Work() / "link.txt").string() +
                         ". It is a symbolic link; wiping it would empty the file it points to. File skipped.\n"
                         "voltare-cli: 1 of 2 files was not wiped\n");
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(fs::is_symlink(Work() / "link.txt"));
  EXPECT_EQ(ReadText(Work() / "target.txt"), "stays");
  EXPECT_FALSE(fs::exists(Work() / "write-only.txt"));
}

// Files a wipe must not finish, by `wipe` and by `encrypt --wipe`: each
// keeps what it must, says why, and the run fails.
TEST(BatchCliTest, WipesThatCannotFinishAreReportedByBothCommands) {
  struct Case {
    const char* what;
    std::function<void()> make;  // notes.txt and what lies beside it
    std::string message;         // after "... notes.txt"
    bool notesKept;
  };
  const std::string neutral = std::string(156, 'a');
  const Case cases[] = {
      {"another name", [] { fs::create_hard_link(Work() / "notes.txt", Work() / "keep.txt"); },
       ". It has other names (hard links) that would lose their content. File skipped.\n", true},
      {"the neutral name taken", [&] { WriteFileText(Work() / neutral, "other"); },
       " was overwritten, but it could not be moved to a neutral name before its removal (File exists).\n"
       "Its name was removed.\n",
       false},
  };
  const std::string password = PasswordFile("pw");
  for (const Case& c : cases) {
    for (const bool encrypt : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (encrypt ? " (encrypt --wipe)" : " (wipe)"));
      fs::remove_all(Work());
      const std::string text = MakeWorkFile("notes.txt");
      c.make();
      const CliRun run = encrypt ? RunCli({"--password-file", password, "--yes", "encrypt", "--wipe", "notes.txt"})
                                 : RunCli({"--yes", "wipe", "notes.txt"});
      EXPECT_EQ(run.status, 1);
      const std::string start = c.notesKept ? "Unable to wipe file " : "File ";
      EXPECT_NE(run.err.find(start + (Work() / "notes.txt").string() + c.message), std::string::npos) << run.err;
      EXPECT_EQ(run.out.find("successfully"), std::string::npos) << run.out;
      EXPECT_EQ(fs::exists(Work() / "notes.txt"), c.notesKept);
      EXPECT_EQ(ReadText(Work() / (c.notesKept ? "keep.txt" : neutral)), c.notesKept ? text : "other");
      if (encrypt) {
        EXPECT_EQ(DecryptVlt(Work() / "notes.txt.vlt", "pw"), text);
      }
    }
  }
}

TEST(BatchCliTest, ConfigSetTakesPassCountsFrom1To100Only) {
  ASSERT_EQ(RunCli({"config", "set", "TypeOfWipe", "1"}).status, 0);
  for (const char* passes : {"-3", "0", "1", "100", "101"}) {
    SCOPED_TRACE(passes);
    const std::string before = StoredSetting("Loop");
    const CliRun run = RunCli({"config", "set", "Loop", passes});
    const bool inRange = std::string(passes) == "1" || std::string(passes) == "100";
    EXPECT_EQ(run.status, inRange ? 0 : 2) << "a value out of range is a usage error";
    EXPECT_EQ(StoredSetting("Loop"), inRange ? passes : before);
    EXPECT_EQ(run.err.find("Loop must be a whole number from 1 to 100") != std::string::npos, !inRange) << run.err;
  }
}

}  // namespace
