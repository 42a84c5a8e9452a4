// SPDX-License-Identifier: GPL-3.0-or-later
// The README's voltare-cli examples, run as a reader would: every shell block
// of its "Quick start" section, top to bottom, in one empty folder, with
// the built tool on the PATH. A block the reader cannot run as it stands (the
// synopsis, one that needs a mail server) carries a "readme-runner: skip"
// comment on the line before it, which says why.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::Quoted;
using voltare::cli::testing::ReadText;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

struct Block {
  std::string text;
  bool skipped = false;
};

// The ```sh blocks between the section's heading and the next one of its level.
std::vector<Block> ShellBlocks(const std::string& readme, const std::string& heading) {
  const std::size_t start = readme.find("\n" + heading + "\n");
  const std::size_t end = readme.find("\n## ", start + 1);
  std::vector<Block> blocks;
  std::size_t at = start;
  while ((at = readme.find("\n```sh\n", at)) < end) {
    const std::size_t body = at + 7;
    const std::size_t close = readme.find("\n```\n", body);
    const std::size_t lineBefore = readme.rfind('\n', at - 1);
    const bool skipped = readme.compare(lineBefore + 1, 23, "<!-- readme-runner: ski") == 0;
    blocks.push_back({readme.substr(body, close + 1 - body), skipped});
    at = close + 4;
  }
  return blocks;
}

int RunShell(const fs::path& folder, const fs::path& script) {
  const fs::path bin = TestDir() / "bin";
  const std::string command = "cd " + Quoted(folder.string()) + " && PATH=" + Quoted(bin.string()) +
                              ":\"$PATH\" bash -e -o pipefail " + Quoted(script.string()) + " </dev/null >" +
                              Quoted((TestDir() / "out.txt").string()) + " 2>" +
                              Quoted((TestDir() / "err.txt").string());
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ReadmeExamplesTest, EveryCommandBlockRunsTopToBottomInAnEmptyFolder) {
  const std::vector<Block> blocks = ShellBlocks(ReadText(VOLTARE_README_PATH), "## Quick start");
  ASSERT_GE(blocks.size(), 3u);
  fs::create_directories(TestDir() / "bin");
  fs::create_symlink(VOLTARE_CLI_PATH, TestDir() / "bin" / "voltare-cli");
  const fs::path folder = TestDir() / "readme";
  fs::create_directories(folder);

  const fs::path settings = voltare::platform::SettingsFilePath();
  const auto storedSettings = [&] { return fs::exists(settings) ? ReadText(settings) : std::string("none"); };
  const std::string settingsBefore = storedSettings();

  std::size_t ran = 0;
  for (const Block& block : blocks) {
    if (block.skipped) continue;
    WriteFileText(TestDir() / "block.sh", block.text);
    const int status = RunShell(folder, TestDir() / "block.sh");
    EXPECT_EQ(status, 0) << block.text << "\nstandard error:\n" << ReadText(TestDir() / "err.txt");
    ++ran;
  }
  EXPECT_GE(ran, 3u);
  // What the examples promise.
  EXPECT_EQ(ReadText(folder / "report.doc"), "quarterly figures\n");
  EXPECT_EQ(ReadText(folder / "out" / "a.txt"), "Dear Bob,\n");
  EXPECT_EQ(ReadText(folder / "out" / "old" / "b.txt"), "Hello again\n") << "at its path below letters/";
  EXPECT_FALSE(fs::exists(folder / "letters" / "a.txt")) << "wiped once packed";
  EXPECT_FALSE(fs::exists(folder / "old-notes.txt"));
  EXPECT_EQ(storedSettings(), settingsBefore) << "the quick start changes none of the reader's settings";
}

}  // namespace
