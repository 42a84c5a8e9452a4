// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli verify on files and archives the tool itself encrypted, sound
// and damaged.

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::ReadFileBytes;
using voltare::testing::WriteFileBytes;
using voltare::testing::WriteFileText;

// Text long enough that a flipped bit lands inside the compressed stream.
std::string SampleText(const std::string& seed) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += seed + " line " + std::to_string(i) + "\n";
  return text;
}

// Encrypts fresh plain files named `names` with the tool; with `bundle`,
// into that archive.
void EncryptWithTool(const std::string& pw, const std::string& algorithm, const std::vector<std::string>& names,
                     const std::string& bundle = "") {
  fs::create_directories(Work());
  std::vector<std::string> arguments = {"--password-file", pw, "--yes", "encrypt", "--algorithm", algorithm};
  if (!bundle.empty()) arguments.insert(arguments.end(), {"--bundle", bundle});
  for (const std::string& name : names) {
    WriteFileText(Work() / name, SampleText(name));
    arguments.push_back(name);
  }
  const CliRun run = RunCli(arguments);
  ASSERT_EQ(run.status, 0) << run.err;
}

// Flips one bit `fromEnd` bytes before the end of the file, or halfway
// through a file shorter than twice that (a sealed file's zstd frame packs
// the sample text into less than 3000 bytes).
void FlipBitFromEnd(const fs::path& path, std::size_t fromEnd) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  bytes[bytes.size() - std::min(fromEnd, bytes.size() / 2)] ^= 0x10;
  WriteFileBytes(path, bytes);
}

std::set<std::string> WorkListing() {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(Work())) names.insert(entry.path().filename());
  return names;
}

struct VerifyCase {
  const char* label;
  const char* password;  // the one handed to verify
  const char* file;
  int status;
  const char* shown;  // in the combined output
};

TEST(VerifyCliTest, EachFileIsReportedIntactWrongPasswordOrDamaged) {
  const std::string pw = PasswordFile("sesame");
  EncryptWithTool(pw, "blowfish", {"old.txt", "old-damaged.txt"});
  EncryptWithTool(pw, "xchacha20", {"sealed.txt", "sealed-damaged.txt"});
  EncryptWithTool(pw, "xchacha20", {"m1.txt", "m2.txt"}, "good.plx");
  EncryptWithTool(pw, "cast5", {"n1.txt", "n2.txt"}, "bad.plx");
  FlipBitFromEnd(Work() / "old-damaged.txt.vlt", 3000);
  FlipBitFromEnd(Work() / "sealed-damaged.txt.vlt", 3000);
  FlipBitFromEnd(Work() / "bad.plx", 3000);  // inside the last member

  const VerifyCase cases[] = {
      {"older algorithm", "sesame", "old.txt.vlt", 0,
       "old.txt.vlt is intact: it opens with this password and no damage was found."},
      {"sealed", "sesame", "sealed.txt.vlt", 0,
       "sealed.txt.vlt is intact: it opens with this password, no damage was found and nothing in it was changed."},
      {"archive", "sesame", "good.plx", 0, "good.plx: m2.txt.vlt is intact"},
      {"wrong password", "other", "sealed.txt.vlt", 1,
       "voltare-cli: sealed.txt.vlt: wrong password; it was not verified\n"},
      {"older damaged", "sesame", "old-damaged.txt.vlt", 1,
       "voltare-cli: old-damaged.txt.vlt: damaged, or not an encrypted file; it was not verified\n"},
      {"sealed damaged", "sesame", "sealed-damaged.txt.vlt", 1,
       "voltare-cli: sealed-damaged.txt.vlt: damaged, or changed after it was encrypted; it was not verified\n"},
      {"damaged member", "sesame", "bad.plx", 1,
       "voltare-cli: bad.plx: n2.txt.vlt: damaged, or not an encrypted file; it was not verified\n"},
      {"plain file", "sesame", "old.txt", 1, "old.txt: not an encrypted file (.vlt) or archive (.plx); skipped"},
  };
  for (const VerifyCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::set<std::string> before = WorkListing();
    const CliRun run = RunCli({"--password-file", PasswordFile(c.password), "--yes", "verify", c.file});
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.shown), std::string::npos) << run.out << run.err;
    EXPECT_EQ(WorkListing(), before) << "verify writes nothing beside the files";
  }
  // The sound member of the damaged archive is still reported as sound.
  const CliRun run = RunCli({"--password-file", PasswordFile("sesame"), "--yes", "verify", "bad.plx", "good.plx"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("bad.plx: n1.txt.vlt is intact"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("1 of 4 files was not verified"), std::string::npos) << run.err;
}

}  // namespace
