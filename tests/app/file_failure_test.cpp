// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/file_failure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace voltare::app {
namespace {

// The English texts are filled from whole translatable sentences; they read
// exactly as they did when they were glued from pieces.
TEST(FileFailureTest, EnglishTextsKeepTheirWording) {
  const FileFailure full{FileAction::Encrypt, "/home/me/a.txt", ENOSPC};
  EXPECT_EQ(FailureBoxText(full),
            "/home/me/a.txt\n\nNo space left on the device; it was not encrypted, nothing of it was written.");
  EXPECT_EQ(FailureLine(full, "a.txt"),
            "a.txt: no space left on the device; it was not encrypted, nothing of it was written");
  EXPECT_EQ(FailureBoxText({FileAction::Wipe, "b.txt", ENOTSUP}),
            "KOVA Voltare caused an unexpected system error.\n\nError code: " + std::to_string(ENOTSUP) +
                "\nError message: b.txt: Operation not supported");

  EXPECT_EQ(BatchStoppedSentence({"c.txt"}), "The batch was stopped; 1 file was not tried: c.txt.");
  std::vector<std::string> many;
  for (int i = 0; i < 12; ++i) many.push_back(std::to_string(i));
  EXPECT_EQ(BatchStoppedSentence(many),
            "The batch was stopped; 12 files were not tried: 0, 1, 2, 3, 4, 5, 6, 7, 8, "
            "9 and 2 more.");
  EXPECT_EQ(BatchStoppedText({"c.txt", "d.txt"}), "the batch was stopped; 2 files were not tried: c.txt, d.txt");
}

}  // namespace
}  // namespace voltare::app
