// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli decrypt, archive-list and a path given alone, run as built on
// real files made by the program's own file transforms.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/plx_bundle.h"
#include "cli_runner.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

constexpr const char* kDecrypted = "The file(s) are successfully decrypted !\n";
constexpr const char* kWrongPassword = ": wrong password; nothing was written\n";

// The transforms need a progress indicator; nobody watches this one.
using NoProgress = voltare::common::UnwatchedProgress;

// A file in the work directory holding `text`, encrypted into name + ".vlt"
// (0 Blowfish, 1 CAST-128, 2 DES); the plain file is removed.
std::string Encrypted(const std::string& name, const std::string& text, const std::string& password,
                      int algorithm = 0) {
  fs::create_directories(Work());
  const fs::path plain = Work() / name, packed = TestDir() / "packed.z";
  const fs::path encrypted = plain.string() + ".vlt";
  WriteFileText(plain, text);
  NoProgress progress;
  EXPECT_EQ(voltare::transforms::CompressFile(plain, packed, &progress), 0);
  int result = -1;
  if (algorithm == 0) result = voltare::transforms::BlowfishEncryptFile(packed, encrypted, password, &progress, false);
  if (algorithm == 1) result = voltare::transforms::Cast5EncryptFile(packed, encrypted, password, &progress);
  if (algorithm == 2) {
    const std::uint64_t key = voltare::transforms::DesKeyFromPassword(password);
    result = voltare::transforms::DesEncryptFile(packed, encrypted, static_cast<std::uint32_t>(key),
                                                 static_cast<std::uint32_t>(key >> 32), &progress);
  }
  EXPECT_EQ(result, 0);
  fs::remove(plain);
  return encrypted.filename().string();
}

// An archive in the work directory of the named plain texts, each encrypted
// with `password` under its own algorithm (in turn Blowfish, CAST-128, DES).
// `listing` receives "name<tab>size" of each member.
std::string Bundled(const std::string& archiveName, const std::vector<std::pair<std::string, std::string>>& files,
                    const std::string& password, std::string* listing = nullptr) {
  std::vector<fs::path> sources;
  int algorithm = 0;
  for (const auto& [name, text] : files) {
    const std::string member = Encrypted(name, text, password, algorithm++ % 3);
    if (listing) *listing += member + "\t" + std::to_string(fs::file_size(Work() / member)) + "\n";
    sources.push_back(Work() / name);
  }
  NoProgress progress;
  EXPECT_EQ(voltare::archive::BundleFiles(sources, Work() / archiveName, &progress), 0);
  return archiveName;
}

TEST(DecryptCliTest, EveryAlgorithmDecryptsBackToTheOriginalName) {
  const std::string pw = PasswordFile("sesame");
  const std::string a = Encrypted("a.txt", "alpha", "sesame", 0);
  const std::string b = Encrypted("b with blanks.txt", "bravo", "sesame", 1);
  const std::string c = Encrypted("c", "charlie", "sesame", 2);
  const CliRun run = RunCli({"--password-file", pw, "--yes", "decrypt", a, b, c});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kDecrypted);
  EXPECT_EQ(ReadText(Work() / "a.txt"), "alpha");
  EXPECT_EQ(ReadText(Work() / "b with blanks.txt"), "bravo");
  EXPECT_EQ(ReadText(Work() / "c"), "charlie");
  EXPECT_TRUE(fs::exists(Work() / a)) << "the encrypted files stay";
}

