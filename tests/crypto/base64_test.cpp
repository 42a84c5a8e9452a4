// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace voltare::crypto {
namespace {

using namespace std::string_literals;

TEST(Base64, EncodesTheStandardExamples) {
  const std::pair<std::string, std::string> examples[] = {{"", ""},
                                                          {"f", "Zg=="},
                                                          {"fo", "Zm8="},
                                                          {"foo", "Zm9v"},
                                                          {"foob", "Zm9vYg=="},
                                                          {"fooba", "Zm9vYmE="},
                                                          {"foobar", "Zm9vYmFy"},
                                                          {"abc", "YWJj"},
                                                          {"ab", "YWI="},
                                                          {"a", "YQ=="},
                                                          {"\xFB\xFF"s, "+/8="}};
  for (const auto& [bytes, text] : examples) {
    EXPECT_EQ(B64Encode(bytes), text) << text;
    EXPECT_EQ(B64Decode(text), bytes) << text;
  }
}

TEST(Base64, LongInputStaysOnOneLine) {
  const std::string encoded = B64Encode(std::string(1000, 'x'));
  EXPECT_EQ(encoded.size(), 1336u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, RoundTripsEveryByteValueAndLength) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (std::size_t length = 0; length <= all.size(); ++length) {
    const std::string bytes = all.substr(all.size() - length);  // zero bytes included
    const std::string encoded = B64Encode(bytes);
    ASSERT_EQ(encoded.size(), (length + 2) / 3 * 4);
    ASSERT_EQ(B64Decode(encoded), bytes) << length;
  }
}

TEST(Base64, RefusesLengthsThatAreNotMultiplesOfFour) {
  const std::string line76(76, 'A');
  for (const std::string& text : {"YWJ"s, "Y"s, line76 + "\r\n"}) {
    try {
      B64Decode(text);
      ADD_FAILURE() << "no error for length " << text.size();
    } catch (const CipherError& e) {
      EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
    }
  }
}

TEST(Base64, ForeignCharactersCountAsSixtyThree) {
  // A line break inside the text is not skipped: CR and LF decode like "/".
  const std::string line76(76, 'A');
  EXPECT_EQ(B64Decode(line76 + "\r\nAA"), std::string(57, '\0') + "\xFF\xF0\x00"s);
  EXPECT_EQ(B64Decode("\r\nAA"), B64Decode("//AA"));
  // "=" before the last group is data, not padding.
  EXPECT_EQ(B64Decode("====YQ=="),
            "\xFF\xFF\xFF"
            "a"s);
  EXPECT_EQ(B64Decode("Y==xYWJj"), B64Decode("Y//xYWJj"));
  EXPECT_EQ(B64Decode("YW J"), B64Decode("YW/J"));
}

TEST(Base64, PaddingInTheLastGroupDecidesItsLength) {
  EXPECT_EQ(B64Decode("YQ=="), "a");
  EXPECT_EQ(B64Decode("YQ=x"), "a");  // the fourth character is not looked at
  EXPECT_EQ(B64Decode("YWI="), "ab");
  EXPECT_EQ(B64Decode("YWJj"), "abc");
  EXPECT_EQ(B64Decode("YWJjYQ=="), "abca");
  // Non-zero leftover bits are simply dropped.
  EXPECT_EQ(B64Decode("YR=="), "a");
}

}  // namespace
}  // namespace voltare::crypto
