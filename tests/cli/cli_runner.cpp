// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_runner.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/test_env.h"

namespace voltare::cli::testing {

namespace fs = std::filesystem;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;

namespace {

CliRun RunWithInputFrom(const std::vector<std::string>& arguments, const fs::path& directory,
                        const std::string& inputRedirect, const std::string& prefix = {}) {
  fs::create_directories(directory);
  std::string command = "cd " + Quoted(directory.string()) + " && " + prefix + Quoted(VOLTARE_CLI_PATH);
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  const fs::path out = TestDir() / "stdout.txt", err = TestDir() / "stderr.txt";
  command += " <" + inputRedirect + " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
  const int raw = std::system(command.c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

}  // namespace

std::string Quoted(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

std::string PasswordFile(const std::string& password) {
  const fs::path path = TestDir() / ("pw-" + password + ".txt");
  voltare::testing::WriteFileText(path, password + "\n");
  return path.string();
}

fs::path Work() { return TestDir() / "work"; }

CliRun RunCli(const std::vector<std::string>& arguments, const fs::path& directory) {
  return RunWithInputFrom(arguments, directory, "/dev/null");
}

CliRun RunCliAsUser(const std::vector<std::string>& arguments, const fs::path& directory) {
  const std::string prefix = ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search " : "";
  return RunWithInputFrom(arguments, directory, "/dev/null", prefix);
}

CliRun RunCliWithInput(const std::vector<std::string>& arguments, const std::string& input) {
  const fs::path in = TestDir() / "stdin.txt";
  voltare::testing::WriteFileText(in, input);
  return RunWithInputFrom(arguments, Work(), Quoted(in.string()));
}

CliRun RunCliOnTerminal(const std::vector<std::string>& arguments, const std::vector<std::string>& typed) {
  fs::create_directories(Work());
  std::vector<std::string> words{VOLTARE_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (::chdir(Work().c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  CliRun run;
  if (child < 0) return run;

  std::size_t next = 0, answeredUpTo = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{terminal, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;  // the program ended and the terminal closed
    run.out.append(buffer, static_cast<std::size_t>(got));
    const std::string_view unanswered = std::string_view(run.out).substr(answeredUpTo);
    if (!unanswered.ends_with(": ") && !unanswered.ends_with("] ")) continue;
    // A prompt is the last thing written before the program waits: text that
    // follows at once was only a line that happened to end so.
    pollfd more{terminal, POLLIN, 0};
    if (::poll(&more, 1, 200) == 0) {
      const std::string line =
          next < typed.size() ? typed[next++] + "\n" : std::string("\x04");  // Ctrl+D: end of input
      if (::write(terminal, line.data(), line.size()) < 0) break;
      answeredUpTo = run.out.size();
    }
  }
  // Still running at the deadline: it hangs, and the test fails on its status.
  if (std::chrono::steady_clock::now() >= deadline) ::kill(child, SIGKILL);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  ::close(terminal);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

}  // namespace voltare::cli::testing
