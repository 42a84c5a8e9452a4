// SPDX-License-Identifier: GPL-3.0-or-later
// One convention across the commands: exit 0 when everything succeeded, 1
// when the command ran and something failed, 2 for wrong usage (a missing
// file included); failures on standard error with their reason, standard
// output left to results and information.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::WriteFileText;

struct Case {
  std::vector<std::string> arguments;  // after --password-file pw --yes
  int status;
  std::string errPart;  // must appear on standard error ("" for none at all)
  std::string outPart;  // must appear on standard output ("" for none at all)
};

class ConventionsCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Work() / "letters");
    fs::create_directories(Work() / "emptydir");
    WriteFileText(Work() / "plan.pdf", "%PDF-1.4 not a list, longer than the magic");
    for (const char* name : {"a.txt", "b.txt", "letters/c.txt"}) WriteFileText(Work() / name, name);
    ASSERT_EQ(Run({"encrypt", "a.txt", "b.txt"}).status, 0);
    ASSERT_EQ(Run({"encrypt", "--bundle", "set.plx", "letters"}).status, 0);
    fs::rename(Work() / "b.txt.vlt", Work() / "B.TXT.VLT");
    fs::remove(Work() / "b.txt");
    ASSERT_EQ(::mkfifo((Work() / "fifo").c_str(), 0600), 0);
  }

  static CliRun Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--password-file", PasswordFile("pw"), "--yes"});
    return RunCli(arguments);
  }
};

TEST_F(ConventionsCliTest, ExitCodesAndStreamsAcrossTheCommands) {
  const std::string notFound = "none.vlt: no such file or directory";
  const std::vector<Case> cases = {
      // A missing file is wrong usage, whatever the command.
      {{"encrypt", "none.vlt"}, 2, notFound, ""},
      {{"decrypt", "none.vlt"}, 2, notFound, ""},
      {{"wipe", "none.vlt"}, 2, notFound, ""},
      {{"archive-list", "none.vlt"}, 2, notFound, ""},
      {{"list-open", "none.vlt"}, 2, notFound, ""},
      {{"list-save", "out.vls", "none.vlt"}, 2, notFound, ""},
      {{"none.vlt"}, 2, notFound, ""},
      // Ran, and failed: each says why.
      {{"decrypt", "plan.pdf"}, 1, "plan.pdf: not an encrypted file (.vlt) or archive (.plx); skipped", ""},
      {{"decrypt", "letters"}, 1, "letters: the folder holds no encrypted file (.vlt) or archive (.plx)", ""},
      {{"encrypt", "emptydir"}, 1, "emptydir: the folder holds no file to take", ""},
      {{"list-open", "plan.pdf"}, 1, "plan.pdf is not a KOVA Voltare saved list (.vls).", ""},
      {{"list-save", "out.vls", "fifo", "/dev/null"}, 1, "no file to put in the list; nothing was saved", ""},
      {{"encrypt-text", ""}, 1, "the text is empty", ""},
      // Succeeded: information on standard output only.
      {{"archive-list", "set.plx"}, 0, "", "c.txt.vlt\t"},
      {{"about"}, 0, "", "KOVA Voltare"},
      // Bare paths one by one, upper-case extensions included.
      {{"a.txt.vlt", "B.TXT.VLT"}, 0, "[y/n] y (--yes)", "The file(s) are successfully decrypted !"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += argument + " ";
    SCOPED_TRACE(shown);
    const CliRun run = Run(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.errPart.empty()) EXPECT_EQ(run.err, "");
    else EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
    if (c.outPart.empty()) EXPECT_EQ(run.out, "");
    else EXPECT_NE(run.out.find(c.outPart), std::string::npos) << run.out;
  }
  EXPECT_EQ(ReadText(Work() / "B.TXT"), "b.txt") << "the last four characters dropped";
  EXPECT_FALSE(fs::exists(Work() / "out.vls"));
}

TEST_F(ConventionsCliTest, AListLeavesOutANameItCannotStoreAndSavesTheRest) {
  WriteFileText(Work() / "letters" / "two\nlines.txt", "x");
  const CliRun saved = Run({"list-save", "out.vls", "letters"});
  EXPECT_EQ(saved.status, 1);
  EXPECT_NE(saved.err.find("two\\nlines.txt: a name with a line break cannot be stored in a list; left out"),
            std::string::npos)
      << saved.err;
  const CliRun opened = Run({"list-open", "out.vls"});
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_EQ(opened.out, (Work() / "letters" / "c.txt").string() + "\n");
}

}  // namespace
