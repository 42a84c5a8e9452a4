// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare-cli's encrypt-text, decrypt-text and about, run as a user
// would run them, with standard input from a file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_env.h"
#include "transforms/text_crypt.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::RunCliWithInput;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

// Standard input from a file holding `input` (a file, not a terminal).
CliRun RunCli(const std::vector<std::string>& arguments, const std::string& input = "") {
  return RunCliWithInput(arguments, input);
}

TEST(TextCommandsTest, EncryptedLineDecryptsBackFromArgumentOrStandardInput) {
  const std::string pw = PasswordFile("tiger");
  const CliRun encrypted = RunCli({"--password-file", pw, "encrypt-text", "meet at noon"});
  ASSERT_EQ(encrypted.status, 0) << encrypted.err;
  EXPECT_EQ(encrypted.out, voltare::transforms::BlowfishEncryptString("meet at noon", "tiger") + "\n");

  // The line as this tool wrote it, line feed included, read from standard input.
  const CliRun fromInput = RunCli({"--password-file", pw, "decrypt-text"}, encrypted.out);
  EXPECT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, "meet at noon") << "exactly the text, nothing added when not on a terminal";

  // Text from standard input keeps its inner line breaks and loses its last line end.
  const CliRun lines = RunCli({"--password-file", pw, "encrypt-text"}, "first\nsecond\n");
  ASSERT_EQ(lines.status, 0) << lines.err;
  EXPECT_EQ(lines.out, voltare::transforms::BlowfishEncryptString("first\nsecond", "tiger") + "\n");
  const std::string line = lines.out.substr(0, lines.out.size() - 1);
  EXPECT_EQ(RunCli({"--password-file", pw, "decrypt-text", "\r\n" + line + "\r\n"}).out, "first\nsecond");

  // Bytes that are not UTF-8 (a Latin-1 text) come back byte for byte: only
  // the desktop clipboard needs text.
  const std::string latin1 =
      "caf\xE9 \xA3"
      "5, na\xEFve";
  const CliRun encryptedLatin1 = RunCli({"--password-file", pw, "encrypt-text"}, latin1);
  ASSERT_EQ(encryptedLatin1.status, 0) << encryptedLatin1.err;
  EXPECT_EQ(RunCli({"--password-file", pw, "decrypt-text"}, encryptedLatin1.out).out, latin1);
}

TEST(TextCommandsTest, MissingOrTooLongInputIsRefusedWithTheClipboardMessage) {
  const std::string pw = PasswordFile("tiger");
  const CliRun none = RunCli({"--password-file", pw, "encrypt-text"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "No text found on clipboard !\nvoltare-cli: the text is empty\n");

  const CliRun tooLong = RunCli({"--password-file", pw, "decrypt-text"}, std::string(65536, 'A'));
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_EQ(
      tooLong.err,
      "No text found on clipboard !\nvoltare-cli: the text is longer than 65535 bytes, the most a text may have\n");

  // An empty text, as an argument or as one line end, is no text either.
  for (const auto& [arguments, input] : {std::pair<std::vector<std::string>, std::string>{{"encrypt-text", ""}, ""},
                                         {{"encrypt-text"}, "\n"},
                                         {{"encrypt-text", std::string(65536, 'b')}, ""}}) {
    std::vector<std::string> words{"--password-file", pw};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const CliRun refused = RunCli(words, input);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(refused.err.starts_with("No text found on clipboard !\nvoltare-cli: the text is ")) << refused.err;
  }

  // 65535 bytes and a line end are taken.
  const CliRun longest = RunCli({"--password-file", pw, "encrypt-text"}, std::string(65535, 'a') + "\n");
  EXPECT_EQ(longest.status, 0) << longest.err;
  EXPECT_EQ(longest.out.size(), 87380u + 1);
}

TEST(TextCommandsTest, ThePasswordIsTheWholeFirstLineOfItsFile) {
  // Longer than one read of the file and than the first block it is kept in;
  // its last blank is kept, with a warning.
  std::string longLine;
  for (int i = 0; i < 70; ++i) longLine += "word " + std::to_string(i) + " ";
  const std::string expected = voltare::transforms::BlowfishEncryptString("text", longLine) + "\n";
  const fs::path file = TestDir() / "long.txt";
  for (const std::string& contents : {longLine, longLine + "\r\nnext line", longLine + "\n\n"}) {
    WriteFileText(file, contents);
    const CliRun run = RunCli({"--password-file", file.string(), "encrypt-text", "text"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "voltare-cli: the password in " + file.string() + " ends with a blank, which is part of it\n");
  }

  WriteFileText(file, "");
  const CliRun empty = RunCli({"--password-file", file.string(), "encrypt-text", "text"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(empty.err, "voltare-cli: cannot read a password from " + file.string() + "\n");
}

TEST(TextCommandsTest, AWrongPasswordGivesGarbageAndNoPasswordCancels) {
  const std::string encrypted = voltare::transforms::BlowfishEncryptString("the key is under the mat", "right");
  const CliRun wrong = RunCli({"--password-file", PasswordFile("wrong"), "decrypt-text", encrypted});
  EXPECT_EQ(wrong.status, 0) << wrong.err;
  EXPECT_NE(wrong.out, "the key is under the mat\n");
  EXPECT_EQ(wrong.err, "");

  // No password file and no terminal: the prompt is cancelled, nothing is written.
  const CliRun cancelled = RunCli({"encrypt-text", "secret"});
  EXPECT_EQ(cancelled.status, 1);
  EXPECT_EQ(cancelled.out, "");
  EXPECT_NE(cancelled.err.find("password"), std::string::npos) << cancelled.err;
}

TEST(TextCommandsTest, AboutPrintsTheAboutBoxLines) {
  const CliRun about = RunCli({"about"});
  EXPECT_EQ(about.status, 0) << about.err;
  EXPECT_EQ(about.out.rfind("KOVA Voltare\nVersion 2.50\n", 0), 0u) << about.out;
  EXPECT_NE(about.out.find("\nRunning on "), std::string::npos) << about.out;
  EXPECT_NE(about.out.find("\nTotal Physical Memory: "), std::string::npos) << about.out;
  std::size_t lines = 0;
  for (char c : about.out) lines += c == '\n';
  EXPECT_EQ(lines, 6u);
}

}  // namespace
