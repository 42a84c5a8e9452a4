// SPDX-License-Identifier: GPL-3.0-or-later
// What voltare-cli encrypt takes as its sources: every file below a folder,
// hidden ones included, less those already encrypted; streams read to their
// end; special files refused with their reason; trees of any depth.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "cli_runner.h"
#include "common/progress.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;
namespace platform = voltare::platform;
namespace transforms = voltare::transforms;

const std::string kEncrypted = "The file(s) are successfully encrypted !\n";

std::string MakeWorkFile(const std::string& name, const std::string& text = "") {
  fs::create_directories((Work() / name).parent_path());
  WriteFileText(Work() / name, text.empty() ? "the file " + name + "\n" : text);
  return ReadText(Work() / name);
}

// A Blowfish ".vlt" (the default algorithm) decrypted and expanded.
std::string DecryptVlt(const fs::path& vlt) {
  voltare::common::UnwatchedProgress progress;
  const fs::path packed = TestDir() / "check.z", plain = TestDir() / "check.txt";
  if (transforms::BlowfishDecryptFile(vlt, packed, "pw", &progress, false) != platform::Success ||
      transforms::DecompressFile(packed, plain, &progress) != platform::Success) {
    return "(does not decrypt)";
  }
  return ReadText(plain);
}

CliRun Encrypt(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"--password-file", PasswordFile("pw"), "--yes", "encrypt"});
  return RunCli(arguments);
}

TEST(SourcesCliTest, AFolderIsEncryptedWholeButItsEncryptedFilesAreLeftAsTheyAre) {
  const std::string secret = MakeWorkFile("d/.secret"), inner = MakeWorkFile("d/.hid/inner.txt");
  const std::string plain = MakeWorkFile("d/plain.txt"), renamed = MakeWorkFile("d/renamed.vlt");
  MakeWorkFile("old.txt");
  ASSERT_EQ(Encrypt({"old.txt"}).status, 0);  // an older encrypted file, moved into the folder
  fs::rename(Work() / "old.txt.vlt", Work() / "d/old.txt.vlt");
  MakeWorkFile("d/set.PLX", "PLX\x01 an archive");

  const CliRun run = Encrypt({"--wipe", "d"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("2 files already encrypted were left as they are\n"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with(kEncrypted)) << run.out;
  for (const auto& [name, text] : {std::pair{"d/.secret", secret},
                                   {"d/.hid/inner.txt", inner},
                                   {"d/plain.txt", plain},
                                   {"d/renamed.vlt", renamed}}) {
    EXPECT_EQ(DecryptVlt(Work() / (std::string(name) + ".vlt")), text) << name;
    EXPECT_FALSE(fs::exists(Work() / name)) << name << " is wiped";
  }
  EXPECT_TRUE(fs::exists(Work() / "d/old.txt.vlt"));
  EXPECT_FALSE(fs::exists(Work() / "d/old.txt.vlt.vlt"));
  EXPECT_TRUE(fs::exists(Work() / "d/set.PLX"));
  EXPECT_FALSE(fs::exists(Work() / "d/set.PLX.vlt"));

  // Named by the user, an encrypted file is encrypted as asked.
  EXPECT_EQ(Encrypt({"d/old.txt.vlt"}).status, 0);
  EXPECT_TRUE(fs::exists(Work() / "d/old.txt.vlt.vlt"));
}

// A bound Unix socket at `path`; the descriptor stays open for the test.
int BindSocket(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  return fd;
}

TEST(SourcesCliTest, EachKindOfSpecialFileIsReadToItsEndOrRefusedWithItsReason) {
  fs::create_directories(Work());
  const fs::path started = fs::current_path();
  fs::current_path(Work());  // short socket paths
  const struct {
    const char* name;
    std::function<void()> make;
    int status;
    const char* reason;      // in standard error; nullptr: none
    const char* decryptsTo;  // the start of what the .vlt holds; nullptr: no .vlt
  } cases[] = {
      {"fifo", [] { ASSERT_EQ(::mkfifo("fifo", 0600), 0); }, 0, nullptr, "through a pipe"},
      {"status", [] { fs::create_symlink("/proc/self/status", "status"); }, 0, nullptr, "Name:"},
      {"null", [] { fs::create_symlink("/dev/null", "null"); }, 1, "It is a device, not a file", nullptr},
      {"sock", [] { BindSocket("sock"); }, 1, "It is a socket, not a file", nullptr},
  };
  for (const auto& c : cases) {
    c.make();
    std::thread writer;
    if (std::string(c.name) == "fifo") writer = std::thread([] { WriteFileText(Work() / "fifo", "through a pipe"); });
    const CliRun run = Encrypt({c.name});
    if (writer.joinable()) writer.join();
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    if (c.reason != nullptr) {
      EXPECT_NE(run.err.find(std::string("Unable to encrypt file ") + (Work() / c.name).string()), std::string::npos)
          << run.err;
      EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
      EXPECT_EQ(run.out.find(kEncrypted), std::string::npos) << c.name;
    }
    const fs::path vlt = Work() / (std::string(c.name) + ".vlt");
    if (c.decryptsTo != nullptr) {
      EXPECT_TRUE(DecryptVlt(vlt).starts_with(c.decryptsTo)) << c.name << ": " << DecryptVlt(vlt);
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(vlt))) << c.name;
    }
  }
  fs::current_path(started);
}

