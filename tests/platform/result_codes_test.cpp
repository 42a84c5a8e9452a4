// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/result_codes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace voltare::platform {
namespace {

TEST(ErrorTextTest, OwnCodesHaveTheProgramsTexts) {
  const std::string internal = "KOVA Voltare caused an internal error. Please contact the author.";
  EXPECT_EQ(ErrorText(ErrInternal), internal);
  EXPECT_NE(ErrorText(ErrNoTempFile), internal) << "names the temporary folder and what is wrong with it";
  EXPECT_EQ(ErrorText(ErrBadPassword), "You have entered an invalid password. Please try again.");
  EXPECT_EQ(ErrorText(ErrNoSuchFile), "The file you selected does not exist !");
  EXPECT_EQ(ErrorText(ErrBadFile), "Invalid VLT or PLX file.");
}

TEST(ErrorTextTest, SuccessAndUnknownCodesHaveNoText) {
  EXPECT_EQ(ErrorText(Success), "");
  EXPECT_EQ(ErrorText(ErrReported), "");
  EXPECT_EQ(ErrorText(-77), "");
  EXPECT_EQ(ErrorText(999999), "");
}

TEST(ErrorTextTest, ErrnoValuesHaveTheSystemsText) {
  EXPECT_EQ(ErrorText(ENOENT), std::strerror(ENOENT));
  EXPECT_EQ(ErrorText(ENOSPC), std::strerror(ENOSPC));
  EXPECT_FALSE(ErrorText(EACCES).empty());
}

TEST(ErrorFormatTest, FillsCodeAndText) {
  EXPECT_EQ(ErrorFormat(ErrBadFile),
            "KOVA Voltare caused an unexpected system error.\n\nError code: -5\n"
            "Error message: Invalid VLT or PLX file.");
  EXPECT_EQ(ErrorFormat(ENOENT), "KOVA Voltare caused an unexpected system error.\n\nError code: " +
                                     std::to_string(ENOENT) + "\nError message: " + std::strerror(ENOENT));
}

TEST(ErrorFormatTest, AnExceptionTextReplacesTheCodesText) {
  EXPECT_EQ(ErrorFormat(7, "Connection refused by host"),
            "KOVA Voltare caused an unexpected system error.\n\nError code: 7\n"
            "Error message: Connection refused by host");
  EXPECT_EQ(ErrorFormat(Success),
            "KOVA Voltare caused an unexpected system error.\n\n"
            "Error code: 0\nError message: ");
}

}  // namespace
}  // namespace voltare::platform
