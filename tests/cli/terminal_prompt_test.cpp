// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli with a person at a terminal: passwords typed with echo off,
// questions answered by typing.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_runner.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::RunCliOnTerminal;
using voltare::cli::testing::Work;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

TEST(TerminalPromptTest, APasswordToEncryptIsTypedTwiceAndMustMatch) {
  fs::create_directories(Work());
  WriteFileText(Work() / "a.txt", "plain");
  // A slip in the second typing is caught; the next pair that matches counts.
  const CliRun encrypted = RunCliOnTerminal({"encrypt", "a.txt"}, {"tiger", "tigre", "lion", "lion"});
  EXPECT_EQ(encrypted.status, 0) << encrypted.out;
  EXPECT_NE(encrypted.out.find("The two passwords differ."), std::string::npos) << encrypted.out;
  fs::remove(Work() / "a.txt");
  EXPECT_EQ(RunCli({"--password-file", PasswordFile("lion"), "decrypt", "a.txt.vlt"}).status, 0);
  EXPECT_EQ(ReadText(Work() / "a.txt"), "plain");

  // Decrypting asks once: a second prompt would meet the end of input.
  fs::remove(Work() / "a.txt");
  const CliRun decrypted = RunCliOnTerminal({"decrypt", "a.txt.vlt"}, {"lion"});
  EXPECT_EQ(decrypted.status, 0) << decrypted.out;
  EXPECT_EQ(ReadText(Work() / "a.txt"), "plain");

  // Three slips cancel, and nothing is written.
  const CliRun slips = RunCliOnTerminal({"list-save", "l.vls", "a.txt"}, {"a", "b", "a", "b", "a", "b"});
  EXPECT_EQ(slips.status, 1);
  EXPECT_NE(slips.out.find("voltare-cli: the password prompt was cancelled"), std::string::npos) << slips.out;
  EXPECT_FALSE(fs::exists(Work() / "l.vls"));
}

TEST(TerminalPromptTest, DecryptingFailsWhenALaterPasswordIsCancelled) {
  fs::create_directories(Work());
  WriteFileText(Work() / "a.txt", "first");
  WriteFileText(Work() / "b.txt", "second");
  ASSERT_EQ(RunCli({"--password-file", PasswordFile("pw"), "--yes", "encrypt", "--wipe", "a.txt", "b.txt"}).status, 0);

  // The first file's password, No to using it for all, then Cancel (an empty answer).
  const CliRun run = RunCliOnTerminal({"decrypt", "a.txt.vlt", "b.txt.vlt"}, {"pw", "n", ""});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("voltare-cli: the password prompt was cancelled"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("successfully decrypted"), std::string::npos) << run.out;
  EXPECT_EQ(ReadText(Work() / "a.txt"), "first");
  EXPECT_FALSE(fs::exists(Work() / "b.txt"));
}

}  // namespace
