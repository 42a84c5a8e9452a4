// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare started on files named like the toolkit's own options,
// as `voltare --add -- *` starts it in a folder where someone left them: they
// stay files, and the toolkit keeps the platform its environment chose.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "support/wait.h"

namespace {

namespace fs = std::filesystem;
using voltare::testing::TestDir;

// True once the process has mapped a library whose path holds `name`.
bool HasLoaded(pid_t pid, const std::string& name) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find(name) != std::string::npos) return true;
  }
  return false;
}

pid_t StartProgram(std::vector<std::string> words, const fs::path& folder, const fs::path& output) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

TEST(ProgramArguments, FilesNamedLikeToolkitOptionsNeitherChooseThePlatformNorItsPlugins) {
  const fs::path folder = TestDir() / "shared";
  fs::create_directories(folder / "plugins" / "platforms");
  const std::vector<std::string> names{"-platformpluginpath", "plugins", "-platform", "planted", "-style"};
  for (const std::string& name : names) {
    if (!fs::exists(folder / name)) std::ofstream(folder / name) << "x";
  }
  std::vector<std::string> words{VOLTARE_GUI_PATH, "--add", "--"};
  words.insert(words.end(), names.begin(), names.end());
  const fs::path output = TestDir() / "output.txt";
  const pid_t pid = StartProgram(words, folder, output);
  ASSERT_GT(pid, 0);

  // Taken as Qt's options, "-platform planted" would end the program at once.
  bool ended = false;
  const bool offscreen = voltare::testing::WaitUntil([&] {
    ended = ::waitpid(pid, nullptr, WNOHANG) == pid;
    return ended || HasLoaded(pid, "libqoffscreen");
  });
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  std::ifstream said(output);
  EXPECT_TRUE(offscreen && !ended) << std::string(std::istreambuf_iterator<char>(said), {});
}

}  // namespace
