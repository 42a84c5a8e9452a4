// SPDX-License-Identifier: GPL-3.0-or-later
// Folder trees through voltare-cli: archives keep each file's path below the
// folder given, decrypting makes those folders again, and nothing is lost to
// two files of the same name or led out of the output folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive_bytes.h"
#include "cli_runner.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::archive::testing::ArchiveBytes;
using voltare::archive::testing::RawEntry;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::ReadFileBytes;
using voltare::testing::WriteFileBytes;
using voltare::testing::WriteFileText;

std::string ContentOf(const std::string& path) { return "the photo at " + path + std::string(500, '#') + path; }

// The names archive-list prints, sorted.
std::vector<std::string> MemberNames(const fs::path& directory, const std::string& archive) {
  const CliRun listed = RunCli({"archive-list", archive}, directory);
  EXPECT_EQ(listed.status, 0) << listed.err;
  std::vector<std::string> names;
  std::istringstream lines(listed.out);
  for (std::string line; std::getline(lines, line);) names.push_back(line.substr(0, line.find('\t')));
  std::ranges::sort(names);
  return names;
}

struct TreeCase {
  const char* what;
  std::vector<std::string> files;     // below the case's folder
  std::vector<std::string> given;     // what encrypt is given
  std::vector<std::string> restored;  // where each file comes back below r, sorted
};

TEST(FolderTreeCliTest, BundledTreesWithSameNamedFilesComeBackWholeAfterWipeAndYes) {
  const std::vector<TreeCase> cases = {
      {"the photo folder",
       {"Photos/2023/IMG_0001.jpg", "Photos/2024/IMG_0001.jpg"},
       {"Photos/"},
       {"2023/IMG_0001.jpg", "2024/IMG_0001.jpg"}},
      {"same names given alone", {"a/x.txt", "b/x.txt"}, {"a/x.txt", "b/x.txt"}, {"a/x.txt", "b/x.txt"}},
      {"a folder with one subfolder", {"Docs/2023/a.txt", "Docs/2023/b.txt"}, {"Docs"}, {"2023/a.txt", "2023/b.txt"}},
      {"two folders with the same tree", {"A/s/x", "B/s/x", "B/y"}, {"A", "B"}, {"A/s/x", "B/s/x", "B/y"}},
  };
  const std::string pw = PasswordFile("pw");
  int number = 0;
  for (const TreeCase& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = Work() / ("case" + std::to_string(++number));
    for (const std::string& file : c.files) {
      fs::create_directories((dir / file).parent_path());
      WriteFileText(dir / file, ContentOf(file));
    }
    std::vector<std::string> encrypt = {"--password-file", pw, "--yes", "encrypt", "--bundle", "p.plx", "--wipe"};
    encrypt.insert(encrypt.end(), c.given.begin(), c.given.end());
    const CliRun bundled = RunCli(encrypt, dir);
    ASSERT_EQ(bundled.status, 0) << bundled.err;
    for (const std::string& file : c.files) EXPECT_FALSE(fs::exists(dir / file)) << file;

    std::vector<std::string> members;
    for (const std::string& path : c.restored) members.push_back(path + ".vlt");
    EXPECT_EQ(MemberNames(dir, "p.plx"), members);

    const CliRun decrypted = RunCli({"--password-file", pw, "--yes", "decrypt", "--output-dir", "r", "p.plx"}, dir);
    ASSERT_EQ(decrypted.status, 0) << decrypted.err;
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      const auto restored =
          std::ranges::find_if(c.restored, [&](const std::string& path) { return c.files[i].ends_with(path); });
      ASSERT_NE(restored, c.restored.end());
      EXPECT_EQ(ReadText(dir / "r" / *restored), ContentOf(c.files[i])) << *restored;
    }
  }
}

struct HostileCase {
  const char* what;
  std::vector<std::string> names;
  std::string error;  // what standard error must hold
};

