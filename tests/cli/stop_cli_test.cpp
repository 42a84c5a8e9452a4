// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C and SIGTERM sent to a running voltare-cli: the step stops, cleans up
// and nothing more of the batch runs.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "peers/peers.h"
#include "support/test_env.h"
#include "support/wait.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;
using voltare::testing::WriteFileText;

// Data zlib cannot shrink, large enough that every step takes many pieces.
std::vector<std::uint8_t> LargeContents() {
  std::vector<std::uint8_t> bytes(64u << 20);
  std::mt19937 random(16);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// voltare-cli started in the work directory, output to files; its process id.
pid_t StartCli(const std::vector<std::string>& arguments) {
  const std::string out = (TestDir() / "stdout.txt").string(), err = (TestDir() / "stderr.txt").string();
  std::vector<std::string> words{VOLTARE_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || o < 0 || e < 0 || ::chdir(Work().c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// Waits (a generous while, not a timing check) until `ready` holds.
bool WaitFor(const std::function<bool()>& ready) { return voltare::testing::WaitUntil(ready); }

// The exit status, or -1 when the program did not exit by itself.
int StatusOf(pid_t pid) {
  int raw = 0;
  if (::waitpid(pid, &raw, 0) != pid || !WIFEXITED(raw)) return -1;
  return WEXITSTATUS(raw);
}

std::vector<fs::path> FilesIn(const fs::path& directory) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(directory)) {
    if (entry.is_regular_file()) files.push_back(entry.path().filename());
  }
  return files;
}

TEST(StopCliTest, EncryptionStoppedBySignalLeavesOnlyTheSource) {
  const std::vector<std::uint8_t> contents = LargeContents();
  const fs::path temp = std::getenv("TMPDIR");
  WriteFileText(TestDir() / "pw.txt", "pw\n");
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    fs::create_directories(Work());
    WriteFileBytes(Work() / "a.bin", contents);
    // --wipe: a stopped batch must never go on to wipe the source.
    const pid_t pid =
        StartCli({"--password-file", (TestDir() / "pw.txt").string(), "--yes", "encrypt", "--wipe", "a.bin"});
    ASSERT_GT(pid, 0);
    // Output growing (the staged ".vlt", or the compressed temporary file of
    // the two-step path): the work is under way.
    const auto growing = [](const fs::path& directory, const fs::path& except) {
      for (const fs::path& file : FilesIn(directory)) {
        std::error_code ignored;
        if (file != except && fs::file_size(directory / file, ignored) > 0) return true;
      }
      return false;
    };
    const bool started = WaitFor([&] { return growing(temp, {}) || growing(Work(), "a.bin"); });
    ::kill(pid, signal);
    ASSERT_TRUE(started) << ReadText(TestDir() / "stderr.txt");
    EXPECT_EQ(StatusOf(pid), 128 + signal);

    EXPECT_EQ(FilesIn(Work()), std::vector<fs::path>{"a.bin"}) << "no .vlt, whole or partial";
    EXPECT_TRUE(ReadFileBytes(Work() / "a.bin") == contents) << "the source is intact";
    EXPECT_TRUE(FilesIn(temp).empty()) << "the step's temporary files are gone";
    EXPECT_EQ(ReadText(TestDir() / "stdout.txt").find("success"), std::string::npos);
    EXPECT_NE(ReadText(TestDir() / "stderr.txt")
                  .find("voltare-cli: stopped; a.bin was not encrypted, nothing of it was written\n"),
              std::string::npos)
        << ReadText(TestDir() / "stderr.txt");
  }
}

// Stopped while the archive is packed, or while the encrypted files are read
// back before the wipe: the last line names the file being worked on, and
// says what was kept. Every source stays whole.
struct LaterPhaseStop {
  const char* phase;
  std::vector<std::string> arguments;  // after --password-file FILE --yes encrypt
  std::function<bool()> reached;       // the phase is under way
  std::vector<std::string> lineParts;  // in the last line, in order
};

bool BothEncryptedAndOneStaged() {
  if (!fs::exists(Work() / "a.bin.vlt") || !fs::exists(Work() / "b.bin.vlt")) return false;
  for (const fs::path& file : FilesIn(Work())) {
    std::error_code ignored;
    if (file.extension() == ".part" && fs::file_size(Work() / file, ignored) > 0) return true;
  }
  return false;
}

TEST(StopCliTest, AStopWhilePackingOrReadingBackNamesTheFile) {
  const std::vector<std::uint8_t> contents = LargeContents();
  WriteFileText(TestDir() / "pw.txt", "pw\n");
  const std::vector<LaterPhaseStop> cases = {
      {"packing",
       {"--bundle", "both.plx", "--wipe", "a.bin", "b.bin"},
       BothEncryptedAndOneStaged,
       {"voltare-cli: stopped; no archive was written (stopped while packing ", ".bin) and nothing was wiped\n"}},
      {"reading back",
       {"--wipe", "a.bin", "b.bin"},
       [] { return ReadText(TestDir() / "stderr.txt").find("wipe the selected files?") != std::string::npos; },
       {"voltare-cli: stopped; the read-back of ", ".bin was stopped; the encrypted files were kept, ",
        ".bin and the files after it were not wiped\n"}},
  };
  for (const LaterPhaseStop& c : cases) {
    SCOPED_TRACE(c.phase);
    fs::remove_all(Work());
    fs::create_directories(Work());
    WriteFileBytes(Work() / "a.bin", contents);
    WriteFileBytes(Work() / "b.bin", contents);
    std::vector<std::string> arguments{"--password-file", (TestDir() / "pw.txt").string(), "--yes", "encrypt"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const pid_t pid = StartCli(arguments);
    ASSERT_GT(pid, 0);
    const bool reached = WaitFor(c.reached);
    ::kill(pid, SIGINT);
    ASSERT_TRUE(reached) << ReadText(TestDir() / "stderr.txt");
    EXPECT_EQ(StatusOf(pid), 130);

    const std::string err = ReadText(TestDir() / "stderr.txt");
    std::size_t at = err.rfind("voltare-cli: stopped; ");
    for (const std::string& part : c.lineParts) {
      at = at == std::string::npos ? at : err.find(part, at);
      EXPECT_NE(at, std::string::npos) << part << " in " << err;
    }
    for (const char* source : {"a.bin", "b.bin"}) EXPECT_TRUE(ReadFileBytes(Work() / source) == contents) << source;
    EXPECT_FALSE(fs::exists(Work() / "both.plx"));
  }
}

// A server that starts its reply to HELO and falls silent holds `mail` only
// until the user says stop, not for the five minutes the standard allows.
TEST(StopCliTest, MailStoppedBySignalWhileTheServerHoldsItsReply) {
  std::atomic<bool> replying{false};
  voltare::net::testing::ScriptedServer server([&replying](voltare::net::testing::ServerConnection& c) {
    c.Send("220 ready\r\n");
    c.ReadLine();
    c.Send("250-the first line of many\r\n");
    replying = true;
    c.WaitSilently();
  });
  fs::create_directories(Work());
  WriteFileText(TestDir() / "pw.txt", "pw\n");
  ASSERT_EQ(RunCli({"email-config", "--server", "127.0.0.1", "--port", std::to_string(server.port()), "--username",
                    "workstation.test", "--name", "Alice", "--address", "alice@example.org"})
                .status,
            0);
  const pid_t pid = StartCli(
      {"--password-file", (TestDir() / "pw.txt").string(), "mail", "--to", "bob@example.org", "--message", "hi"});
  ASSERT_GT(pid, 0);
  const bool waiting = WaitFor([&] { return replying.load(); });
  ::kill(pid, SIGTERM);
  int raw = 0;
  const bool ended = WaitFor([&] { return ::waitpid(pid, &raw, WNOHANG) == pid; });
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &raw, 0);
  }
  EXPECT_TRUE(waiting);
  EXPECT_TRUE(ended && WIFEXITED(raw) && WEXITSTATUS(raw) == 143) << ReadText(TestDir() / "stderr.txt");
}

