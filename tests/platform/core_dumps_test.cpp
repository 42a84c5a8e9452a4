// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/core_dumps.h"

namespace {

// In a child of its own, so that the test program stays as it was.
TEST(CoreDumps, TurningThemOffMakesTheProcessNotDumpable) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool before = ::prctl(PR_GET_DUMPABLE) == 1;
    const bool turnedOff = voltare::platform::TurnOffCoreDumps();
    ::_exit(before && turnedOff && ::prctl(PR_GET_DUMPABLE) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
