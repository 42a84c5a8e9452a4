// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare-cli, run as a user would run it: from a directory of its
// own, with output going to files (so there is no terminal).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "peers/scoped_env.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

TEST(VoltareCliTest, ConfigShowsTheInstalledSettingsAndSetsThemThroughThePreferences) {
  CliRun shown = RunCli({"config", "show"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out,
            "Algorithm    0 (Blowfish)\n"
            "TypeOfWipe   1 (Normal Wipe)\n"
            "Loop         3\n"
            "Wipe         no\n"
            "CheckUpdate  no\n"
            "\nE-mail\n"
            "  (not set up)\n");

  EXPECT_EQ(RunCli({"config", "set", "checkupdate", "1"}).status, 0);
  EXPECT_EQ(RunCli({"config", "set", "Loop", "42"}).status, 0);
  shown = RunCli({"config", "show"});
  EXPECT_NE(shown.out.find("\nLoop         42\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("\nCheckUpdate  yes\n"), std::string::npos) << shown.out;

  EXPECT_EQ(RunCli({"config", "set", "Algorithm", "xchacha20"}).status, 0);
  EXPECT_TRUE(RunCli({"config", "show"}).out.starts_with("Algorithm    3 (XChaCha20-Poly1305)\n"));

  EXPECT_EQ(RunCli({"config", "set", "Algorithm", "4"}).status, 2);
  EXPECT_EQ(RunCli({"config", "set", "Colour", "1"}).status, 2);
  EXPECT_EQ(RunCli({"config", "set", "TypeOfWipe", "0"}).status, 0);
  const CliRun loopWithoutNormalWipe = RunCli({"config", "set", "Loop", "5"});
  EXPECT_EQ(loopWithoutNormalWipe.status, 2);
  EXPECT_NE(loopWithoutNormalWipe.err.find("Normal Wipe"), std::string::npos);
}

TEST(VoltareCliTest, SettingsTheDialogRefusesToLoadAreLeftAlone) {
  EXPECT_EQ(RunCli({"config", "set", "Algorithm", "1"}).status, 0);
  EXPECT_EQ(RunCli({"config", "set", "Loop", "150"}).status, 2) << "out of range: refused";
  // Written by another version, or by hand: config set itself refuses 150.
  voltare::platform::SettingsKey::OpenForWriting(voltare::platform::kSettingsKey).WriteString("Loop", "150");
  const std::string before = ReadText(TestDir() / "config" / "settings.conf");

  const CliRun refused = RunCli({"config", "set", "Wipe", "1"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.err.starts_with(
      "KOVA Voltare could not open the settings file " + (TestDir() / "config" / "settings.conf").string() +
      ".\n\nPlease check that you may read and write it.\nvoltare-cli: nothing was changed"))
      << refused.err;
  EXPECT_EQ(ReadText(TestDir() / "config" / "settings.conf"), before);
}

TEST(VoltareCliTest, AStoreThatCannotBeWrittenIsTheSettingsFileErrorWithItsPath) {
  // Readable (nothing there: the installer's values) but never writable, even for root.
  const voltare::net::testing::ScopedEnv unwritable("VOLTARE_CONFIG_DIR", "/proc");
  const CliRun refused = RunCli({"config", "set", "Wipe", "1"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "KOVA Voltare could not open the settings file /proc/settings.conf.\n\n"
            "Please check that you may read and write it.\n");
}

TEST(VoltareCliTest, ListsSavedFromRelativePathsOpenWithTheSamePassword) {
  const fs::path work = TestDir() / "work";
  fs::create_directories(work / "docs" / "sub");
  WriteFileText(work / "a.txt", "a");
  WriteFileText(work / "docs" / "b.txt", "b");
  WriteFileText(work / "docs" / "sub" / "c.txt", "c");
  WriteFileText(TestDir() / "pw.txt",
                std::string(voltare::cli::testing::kStrongPassword) + "\r\nsecond line ignored\n");

  const CliRun saved =
      RunCli({"--password-file", (TestDir() / "pw.txt").string(), "list-save", "saved", "a.txt", "docs"});
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(saved.err, "") << "no progress bar without a terminal";
  ASSERT_TRUE(fs::exists(work / "saved.vls"));

  const CliRun opened = RunCli({"list-open", "../work/saved.vls", "--password-file", (TestDir() / "pw.txt").string()},
                               TestDir() / "elsewhere");
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_EQ(opened.out, (work / "a.txt").string() + "\n" + (work / "docs/b.txt").string() + "\n" +
                            (work / "docs/sub/c.txt").string() + "\n");

  WriteFileText(TestDir() / "wrong.txt", "kT9#vQ2!mW4@zR7\n");
  const CliRun wrong = RunCli({"--password-file", (TestDir() / "wrong.txt").string(), "list-open", "saved.vls"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err, "voltare-cli: saved.vls: wrong password; the list was not opened\n");

  fs::remove(work / "a.txt");
  const CliRun missing = RunCli({"--password-file", (TestDir() / "pw.txt").string(), "list-open", "saved.vls"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, (work / "docs/b.txt").string() + "\n" + (work / "docs/sub/c.txt").string() + "\n");
  EXPECT_EQ(missing.err, "One or more files in the savefile don't exist\n");

  // No room for the decrypted list: a failure like any other, and it says so.
  const voltare::net::testing::ScopedEnv noTemp("TMPDIR", (TestDir() / "no-such-dir").string());
  const CliRun noScratch = RunCli({"--password-file", (TestDir() / "pw.txt").string(), "list-open", "saved.vls"});
  EXPECT_EQ(noScratch.status, 1);
  EXPECT_EQ(noScratch.out, "");
  EXPECT_TRUE(noScratch.err.starts_with("voltare-cli: saved.vls: no temporary file can be made in the folder "))
      << noScratch.err;
}

TEST(VoltareCliTest, WithoutAPasswordNothingIsWrittenOrRead) {
  const fs::path work = TestDir() / "work";
  fs::create_directories(work);
  WriteFileText(work / "a.txt", "a");
  const CliRun save = RunCli({"list-save", "out.vls", "a.txt"});
  EXPECT_EQ(save.status, 1);
  EXPECT_FALSE(fs::exists(work / "out.vls"));

  WriteFileText(TestDir() / "empty.txt", "\n");
  const CliRun emptyLine = RunCli({"--password-file", (TestDir() / "empty.txt").string(), "list-save", "out", "a.txt"});
  EXPECT_EQ(emptyLine.status, 1);
  EXPECT_EQ(emptyLine.err, "No characters found in the password field\n");
  EXPECT_FALSE(fs::exists(work / "out.vls"));

  const CliRun absent = RunCli({"--password-file", (TestDir() / "pw.txt").string(), "list-open", "none.vls"});
  EXPECT_EQ(absent.status, 2) << "an unreadable password file is a usage error";
  const CliRun noList = RunCli({"--password-file", (TestDir() / "empty.txt").string(), "list-open", "none.vls"});
  EXPECT_EQ(noList.status, 2) << "a missing file, as for every command";
  EXPECT_EQ(noList.err, "voltare-cli: none.vls: no such file or directory\n");
}

TEST(VoltareCliTest, UsageErrorsAndHelp) {
  EXPECT_EQ(RunCli({}).status, 2);
  EXPECT_EQ(RunCli({"frobnicate"}).status, 2);
  EXPECT_EQ(RunCli({"--yes", "--no", "config", "show"}).status, 2);
  EXPECT_EQ(RunCli({"list-save", "out.vls"}).status, 2);
  EXPECT_EQ(RunCli({"list-save", "out.vls", "no-such-file"}).status, 2);

  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"config", "list-save", "list-open", "--password-file", "--yes", "--no", "Exit status"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  // Commands are listed by task, each under its heading, in this order.
  std::size_t previous = 0;
  for (const char* line : {"\nFiles:\n  encrypt", "  archive-list", "\nLists:\n  list-save", "\nTexts:\n  encrypt-text",
                           "\nE-mail:\n  email-config", "\nSettings and information:\n  config", "  about"}) {
    const std::size_t at = help.out.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    EXPECT_GT(at, previous) << line;
    previous = at == std::string::npos ? previous : at;
  }
  const CliRun commandHelp = RunCli({"list-open", "--help"});
  EXPECT_EQ(commandHelp.status, 0);
  EXPECT_NE(commandHelp.out.find("in list order"), std::string::npos);
}

}  // namespace
