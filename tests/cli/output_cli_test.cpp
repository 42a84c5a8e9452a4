// SPDX-License-Identifier: GPL-3.0-or-later
// What voltare-cli decrypt does with the name its output takes: it asks
// before replacing anything that is not a folder, keeps a replaced file's
// permissions without widening them, and writes runs of zeros as holes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

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

const std::string kReplaceQuestion = "already exists.\nDo you want to replace it?";

// "doc.txt.vlt" in the work directory, holding "new"; doc.txt is gone.
void EncryptedDoc() {
  fs::create_directories(Work());
  WriteFileText(Work() / "doc.txt", "new");
  ASSERT_EQ(RunCli({"--password-file", PasswordFile("pw"), "encrypt", "doc.txt"}).status, 0);
  fs::remove(Work() / "doc.txt");
}

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0);
  return info.st_mode;
}

void OldFile(mode_t mode) {
  WriteFileText(Work() / "doc.txt", "old");
  ::chmod((Work() / "doc.txt").c_str(), mode);
}

// To another user, where we may (as root); otherwise the file stays ours and
// the case expects what our own file keeps.
void GiveAway(const fs::path& path) {
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  } else {
    ::chmod(path.c_str(), 0600);
  }
}

TEST(OutputCliTest, EveryKindOfNameTakenIsAskedAboutAndAReplacedFileKeepsItsModeNeverWider) {
  const struct {
    const char* kind;
    std::function<void()> make;
    const char* answer;
    mode_t after;  // the type and permissions doc.txt has afterwards
  } cases[] = {
      {"a 0644 file", [] { OldFile(0644); }, "--yes", S_IFREG | 0644},
      {"a 0664 file", [] { OldFile(0664); }, "--yes", S_IFREG | 0664},
      {"others above the owner", [] { OldFile(0467); }, "--yes", S_IFREG | 0444},
      {"a setuid file", [] { OldFile(04755); }, "--yes", S_IFREG | 0755},
      // A shared folder: another member's file, open to all, comes back ours alone.
      {"another user's 0666 file", [] { OldFile(0666), GiveAway(Work() / "doc.txt"); }, "--yes", S_IFREG | 0600},
      {"a FIFO, declined", [] { ::mkfifo((Work() / "doc.txt").c_str(), 0644); }, "--no", S_IFIFO | 0644},
      {"a FIFO", [] { ::mkfifo((Work() / "doc.txt").c_str(), 0644); }, "--yes", S_IFREG | 0600},
      {"a dangling link, declined", [] { fs::create_symlink("gone", Work() / "doc.txt"); }, "--no", S_IFLNK | 0777},
      {"a link to a file", [] { fs::create_symlink("kept.txt", Work() / "doc.txt"); }, "--yes", S_IFREG | 0600},
  };
  for (const auto& c : cases) {
    EncryptedDoc();
    WriteFileText(Work() / "kept.txt", "kept");
    c.make();
    const CliRun run = RunCli({"--password-file", PasswordFile("pw"), c.answer, "decrypt", "doc.txt.vlt"});
    const bool replaced = std::string(c.answer) == "--yes";
    EXPECT_EQ(run.status, replaced ? 0 : 1) << c.kind << ": " << run.err << "(declined: nothing decrypted)";
    EXPECT_NE((run.out + run.err).find(kReplaceQuestion), std::string::npos) << c.kind << ": " << run.err;
    EXPECT_EQ(ModeOf(Work() / "doc.txt"), c.after) << c.kind << std::oct << " mode " << ModeOf(Work() / "doc.txt");
    if (replaced) {
      EXPECT_EQ(ReadText(Work() / "doc.txt"), "new") << c.kind;
    }
    EXPECT_EQ(ReadText(Work() / "kept.txt"), "kept") << c.kind << ": a link is replaced, never written through";
    fs::remove_all(Work());
  }
}

}  // namespace
