// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare started as a file manager or a desktop session starts it:
// `voltare --add -- *` in a folder where someone left files named like the
// toolkit's own options (they stay files, and the toolkit keeps the platform
// its environment chose), and a window that is asked to end by a signal
// while its password prompt is open.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_env.h"
#include "support/wait.h"

namespace {

// True once process `pid` has mapped a library whose path holds `name`.
bool HasLoaded(pid_t pid, const std::string& name) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find(name) != std::string::npos) return true;
  }
  return false;
}

// Starts the program with `words` (its path first) in `folder`, offscreen.
pid_t StartProgram(std::vector<std::string> words, const std::filesystem::path& folder) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (::chdir(folder.c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

void EndProgram(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

TEST(ProgramArguments, FilesNamedLikeToolkitOptionsNeitherChooseThePlatformNorItsPlugins) {
  const auto folder = voltare::testing::TestDir();
  const std::vector<std::string> words{VOLTARE_GUI_PATH,      "--add",   "--",    "-platform", "planted",
                                       "-platformpluginpath", "plugins", "-style"};
  for (std::size_t i = 3; i < words.size(); ++i) voltare::testing::WriteFileText(folder / words[i], "x");
  const pid_t pid = StartProgram(words, folder);
  ASSERT_GT(pid, 0);

  // Taken as Qt's options, "-platform planted" would end the program at once.
  bool ended = false;
  const bool offscreen = voltare::testing::WaitUntil([&] {
    ended = ::waitpid(pid, nullptr, WNOHANG) == pid;
    return ended || HasLoaded(pid, "libqoffscreen");
  });
  if (!ended) EndProgram(pid);
  EXPECT_TRUE(offscreen && !ended);
}

// Whenever the signal comes (before the prompt shows or while it is open),
// the prompt is answered as Cancel, nothing is encrypted, and the program
// ends by itself with the status a shell gives a program the signal ended.
TEST(ProgramSignals, AStopSignalClosesTheWindowWithItsPromptOpenAndLeavesNothingHalfMade) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    const auto folder = voltare::testing::TestDir() / std::to_string(signal);
    std::filesystem::create_directories(folder);
    voltare::testing::WriteFileText(folder / "secret.txt", "kept as it is");
    const pid_t pid = StartProgram({VOLTARE_GUI_PATH, "--encrypt", "secret.txt"}, folder);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(voltare::testing::WaitUntil([&] { return HasLoaded(pid, "libqoffscreen"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // most often, the prompt is open by now

    ::kill(pid, signal);
    int status = 0;
    const bool ended = voltare::testing::WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended) EndProgram(pid);
    ASSERT_TRUE(ended) << "the window did not close";
    EXPECT_TRUE(WIFEXITED(status)) << "ended by the signal itself, not by the program";
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"secret.txt"});
  }
}

}  // namespace
