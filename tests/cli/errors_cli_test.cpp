// SPDX-License-Identifier: GPL-3.0-or-later
// What voltare-cli says when a file fails: one line naming the file, what
// happened and what was kept; a fault of the file skips it, a full or
// read-only destination stops the batch and names the files not tried.

#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::RunCliAsUser;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

// A small tmpfs of its own, for a destination that fills up or is
// read-only; mounted only by root, unmounted when the case ends.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& where) : where_(where) {
    fs::create_directories(where_);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", where_.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount(where_.c_str());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() { return ::mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0; }

 private:
  fs::path where_;
  bool mounted_ = false;
};

struct ErrorCase {
  const char* label;
  bool needsMount;
  // Makes the files in `dir` (Work() or the small disk); with the disk.
  std::function<void(const fs::path& dir, SmallDisk& disk)> prepare;
  std::vector<std::string> arguments;  // after --password-file pw --yes
  std::string err;                     // standard error, whole
  std::vector<std::string> made;       // outputs that must exist afterwards
};

// Bytes no compression shrinks, so the encrypted file needs all their room.
std::string Noise(std::size_t size) {
  std::mt19937 generator(7);
  std::string text(size, '\0');
  for (char& byte : text) byte = static_cast<char>(generator());
  return text;
}

void Encrypted(const fs::path& dir, const std::string& name, const std::string& password) {
  WriteFileText(dir / name, "text of " + name);
  const CliRun run = RunCli({"--password-file", PasswordFile(password), "--yes", "encrypt", name}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  fs::remove(dir / name);
}

TEST(ErrorsCliTest, EachExpectedFailureIsOneLineNamingTheFileAndWhatWasKept) {
  const std::vector<ErrorCase> cases = {
      {"wrong password",
       false,
       [](const fs::path& dir, SmallDisk&) { Encrypted(dir, "a.txt", "other"); },
       {"decrypt", "a.txt.vlt"},
       "voltare-cli: a.txt.vlt: wrong password; nothing was written\n"
       "voltare-cli: failed: a.txt.vlt\n"
       "voltare-cli: 1 of 1 file was not decrypted\n",
       {}},
      {"damaged file",
       false,
       [](const fs::path& dir, SmallDisk&) { WriteFileText(dir / "junk.vlt", "no vlt"); },
       {"verify", "junk.vlt"},
       "voltare-cli: junk.vlt: damaged, or not an encrypted file; it was not verified\n"
       "voltare-cli: failed: junk.vlt\n"
       "voltare-cli: 1 of 1 file was not verified\n",
       {}},
      {"vanished file (a link whose file is gone)",
       false,
       [](const fs::path& dir, SmallDisk&) { fs::create_symlink(dir / "moved-away.vlt", dir / "gone.vlt"); },
       {"decrypt", "gone.vlt"},
       "voltare-cli: gone.vlt: no such file or folder; nothing was written\n"
       "voltare-cli: failed: gone.vlt\n"
       "voltare-cli: 1 of 1 file was not decrypted\n",
       {}},
      // The batch goes on past the file, and the summary names it.
      {"permission denied",
       false,
       [](const fs::path& dir, SmallDisk&) {
         for (const char* name : {"a.txt", "locked.txt", "c.txt"}) WriteFileText(dir / name, name);
         fs::permissions(dir / "locked.txt", fs::perms::none);
       },
       {"encrypt", "a.txt", "locked.txt", "c.txt"},
       "Do you want to use the same password you just used to all the other selected files ? [y/n] y (--yes)\n"
       "voltare-cli: locked.txt: permission denied; it was not encrypted, nothing of it was written\n"
       "voltare-cli: failed: locked.txt\n"
       "voltare-cli: 1 of 3 files was not encrypted\n",
       {"a.txt.vlt", "c.txt.vlt"}},
      {"no space left",
       true,
       [](const fs::path& dir, SmallDisk&) {
         WriteFileText(dir / "big.iso", Noise(40 * 1024));  // fits once, not twice
         WriteFileText(dir / "c.txt", "c");
       },
       {"encrypt", "big.iso", "c.txt"},
       "voltare-cli: big.iso: no space left on the device; it was not encrypted, nothing of it was written\n"
       "voltare-cli: the batch was stopped; 1 file was not tried: c.txt\n"
       "voltare-cli: failed: big.iso\n"
       "voltare-cli: 2 of 2 files were not encrypted\n",
       {}},
      {"read-only file system",
       true,
       [](const fs::path& dir, SmallDisk& disk) {
         for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFileText(dir / name, name);
         ASSERT_TRUE(disk.MakeReadOnly());
       },
       {"encrypt", "a.txt", "b.txt", "c.txt"},
       "voltare-cli: a.txt: read-only file system; it was not encrypted, nothing of it was written\n"
       "voltare-cli: the batch was stopped; 2 files were not tried: b.txt, c.txt\n"
       "voltare-cli: failed: a.txt\n"
       "voltare-cli: 3 of 3 files were not encrypted\n",
       {}},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path dir = TestDir() / "case";
    fs::remove_all(dir);
    SmallDisk disk(dir);
    if (c.needsMount && !disk.Mounted()) {
      std::cout << "[  SKIPPED ] " << c.label << ": mounting a small file system needs root\n";
      continue;
    }
    c.prepare(dir, disk);
    std::vector<std::string> arguments{"--password-file", PasswordFile(voltare::cli::testing::kStrongPassword),
                                       "--yes"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CliRun run = RunCliAsUser(arguments, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
    for (const std::string& name : c.made) EXPECT_TRUE(fs::exists(dir / name)) << name;
  }
}

}  // namespace