TEST(FolderTreeCliTest, CraftedMemberNamesNeverLeaveTheOutputFolderOrReplaceEachOther) {
  const std::string pw = PasswordFile("pw");
  fs::create_directories(Work());
  WriteFileText(Work() / "x.txt", "secret");
  ASSERT_EQ(RunCli({"--password-file", pw, "encrypt", "x.txt"}).status, 0);
  const auto member = ReadFileBytes(Work() / "x.txt.vlt");

  const std::vector<HostileCase> cases = {
      {"climbs out", {"../evil.vlt"}, "crafted.plx: damaged, or not an encrypted file; nothing was written"},
      {"absolute", {"/tmp/evil.vlt"}, "crafted.plx: damaged, or not an encrypted file; nothing was written"},
      {"a link on the way", {"link/evil.vlt"}, "link is a link: a decrypted file is never written through one."},
      {"a file on the way", {"file/evil.vlt"}, "file is not a folder. File skipped."},
      {"the same name twice (an older archive)",
       {"same.vlt", "same.vlt"},
       "Unable to decrypt same.vlt and same.vlt.\nBoth would be decrypted to "},
      {"a file where a folder is needed", {"d.vlt", "d/e.vlt"}, "Unable to decrypt d.vlt and d/e.vlt."},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path r = Work() / "r", outside = Work() / "outside";
    fs::remove_all(r);
    fs::remove_all(outside);
    fs::create_directories(r);
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, r / "link");
    WriteFileText(r / "file", "in the way");
    std::vector<RawEntry> entries;
    for (const std::string& name : c.names) entries.emplace_back(name, member, c.names.size());
    WriteFileBytes(Work() / "crafted.plx", ArchiveBytes(entries));

    const CliRun run = RunCli({"--password-file", pw, "--yes", "decrypt", "--output-dir", "r", "crafted.plx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(ReadText(r / "file"), "in the way");
    std::set<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(r)) left.insert(entry.path().lexically_relative(r));
    EXPECT_EQ(left, (std::set<std::string>{"file", "link"}));
    EXPECT_FALSE(fs::exists(Work().parent_path() / "evil"));
  }
}

}  // namespace

namespace {

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(FolderTreeCliTest, DecryptVerifyAndWipeTakeFoldersAndNameFilesAsGiven) {
  const std::string pw = PasswordFile("pw");
  const fs::path t = Work() / "t";
  fs::create_directories(t / "s");
  WriteFileText(t / "a.txt", ContentOf("a"));
  WriteFileText(t / "s" / "b.txt", ContentOf("b"));
  ASSERT_EQ(RunCli({"--password-file", pw, "--yes", "encrypt", "t"}).status, 0);

  const CliRun verified = RunCli({"--password-file", pw, "--yes", "verify", "t/"});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_TRUE(Holds(verified.out, "t/s/b.txt.vlt is intact")) << verified.out;
  EXPECT_TRUE(Holds(verified.out, "t/a.txt.vlt is intact")) << verified.out;

  const CliRun decrypted = RunCli({"--password-file", pw, "--yes", "decrypt", "--output-dir", "r", "t"});
  EXPECT_EQ(decrypted.status, 0) << decrypted.err;
  EXPECT_EQ(ReadText(Work() / "r" / "a.txt"), ContentOf("a"));
  EXPECT_EQ(ReadText(Work() / "r" / "s" / "b.txt"), ContentOf("b"));
  EXPECT_FALSE(Holds(decrypted.err, "already exists")) << "the originals next to the .vlt files are not in the way";

  const CliRun wiped = RunCli({"--yes", "wipe", "--method", "normal", "--passes", "1", "t"});
  EXPECT_EQ(wiped.status, 0) << wiped.err;
  EXPECT_TRUE(Holds(wiped.err, "Are you sure you want to wipe 4 files, every file in the selected folders?"))
      << wiped.err;
  EXPECT_FALSE(fs::exists(t)) << "the folders it emptied are removed";
}

TEST(FolderTreeCliTest, NothingIsReplacedWithoutAskingAndTheWrongPasswordComesBeforeTheQuestion) {
  const std::string pw = PasswordFile("pw");
  fs::create_directories(Work());
  WriteFileText(Work() / "doc.txt", "new text");
  WriteFileText(Work() / "doc.txt.vlt", "an older copy");

  CliRun run = RunCli({"--password-file", pw, "--no", "encrypt", "doc.txt"});
  EXPECT_TRUE(Holds(run.err, "doc.txt.vlt already exists.\nDo you want to replace it?")) << run.err;
  EXPECT_EQ(ReadText(Work() / "doc.txt.vlt"), "an older copy");
  run = RunCli({"--password-file", pw, "--yes", "encrypt", "doc.txt"});
  EXPECT_EQ(run.status, 0) << run.err;

  // The file it would replace is there: a wrong password is said first, and
  // no question follows.
  run = RunCli({"--password-file", PasswordFile("wrong"), "--yes", "decrypt", "doc.txt.vlt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Holds(run.err, "doc.txt.vlt: wrong password; nothing was written")) << run.err;
  EXPECT_FALSE(Holds(run.err, "already exists")) << run.err;
  EXPECT_EQ(ReadText(Work() / "doc.txt"), "new text");

  // One archive: its members share the password, and nobody is asked.
  WriteFileText(Work() / "other.txt", "other");
  ASSERT_EQ(RunCli({"--password-file", pw, "--yes", "encrypt", "--bundle", "set.plx", "doc.txt", "other.txt"}).status,
            0);
  run = RunCli({"--password-file", pw, "--yes", "decrypt", "--output-dir", "r", "set.plx"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(Holds(run.err, "same password")) << run.err;
  EXPECT_EQ(ReadText(Work() / "r" / "other.txt"), "other");
}

}  // namespace