TEST(DecryptCliTest, AWrongPasswordOrADamagedFileKeepsTheExistingOutput) {
  const std::string encrypted = Encrypted("letter.txt", "new letter", "right");
  WriteFileText(Work() / "letter.txt", "old letter");

  CliRun run = RunCli({"--password-file", PasswordFile("wrong"), "--yes", "decrypt", encrypted});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(kWrongPassword), std::string::npos) << run.err;
  EXPECT_EQ(ReadText(Work() / "letter.txt"), "old letter");

  const std::string des = Encrypted("des.txt", "new", "right", 2);
  WriteFileText(Work() / "des.txt", "old des");
  run = RunCli({"--password-file", PasswordFile("wrong"), "--yes", "decrypt", des});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(kWrongPassword), std::string::npos) << "DES shows it when the result fails to expand";
  EXPECT_EQ(ReadText(Work() / "des.txt"), "old des");

  auto bytes = ReadFileBytes(Work() / encrypted);
  bytes.resize(bytes.size() - 5);
  voltare::testing::WriteFileBytes(Work() / encrypted, bytes);
  run = RunCli({"--password-file", PasswordFile("right"), "--yes", "decrypt", encrypted});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadText(Work() / "letter.txt"), "old letter");

  run = RunCli({"--password-file", PasswordFile("right"), "--no", "decrypt", des});
  EXPECT_EQ(run.status, 1) << "nothing decrypted when the replacement is declined";
  EXPECT_NE(run.err.find("no file was decrypted"), std::string::npos);
  EXPECT_EQ(ReadText(Work() / "des.txt"), "old des");

  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(Work())) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"des.txt", "des.txt.vlt", "letter.txt", "letter.txt.vlt"}))
      << "no half-made output";
}

TEST(DecryptCliTest, ArchivesListAndDecryptAllOrChosenMembers) {
  const std::string pw = PasswordFile("pw");
  std::string listing;
  const std::string archive =
      Bundled("set.plx", {{"one.txt", "first"}, {"two.txt", "second"}, {"three.txt", "third"}}, "pw", &listing);
  const CliRun listed = RunCli({"archive-list", archive});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out, listing);

  fs::create_directories(Work() / "out");
  CliRun run = RunCli({"--password-file", pw, "--yes", "decrypt", "--output-dir", "out", "--member", "three.txt.vlt",
                       "--member", "one.txt.vlt", archive});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "out" / "one.txt"), "first");
  EXPECT_EQ(ReadText(Work() / "out" / "three.txt"), "third") << "DES member";
  EXPECT_FALSE(fs::exists(Work() / "out" / "two.txt"));

  run = RunCli({"--password-file", pw, "--yes", "decrypt", archive});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "two.txt"), "second") << "all members, into the archive's directory";

  run = RunCli({"--password-file", pw, "decrypt", "--member", "four.txt.vlt", archive});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("four.txt.vlt"), std::string::npos);

  run = RunCli({"--password-file", pw, "decrypt", "--output-dir", "missing", archive});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "missing" / "two.txt"), "second") << "the output folder is made";

  EXPECT_EQ(RunCli({"decrypt", archive, archive, "--member", "one.txt.vlt"}).status, 2) << "only with one archive";
  EXPECT_EQ(RunCli({"decrypt", "nothing.vlt"}).status, 2);
}

TEST(DecryptCliTest, DamagedArchivesAreErrors) {
  const std::string archive = Bundled("set.plx", {{"one.txt", "first"}, {"two.txt", "second"}}, "pw");
  auto bytes = ReadFileBytes(Work() / archive);
  bytes.resize(20);  // inside the first member's name
  voltare::testing::WriteFileBytes(Work() / "cut.plx", bytes);
  WriteFileText(Work() / "fake.plx", "not an archive");

  for (const char* damaged : {"cut.plx", "fake.plx"}) {
    SCOPED_TRACE(damaged);
    CliRun run = RunCli({"archive-list", damaged});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "voltare-cli: " + std::string(damaged) + ": damaged, or not an encrypted file; nothing was listed\n");
    run = RunCli({"--password-file", PasswordFile("pw"), "decrypt", damaged});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("voltare-cli: " + std::string(damaged) +
                                    ": damaged, or not an encrypted file; nothing was written\n"))
        << run.err;
  }
  EXPECT_EQ(RunCli({"archive-list", "none.plx"}).status, 2) << "a missing file, as for every command";
}

