// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/text_crypt.h"

#include <gtest/gtest.h>

#include <string>

namespace voltare::transforms {
namespace {

TEST(TextCryptTest, LengthsFollowTheBase64Groups) {
  EXPECT_EQ(BlowfishEncryptString("abc", "pw").size(), 4u);
  EXPECT_EQ(BlowfishEncryptString("abcd", "pw").size(), 8u);
  EXPECT_EQ(BlowfishEncryptString(std::string(1000, 'x'), "pw").size(), 1336u);
  for (const std::string text : {"abc", "abcd", "a", "line one\r\nline two\r\n"}) {
    const auto encrypted = BlowfishEncryptString(text, "pw");
    EXPECT_EQ(encrypted.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(BlowfishDecryptString(encrypted, "pw"), text);
  }
}

TEST(TextCryptTest, BlanksAndLineBreaksAnywhereInTheLineAreIgnored) {
  const std::string text(200, 'z');
  const std::string line = BlowfishEncryptString(text, "pw");
  std::string folded;  // as a relay folds it, and a mail program wraps it
  for (std::size_t at = 0; at < line.size(); at += 40) folded += line.substr(at, 40) + "\r\n \t";
  EXPECT_EQ(BlowfishDecryptString(folded, "pw"), text);
}

TEST(TextCryptTest, AllByteValuesSurvive) {
  std::string text;
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  EXPECT_EQ(BlowfishDecryptString(BlowfishEncryptString(text, "\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9"), text);
}

TEST(TextCryptTest, SameTextAndPasswordGiveTheSameForm) {
  EXPECT_EQ(BlowfishEncryptString("meet at noon", "k"), BlowfishEncryptString("meet at noon", "k"));
  EXPECT_NE(BlowfishEncryptString("meet at noon", "k"), BlowfishEncryptString("meet at noon", "K"));
  // The empty password is a password like any other.
  const auto empty_key = BlowfishEncryptString("meet at noon", "");
  EXPECT_EQ(empty_key.size(), 16u);
  EXPECT_EQ(BlowfishDecryptString(empty_key, ""), "meet at noon");
}

TEST(TextCryptTest, WrongPasswordGivesAWrongTextOfTheSameLength) {
  const auto encrypted = BlowfishEncryptString("the secret plan", "right");
  const auto wrong = BlowfishDecryptString(encrypted, "wrong");
  EXPECT_EQ(wrong.size(), 15u);
  EXPECT_NE(wrong, "the secret plan");
}

TEST(TextCryptTest, EmptyTextGivesTheEmptyString) {
  EXPECT_EQ(BlowfishEncryptString("", "pw"), "");
  EXPECT_EQ(BlowfishDecryptString("", "pw"), "");
}

TEST(TextCryptTest, LineBreaksAroundTheLineAreDropped) {
  const auto encrypted = BlowfishEncryptString("hello", "pw");
  EXPECT_EQ(BlowfishDecryptString("\r\n" + encrypted + "\r\n", "pw"), "hello");
  EXPECT_EQ(BlowfishDecryptString("\r\n\r\n" + encrypted + "\r\n\r\n", "pw"), "hello");
  EXPECT_EQ(BlowfishDecryptString(encrypted + "\r\n", "pw"), "hello");
  // A line copied on Linux ends in a lone LF; the character before it stays.
  const auto unpadded = BlowfishEncryptString("linux!", "pw");  // 6 bytes: no '=' at the end
  EXPECT_EQ(BlowfishDecryptString(unpadded + "\n", "pw"), "linux!");
  EXPECT_EQ(BlowfishDecryptString("\n" + unpadded + "\n\n", "pw"), "linux!");
}

TEST(TextCryptTest, MalformedInputGivesTheEmptyString) {
  EXPECT_EQ(BlowfishDecryptString("A", "pw"), "");
  EXPECT_EQ(BlowfishDecryptString("ABCDE", "pw"), "");  // not whole groups of four
  EXPECT_EQ(BlowfishDecryptString("\r\n", "pw"), "");
  EXPECT_EQ(BlowfishDecryptString("\r\n\r\n", "pw"), "");
  EXPECT_EQ(BlowfishDecryptString("A\n", "pw"), "");
  // Characters outside the alphabet still decode (as 63) to some bytes.
  EXPECT_EQ(BlowfishDecryptString("!!!!", "pw").size(), 3u);
}

}  // namespace
}  // namespace voltare::transforms
