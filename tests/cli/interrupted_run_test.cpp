// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli when the disk fills up or the program dies in the middle of a
// write. Every file-writing command is run again and again with a limit on
// the size of any file it writes (RLIMIT_FSIZE), stepped across the whole
// size of what it writes:
// - as a full disk: writes past the limit fail (SIGXFSZ ignored), and the
//   command must fail cleanly;
// - as a kill: the first write past the limit ends the process at once
//   (SIGXFSZ's default action; no handler, no clean-up runs), exactly at that
//   byte, which a kill by the clock could not hit reliably.
// Afterwards every name holds either what it held before or what a complete
// run leaves there, and nothing else is left behind.

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
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
using voltare::cli::testing::Work;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;
using voltare::testing::WriteFileText;

using Bytes = std::vector<std::uint8_t>;
// Every file below a folder by its relative path; hidden names included.
using Snapshot = std::map<std::string, Bytes>;

enum class Stop { FullDisk, Kill };

constexpr int kPoints = 24;  // limits per command, from 0 to past the largest file

struct LimitedRun {
  int status = -1;  // exit status, or -1 when a signal ended the process
  bool killed = false;
  std::string err;
};

std::string DrainPipe(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

// Runs voltare-cli in the work directory with every file it writes limited
// to `limit` bytes. Its standard error goes to a pipe, which no file-size
// limit touches, so its messages are never lost to the limit.
LimitedRun RunCliLimited(const std::vector<std::string>& arguments, rlim_t limit, Stop stop) {
  int errPipe[2];
  if (::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(errPipe[1], STDERR_FILENO);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    const rlimit size{limit, limit}, noCore{0, 0};
    ::setrlimit(RLIMIT_FSIZE, &size);
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(SIGXFSZ, stop == Stop::FullDisk ? SIG_IGN : SIG_DFL);
    if (::chdir(Work().c_str()) != 0) ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(VOLTARE_CLI_PATH)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(VOLTARE_CLI_PATH, argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  LimitedRun run;
  run.err = DrainPipe(errPipe[0]);
  ::close(errPipe[0]);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  run.killed = WIFSIGNALED(raw);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

Snapshot Take(const fs::path& root) {
  Snapshot files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) {
      files[entry.path().lexically_relative(root).string()] = ReadFileBytes(entry.path());
    }
  }
  return files;
}

fs::path PrivateTempDir() { return TestDir() / "tmp" / ("kova-voltare-" + std::to_string(::getuid())); }
fs::path ConfigDir() { return TestDir() / "config"; }

// Contents that do not compress, so every file the command writes is about
// as large as its source and the limits reach every stage of the work.
Bytes NoiseBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

struct Command {
  std::string what;
  std::function<void()> prepare;       // sources and older outputs, in a fresh work directory
  std::vector<std::string> arguments;  // after --password-file FILE --yes
  // A command whose run stops half-way may also leave complete files of an
  // earlier step (the encrypted copies a failed bundle keeps); this command
  // makes them, for comparison.
  std::vector<std::string> earlierStep = {};
};

// Clears the work, temporary and settings folders and prepares them again.
void Reset(const Command& command) {
  for (const fs::path& dir : {Work(), TestDir() / "tmp", ConfigDir()}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  command.prepare();
}

std::vector<std::string> FullArguments(const Command& command) {
  std::vector<std::string> arguments{"--password-file", PasswordFile("full disk"), "--yes"};
  arguments.insert(arguments.end(), command.arguments.begin(), command.arguments.end());
  return arguments;
}

std::string Describe(const std::string& name, const std::optional<Bytes>& bytes) {
  return name + (bytes ? " (" + std::to_string(bytes->size()) + " bytes)" : " (absent)");
}

// Every name holds its old content or its complete new content, or is
// absent where one of the two is absent. `ignore` passes over names a kill
// may leave beside the outputs (the hidden names of unfinished files).
void ExpectOldOrNew(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                    const std::function<bool(const std::string&)>& ignore, const std::string& context) {
  std::vector<std::string> names;
  for (const Snapshot* s : {&before, &after, &now}) {
    for (const auto& [name, bytes] : *s) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  const auto lookup = [](const Snapshot& s, const std::string& name) -> std::optional<Bytes> {
    const auto at = s.find(name);
    return at == s.end() ? std::nullopt : std::optional<Bytes>(at->second);
  };
  for (const std::string& name : names) {
    const auto old = lookup(before, name), complete = lookup(after, name), found = lookup(now, name);
    if (found == old || found == complete) continue;
    if (found && ignore(name)) continue;
    ADD_FAILURE() << context << ": " << Describe(name, found) << " is neither as before " << Describe("", old)
                  << " nor as after a complete run " << Describe("", complete);
  }
}

bool HiddenName(const std::string& name) { return fs::path(name).filename().string().starts_with("."); }

std::size_t LargestFile(const Snapshot& a, const Snapshot& b) {
  std::size_t largest = 0;
  for (const Snapshot* s : {&a, &b}) {
    for (const auto& [name, bytes] : *s) largest = std::max(largest, bytes.size());
  }
  return largest;
}

struct Outcome {
  Snapshot before, after, configBefore, configAfter;
  Snapshot earlier;  // the files an earlier step completes, as it completes them
  std::size_t largest = 0;
};

// One complete run, to learn what a command leaves behind when nothing stops it.
Outcome CompleteRun(const Command& command) {
  Reset(command);
  Outcome outcome;
  outcome.before = Take(Work());
  outcome.configBefore = Take(ConfigDir());
  const CliRun run = RunCli(FullArguments(command));
  EXPECT_EQ(run.status, 0) << command.what << " without limits: " << run.err;
  outcome.after = Take(Work());
  outcome.configAfter = Take(ConfigDir());
  outcome.largest =
      std::max(LargestFile(outcome.before, outcome.after), LargestFile(outcome.configBefore, outcome.configAfter));
  if (!command.earlierStep.empty()) {
    Reset(command);
    EXPECT_EQ(RunCli(FullArguments({command.what, [] {}, command.earlierStep})).status, 0);
    for (auto& [name, bytes] : Take(Work())) {
      if (!outcome.before.contains(name)) outcome.earlier[name] = bytes;
    }
  }
  return outcome;
}

void StepThroughLimits(const Command& command, Stop stop) {
  const Outcome outcome = CompleteRun(command);
  const bool fullDisk = stop == Stop::FullDisk;
  for (int point = 0; point <= kPoints; ++point) {
    const auto limit = static_cast<rlim_t>(outcome.largest * static_cast<std::size_t>(point) / (kPoints - 2));
    const std::string context =
        command.what + (fullDisk ? ", disk full at " : ", killed at ") + std::to_string(limit) + " bytes";
    Reset(command);
    const LimitedRun run = RunCliLimited(FullArguments(command), limit, stop);
    const Snapshot work = Take(Work()), config = Take(ConfigDir());
    const bool complete = work == outcome.after && config == outcome.configAfter;

    if (fullDisk) {
      EXPECT_FALSE(run.killed) << context;
      if (!complete) {
        EXPECT_EQ(run.status, 1) << context;
        EXPECT_FALSE(run.err.empty()) << context << ": failed without a message";
      }
      EXPECT_TRUE(Take(PrivateTempDir()).empty()) << context << ": temporary files left behind";
    } else {
      // The next start clears what the killed run left in the temporary folder.
      EXPECT_EQ(RunCli({"config", "show"}).status, 0) << context;
      EXPECT_TRUE(Take(PrivateTempDir()).empty()) << context << ": the next start left leftovers";
    }
    const auto completeEarlierFile = [&](const std::string& name) {
      const auto at = outcome.earlier.find(name);
      return (!fullDisk && HiddenName(name)) || (at != outcome.earlier.end() && at->second == work.at(name));
    };
    ExpectOldOrNew(outcome.before, outcome.after, work, completeEarlierFile, context);
    const auto leftByKill = [&](const std::string& name) { return !fullDisk && HiddenName(name); };
    ExpectOldOrNew(outcome.configBefore, outcome.configAfter, config, leftByKill, context);
    if (::testing::Test::HasFailure()) return;  // one broken point says enough
  }
}

// --- the commands

constexpr std::size_t kSourceSize = 48 * 1024;

void WriteSources() {
  WriteFileBytes(Work() / "a.bin", NoiseBytes(kSourceSize, 1));
  WriteFileBytes(Work() / "b.bin", NoiseBytes(kSourceSize / 2, 2));
}

// Encrypted copies made once, before any limit applies.
void WriteEncrypted(const std::vector<std::string>& arguments) {
  WriteSources();
  const CliRun run = RunCli([&] {
    std::vector<std::string> all{"--password-file", PasswordFile("full disk"), "--yes"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
  }());
  ASSERT_EQ(run.status, 0) << run.err;
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands{
      {"encrypt over an older copy",
       [] {
         WriteSources();
         WriteFileText(Work() / "a.bin.vlt", "an older encrypted copy");
       },
       {"encrypt", "a.bin"}},
      {"encrypt --bundle --wipe",
       [] {
         WriteSources();
         WriteFileText(Work() / "both.plx", "an older archive");
       },
       {"encrypt", "--bundle", "both.plx", "--wipe", "a.bin", "b.bin"},
       {"encrypt", "a.bin", "b.bin"}},
      {"decrypt over an existing file",
       [] {
         WriteEncrypted({"encrypt", "a.bin"});
         WriteFileText(Work() / "a.bin", "the file the user has now");
       },
       {"decrypt", "a.bin.vlt"}},
      {"decrypt archive members",
       [] {
         WriteEncrypted({"encrypt", "--bundle", "both.plx", "a.bin", "b.bin"});
         fs::create_directories(Work() / "out");
         WriteFileText(Work() / "out" / "b.bin", "an older b");
       },
       {"decrypt", "--output-dir", "out", "both.plx"}},
      {"list-save over an existing list",
       [] {
         WriteSources();
         WriteFileText(Work() / "files.vls", "an older list");
       },
       {"list-save", "files.vls", "a.bin", "b.bin"}},
      {"config set",
       [] {
         ASSERT_EQ(RunCli({"config", "set", "Loop", "5"}).status, 0);
       },
       {"config", "set", "Loop", "9"}},
  };
  return commands;
}

class InterruptedRun : public ::testing::TestWithParam<std::size_t> {};

TEST_P(InterruptedRun, FullDiskFailsCleanlyAndKeepsEveryFile) {
  StepThroughLimits(Commands()[GetParam()], Stop::FullDisk);
}

TEST_P(InterruptedRun, KillLeavesNoPartialFileUnderAFinalName) {
  StepThroughLimits(Commands()[GetParam()], Stop::Kill);
}

std::string CommandName(const ::testing::TestParamInfo<std::size_t>& param) {
  std::string name;
  for (char c : Commands()[param.param].what) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryWritingCommand, InterruptedRun, ::testing::Range<std::size_t>(0, 6), CommandName);

}  // namespace