TEST(DecryptCliTest, AnArchiveCutShortGivesItsWholeMembersAndReportsTheShortOne) {
  const std::string archive = Bundled("set.plx", {{"one.txt", "first"}, {"two.txt", "second"}}, "pw");
  auto bytes = ReadFileBytes(Work() / archive);
  bytes.resize(bytes.size() - 12);  // the last separator and 10 bytes of the last member
  voltare::testing::WriteFileBytes(Work() / archive, bytes);

  CliRun run = RunCli({"archive-list", archive});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(run.out.starts_with("one.txt.vlt\t")) << run.out;
  EXPECT_NE(run.out.find("\ntwo.txt.vlt\t"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("\tdamaged: cut off\n")) << run.out;
  EXPECT_EQ(run.err, "voltare-cli: set.plx: the archive is cut off\n");
  run = RunCli({"--password-file", PasswordFile("pw"), "--yes", "decrypt", archive});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadText(Work() / "one.txt"), "first");
  EXPECT_FALSE(fs::exists(Work() / "two.txt"));
  // One archive: no question whether the password holds for all.
  EXPECT_EQ(run.err,
            "voltare-cli: two.txt.vlt: damaged, or not an encrypted file; nothing was written\n"
            "voltare-cli: failed: two.txt.vlt\n"
            "voltare-cli: 1 of 2 files was not decrypted\n");
}

// Two members of one name (an archive made before folders were kept) would
// replace each other: both are named and nothing is decrypted, with --yes
// too. A member whose decrypted file is already in the output directory is
// asked about the file it would replace there.
TEST(DecryptCliTest, ArchiveMembersAreAskedAboutTheFileTheyWouldReplace) {
  fs::create_directories(Work() / "one");
  fs::create_directories(Work() / "two");
  const std::string archive =
      Bundled("dup.plx", {{"one/same.txt", "first"}, {"two/same.txt", "second"}, {"other.txt", "new"}}, "pw");
  fs::create_directories(Work() / "out");
  WriteFileText(Work() / "out" / "other.txt", "old");

  CliRun run = RunCli({"--password-file", PasswordFile("pw"), "--yes", "decrypt", "--output-dir", "out", archive});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unable to decrypt same.txt.vlt and same.txt.vlt.\nBoth would be decrypted to " +
                         (Work() / "out" / "same.txt").string() + ". Nothing was decrypted."),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(Work() / "out" / "same.txt"));
  EXPECT_EQ(ReadText(Work() / "out" / "other.txt"), "old");

  run = RunCli({"--password-file", PasswordFile("pw"), "--no", "decrypt", "--output-dir", "out", "--member",
                "other.txt.vlt", archive});
  EXPECT_EQ(run.status, 1) << "nothing was decrypted";
  EXPECT_EQ(ReadText(Work() / "out" / "other.txt"), "old");
  run = RunCli({"--password-file", PasswordFile("pw"), "--yes", "decrypt", "--output-dir", "out", "--member",
                "other.txt.vlt", archive});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "out" / "other.txt"), "new");
}

TEST(DecryptCliTest, APathAloneIsHandledAsAtFirstActivation) {
  const std::string pw = PasswordFile("pw");
  const std::string encrypted = Encrypted("note.txt", "a note", "pw", 1);
  CliRun run = RunCli({"--password-file", pw, encrypted});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "note.txt"), "a note");

  Bundled("pack.plx", {{"p.txt", "packed"}, {"q.txt", "queued"}}, "pw");
  run = RunCli({"--password-file", pw, "--yes", "pack.plx"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "q.txt"), "queued");

  WriteFileText(Work() / "listed.txt", "x");
  ASSERT_EQ(RunCli({"--password-file", pw, "list-save", "files", "listed.txt"}).status, 0);
  run = RunCli({"--password-file", pw, "files.vls"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, (Work() / "listed.txt").string() + "\n");

  EXPECT_EQ(RunCli({"--password-file", pw, "note.txt.vlx"}).status, 2) << "no extension of ours";
  EXPECT_EQ(RunCli({"absent.vlt"}).status, 2);
  EXPECT_EQ(RunCli({"archive-list", "pack.plx", "extra.plx"}).status, 2) << "a command takes no path besides";
  EXPECT_EQ(RunCli({"config", "show"}).status, 0);
}

}  // namespace

