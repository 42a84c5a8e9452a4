// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare started as `voltare --add -- *` starts it in a folder
// where someone left files named like the toolkit's own options: they stay
// files, and the toolkit keeps the platform its environment chose.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
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

TEST(ProgramArguments, FilesNamedLikeToolkitOptionsNeitherChooseThePlatformNorItsPlugins) {
  const auto folder = voltare::testing::TestDir();
  std::vector<std::string> words{VOLTARE_GUI_PATH,      "--add",   "--",    "-platform", "planted",
                                 "-platformpluginpath", "plugins", "-style"};
  for (std::size_t i = 3; i < words.size(); ++i) voltare::testing::WriteFileText(folder / words[i], "x");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (::chdir(folder.c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
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
  EXPECT_TRUE(offscreen && !ended);
}

}  // namespace