// A pipe cannot be read back nor wiped: --wipe says so instead of waiting on
// it for a second reading, wipes the files it can, and the run succeeds.
TEST(SourcesCliTest, APipeEncryptedWithWipeIsNotReadAgain) {
  const std::string text = MakeWorkFile("a.txt");
  ASSERT_EQ(::mkfifo((Work() / "fifo").c_str(), 0600), 0);
  std::thread writer([] { WriteFileText(Work() / "fifo", "through a pipe"); });
  const CliRun run = Encrypt({"--wipe", "fifo", "a.txt"});
  writer.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find((Work() / "fifo").string() + " is a stream, not a file on disk: there is nothing to wipe."),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(run.out.ends_with(kEncrypted)) << run.out;
  EXPECT_EQ(DecryptVlt(Work() / "fifo.vlt"), "through a pipe");
  EXPECT_EQ(DecryptVlt(Work() / "a.txt.vlt"), text);
  EXPECT_FALSE(fs::exists(Work() / "a.txt")) << "wiped";
  EXPECT_TRUE(fs::exists(fs::symlink_status(Work() / "fifo")));
}

// The tree is deeper than a path the kernel takes whole: the reachable file
// is encrypted, the one below the limit is named, and no success is claimed.
TEST(SourcesCliTest, ADeepTreeNamesTheFileItCannotReachAndClaimsNoSuccess) {
  MakeWorkFile("deep/top.txt");
  int fd = ::open((Work() / "deep").c_str(), O_RDONLY | O_DIRECTORY);
  std::string path = (Work() / "deep").string();
  const std::string level(99, 'd');
  while (path.size() < 5000) {
    ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
    const int child = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(fd = child, 0);
    path += "/" + level;
  }
  ::close(::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0600));
  ::close(fd);

  const CliRun run = Encrypt({"deep"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.starts_with("voltare-cli: deep/" + level + "/")) << run.err.substr(0, 200);
  EXPECT_NE(run.err.find("/bottom.txt: file name too long; it was left out\n"), std::string::npos)
      << run.err.substr(0, 200);
  EXPECT_EQ(run.out.find(kEncrypted), std::string::npos);
  EXPECT_TRUE(fs::exists(Work() / "deep/top.txt.vlt"));
  EXPECT_EQ(std::system(("rm -rf " + (Work() / "deep").string()).c_str()), 0);
}

// Sparse sources cost no disk. A member just under the limit is refused too:
// its encrypted file may come out larger than the source.
TEST(SourcesCliTest, ASourceThatMayNotFitAnArchiveMemberIsRefusedBeforeAnythingIsEncrypted) {
  for (const std::uintmax_t size : {std::uintmax_t{3} << 30, std::uintmax_t{0x7FFFFFFF}}) {
    MakeWorkFile("small.txt");
    MakeWorkFile("big.bin", "x");
    fs::resize_file(Work() / "big.bin", size);
    const CliRun run = Encrypt({"--bundle", "set.plx", "small.txt", "big.bin"});
    EXPECT_EQ(run.status, 1) << size;
    EXPECT_NE(run.err.find("Unable to bundle file " + (Work() / "big.bin").string() +
                           ".\nIts encrypted file could pass the 2 GiB (2147483647 bytes)"),
              std::string::npos)
        << run.err;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Work())) left.push_back(entry.path().filename().string());
    std::ranges::sort(left);
    EXPECT_EQ(left, (std::vector<std::string>{"big.bin", "small.txt"})) << size;
  }
}

TEST(SourcesCliTest, AFileAnotherProgramReadsCanBeEncrypted) {
  const std::string text = MakeWorkFile("doc.txt");
  const int reader = ::open((Work() / "doc.txt").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  const CliRun run = Encrypt({"doc.txt"});
  ::close(reader);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(DecryptVlt(Work() / "doc.txt.vlt"), text);
}

}  // namespace