TEST(StopCliTest, AStoppedWipeSaysTheFileIsLeftPartlyOverwritten) {
  const std::vector<std::uint8_t> contents = LargeContents();
  fs::create_directories(Work());
  WriteFileBytes(Work() / "a.bin", contents);
  WriteFileText(Work() / "b.bin", "the next file of the batch");
  const pid_t pid = StartCli({"--yes", "wipe", "--method", "government", "a.bin", "b.bin"});
  ASSERT_GT(pid, 0);
  // The first pass has reached the start of the file.
  const bool started = WaitFor([&] {
    std::vector<std::uint8_t> head(4096);
    std::ifstream(Work() / "a.bin", std::ios::binary)
        .read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    return !std::equal(head.begin(), head.end(), contents.begin());
  });
  ::kill(pid, SIGINT);
  ASSERT_TRUE(started);
  EXPECT_EQ(StatusOf(pid), 130);

  EXPECT_TRUE(fs::exists(Work() / "a.bin")) << "left under its own name";
  EXPECT_EQ(ReadText(Work() / "b.bin"), "the next file of the batch") << "the rest of the batch does not run";
  EXPECT_NE(ReadText(TestDir() / "stderr.txt").find("a.bin was stopped. The file is left partly overwritten"),
            std::string::npos);
}

}  // namespace
