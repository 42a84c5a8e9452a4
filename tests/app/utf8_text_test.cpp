// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/utf8_text.h"

#include <gtest/gtest.h>

namespace voltare::app {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

TEST(Utf8TextTest, WellFormedTextIsKeptAndIllFormedPartsAreReplacedOneEach) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91z";  // a é € 🔑 z
  EXPECT_EQ(ValidUtf8(text), text);
  EXPECT_EQ(Utf8CharacterCount(text), 5u);

  const std::string r = kReplacement;
  EXPECT_EQ(ValidUtf8("\xC0\xAF"), r + r);                  // overlong '/'
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), r + r + r);          // a surrogate
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), r + r + r + r);  // beyond U+10FFFF
  EXPECT_EQ(ValidUtf8("\xE2\x82x"), r + "x");               // cut short: one replacement
  EXPECT_EQ(ValidUtf8("x\xF0\x9F\x94"), "x" + r);           // cut short at the end
  EXPECT_EQ(ValidUtf8("\x80\xFF"), r + r);
  EXPECT_EQ(Utf8CharacterCount("\xE2\x82x"), 2u);
}

TEST(Utf8TextTest, PrefixCountsCharactersNotBytes) {
  const std::string text = "\xC3\xA9t\xC3\xA9";  // été
  EXPECT_EQ(Utf8Prefix(text, 0), "");
  EXPECT_EQ(Utf8Prefix(text, 1), "\xC3\xA9");
  EXPECT_EQ(Utf8Prefix(text, 2), "\xC3\xA9t");
  EXPECT_EQ(Utf8Prefix(text, 9), text);
  EXPECT_EQ(Utf8Prefix("\xE2\x82x", 1), "\xE2\x82");
}

}  // namespace
}  // namespace voltare::app