namespace {

TEST(DecryptCliTest, NamesFromAnArchiveArePrintedWithTheirControlCharactersEscaped) {
  // A name made to clear the screen and to fake a second line of the listing.
  const std::string hostile = "x\x1b[2J\tfake\n\\.txt";
  const std::string archive = Bundled("odd.plx", {{hostile, "text"}}, "pw");
  const CliRun run = RunCli({"archive-list", archive});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("x\\x1B[2J\\tfake\\n\\\\.txt.vlt\t")) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\x1b'), 0);
}

TEST(DecryptCliTest, AFileThatCannotBeReadGivesTheSystemsError) {
  const std::string vlt = Encrypted("a.txt", "text", "pw");
  const std::string archive = Bundled("set.plx", {{"b.txt", "text"}}, "pw");
  fs::permissions(Work() / vlt, fs::perms::none);
  fs::permissions(Work() / archive, fs::perms::none);
  for (const std::string& file : {vlt, archive}) {
    SCOPED_TRACE(file);
    const CliRun run = voltare::cli::testing::RunCliAsUser({"--password-file", PasswordFile("pw"), "decrypt", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("voltare-cli: " + file + ": permission denied; nothing was written\n")) << run.err;
  }
}

}  // namespace

namespace {

// Sealed files through the tool: one key for the batch (every file carries
// the same salt), a round trip through files and an archive, and a changed
// file refused by name with no output.
TEST(SealedCliTest, EncryptDecryptAndTamperingEndToEnd) {
  fs::create_directories(Work());
  std::string big;
  for (int i = 0; big.size() < 700 * 1024; ++i) big += std::to_string(i * 2654435761U) + " sealed\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.txt", "alpha"}, {"b.txt", "bravo"}, {"big.txt", big}};
  for (const auto& [name, text] : files) WriteFileText(Work() / name, text);
  const std::string pw = PasswordFile("sealed pass");
  CliRun run =
      RunCli({"--password-file", pw, "--yes", "encrypt", "--algorithm", "xchacha20", "a.txt", "b.txt", "big.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::uint8_t> salt;
  for (const auto& [name, text] : files) {
    const auto sealed = ReadFileBytes(Work() / (name + ".vlt"));
    ASSERT_GT(sealed.size(), 79U);
    EXPECT_EQ(sealed[12], 3);
    const std::vector<std::uint8_t> own(sealed.begin() + 23, sealed.begin() + 39);
    if (salt.empty()) salt = own;
    EXPECT_EQ(own, salt) << name << ": one derivation per batch";
    fs::remove(Work() / name);
  }

  auto changed = ReadFileBytes(Work() / "b.txt.vlt");
  changed[changed.size() - 3] ^= 1;
  voltare::testing::WriteFileBytes(Work() / "b.txt.vlt", changed);
  run = RunCli({"--password-file", pw, "--yes", "decrypt", "a.txt.vlt", "b.txt.vlt", "big.txt.vlt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("voltare-cli: b.txt.vlt: damaged, or changed after it was encrypted; nothing was written\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadText(Work() / "a.txt"), "alpha");
  EXPECT_FALSE(fs::exists(Work() / "b.txt"));

  WriteFileText(Work() / "c.txt", "charlie");
  run = RunCli({"--password-file", pw, "--yes", "encrypt", "--algorithm", "xchacha20", "--bundle", "set.plx", "--wipe",
                "c.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(Work() / "c.txt")) << "read back, then wiped";
  run = RunCli({"--password-file", pw, "--yes", "decrypt", "--output-dir", ".", "--member", "c.txt.vlt", "set.plx"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadText(Work() / "c.txt"), "charlie");
}

}  // namespace
