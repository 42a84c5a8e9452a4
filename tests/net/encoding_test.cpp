// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces that decide what the server sees byte for byte: attachment
// encodings, header lists, recipient addresses, the socket error texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "net/attachment_encoder.h"
#include "net/header_list.h"
#include "net/mime_header.h"
#include "net/net_error.h"
#include "net/smtp_client.h"
#include "net/socket_errors.h"
#include "platform/file.h"
#include "support/test_env.h"

namespace voltare::net {
namespace {

std::vector<std::uint8_t> Counting(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

std::string Encoded(TEncodeType method, const std::vector<std::uint8_t>& input) {
  TAttachmentEncoder encoder;
  encoder.Method = method;
  std::string out;
  encoder.Encode(input, out);
  return out;
}

TEST(AttachmentEncoder, Base64GivesSixtyCharacterLinesAndPadsTheLastGroup) {
  const std::string out = Encoded(encMime, Counting(46));
  const auto firstEnd = out.find("\r\n");
  ASSERT_EQ(firstEnd, 60u);
  EXPECT_EQ(out.substr(firstEnd + 2), "LQ==\r\n");  // byte 45 alone
  EXPECT_EQ(out.substr(0, 8), "AAECAwQF");
  EXPECT_EQ(Encoded(encMime, {'a', 'b'}), "YWI=\r\n");
  EXPECT_EQ(Encoded(encMime, {'a', 'b', 'c'}), "YWJj\r\n");
}

TEST(AttachmentEncoder, EmptyInputGivesNoBase64LinesAndOneUuEndLine) {
  EXPECT_EQ(Encoded(encMime, {}), "");
  EXPECT_EQ(Encoded(encUUCode, {}), "`\r\n");
}

TEST(AttachmentEncoder, UuencodeStartsEachLineWithItsLengthAndEndsWithAZeroLine) {
  // "Cat" is the classic example: length 3 is '#', the group is "0V%T".
  EXPECT_EQ(Encoded(encUUCode, {'C', 'a', 't'}), "#0V%T\r\n`\r\n");
  const std::string out = Encoded(encUUCode, Counting(46));
  const auto firstEnd = out.find("\r\n");
  ASSERT_EQ(firstEnd, 61u);
  EXPECT_EQ(out[0], 'M');  // 45
  // The second line holds one byte in a full group, without "=" padding.
  EXPECT_EQ(out.substr(firstEnd + 2), "!+0``\r\n`\r\n");
}

TEST(AttachmentEncoder, FileIsReadFromItsStartWhateverItsPosition) {
  const auto path = testing::TestDir() / "data.bin";
  const auto bytes = Counting(200);
  testing::WriteFileBytes(path, bytes);
  platform::File file(path, platform::File::Mode::Read);
  file.seek(100);
  std::string fromFile;
  TAttachmentEncoder encoder;
  int events = 0;
  encoder.OnBeginEncode = [&] { ++events; };
  encoder.OnEndEncode = [&] { ++events; };
  encoder.Encode(file, fromFile);
  EXPECT_EQ(fromFile, Encoded(encMime, bytes));
  EXPECT_EQ(events, 2);
}

TEST(EncodeBase64, MatchesTheStandardVectors) {
  EXPECT_EQ(EncodeBase64(""), "");
  EXPECT_EQ(EncodeBase64("f"), "Zg==");
  EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
  EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(EncodeBase64("user:secret"), "dXNlcjpzZWNyZXQ=");
}

TEST(HeaderList, SetHeaderReplacesAppendsAndDeletesByCaseInsensitiveName) {
  THeaderList list;
  list.Add("From: a<b@c>");
  list.Add("SUBJECT: old");
  list.SetHeader("Subject", "new");
  list.SetHeader("X-Mailer", "tool");
  list.SetHeader("Reply-To", "");  // nothing to delete, nothing added
  EXPECT_EQ(list.Text(), "From: a<b@c>\r\nSubject: new\r\nX-Mailer: tool\r\n");
  list.SetHeader("subject", "");
  EXPECT_EQ(list.Text(), "From: a<b@c>\r\nX-Mailer: tool\r\n");
}

TEST(HeaderList, NameIsTheTextBeforeTheFirstColonOnly) {
  THeaderList list;
  list.Add("GET http://host/ HTTP/1.0");
  list.SetHeader("Host", "host");
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list[1], "Host: host");
}

TEST(SmtpAddress, TakesTheAddressOutOfEachEntryFormWithoutTrimming) {
  EXPECT_EQ(TSmtpClient::ExtractAddress("Jan Smit <jan@example.org>"), "jan@example.org");
  EXPECT_EQ(TSmtpClient::ExtractAddress("<jan@example.org"), "jan@example.org");
  EXPECT_EQ(TSmtpClient::ExtractAddress("SMTP:jan@example.org"), "jan@example.org");
  EXPECT_EQ(TSmtpClient::ExtractAddress("a:jan@example.org:b"), "jan@example.org");
  EXPECT_EQ(TSmtpClient::ExtractAddress(" jan@example.org"), " jan@example.org");
  EXPECT_EQ(TSmtpClient::ExtractAddress(""), "");
}

TEST(SocketErrors, TableTextsAndFallbacks) {
  EXPECT_EQ(SocketErrorText(10035), "10035:Operation would block");
  EXPECT_EQ(SocketErrorText(10060), "10060:Connection timed out");
  EXPECT_EQ(SocketErrorText(10061), "10061:Connection refused");
  EXPECT_EQ(SocketErrorText(10065), "10065:No route to Host");
  EXPECT_EQ(SocketErrorText(11001), "11001:Host not found");
  EXPECT_EQ(SocketErrorText(12345), "Unknown Error No. 12345");
  EXPECT_EQ(SocketErrorDescription(0), "Unrecognized error code");
  EXPECT_EQ(SocketErrnoText(ECONNREFUSED), "10061:Connection refused");
  // An errno without a row keeps the system's own text.
  EXPECT_EQ(SocketErrnoText(EPIPE).rfind(std::to_string(EPIPE) + ":", 0), 0u);
}

TEST(SocketErrors, TableHasItsFiftyOneRows) {
  int rows = 0;
  for (int code = 0; code <= 11004; ++code) rows += IsKnownSocketError(code) ? 1 : 0;
  EXPECT_EQ(rows, 51);
  for (int code = 10035; code <= 10071; ++code) EXPECT_TRUE(IsKnownSocketError(code)) << code;
}

TEST(NetError, LineBreaksInASingleLineFieldAreRefused) {
  EXPECT_NO_THROW(RequireSingleLine("plain text", "Subject"));
  try {
    RequireSingleLine("Hi\r\nBcc: x@y", "Subject");
    FAIL();
  } catch (const NetError& e) {
    EXPECT_STREQ(e.what(), "Line break not allowed in Subject");
  }
  EXPECT_THROW(RequireSingleLine("a\nb", "To"), NetError);
  EXPECT_THROW(RequireSingleLine("a\rb", "To"), NetError);
}

}  // namespace
}  // namespace voltare::net

namespace voltare::net {
namespace {

std::string DecodeBase64ForTest(std::string_view text) {
  constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0, count = 0;
  for (const char c : text) {
    if (c == '=') break;
    bits = (bits << 6) | static_cast<unsigned>(kAlphabet.find(c));
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFFU);
    }
  }
  return out;
}

TEST(MimeHeader, PlainNamesKeepTheirFormAndOthersGetAnRfc2231FormWithAnAsciiStandIn) {
  struct Case {
    std::string fileName;
    std::string withFallback;
    std::string alone;
  };
  const std::vector<Case> cases{
      {"notes.bin", "name=\"notes.bin\"", "name=\"notes.bin\""},
      {"a\"b.txt", "name=\"a_b.txt\"; name*=UTF-8''a%22b.txt", "name*=UTF-8''a%22b.txt"},
      {"c:\\x y", "name=\"c:_x y\"; name*=UTF-8''c%3A%5Cx%20y", "name*=UTF-8''c%3A%5Cx%20y"},
      {"caf\xc3\xa9.txt", "name=\"caf_.txt\"; name*=UTF-8''caf%C3%A9.txt", "name*=UTF-8''caf%C3%A9.txt"},
      {"\xe9t\xe9", "name=\"_t_\"; name*=UTF-8''%E9t%E9", "name*=UTF-8''%E9t%E9"},  // Latin-1 bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNameParameter("name", c.fileName, true), c.withFallback);
    EXPECT_EQ(FileNameParameter("name", c.fileName, false), c.alone);
  }
}

TEST(MimeHeader, TextOutsideAsciiBecomesEncodedWordsOfWholeCharactersNoLongerThanAllowed) {
  EXPECT_EQ(EncodeHeaderText("Tonight"), "Tonight");
  EXPECT_EQ(EncodeHeaderText("=?x?"), "=?UTF-8?B?PT94Pw==?=") << "would be taken for an encoded word";
  EXPECT_EQ(EncodeDisplayName("\"Z\xc3\xab\""), "=?UTF-8?B?WsOr?=") << "no encoded word inside quotes";
  EXPECT_EQ(EncodeRecipientEntry("Z\xc3\xab <z@example.org>"), "=?UTF-8?B?WsOr?= <z@example.org>");
  EXPECT_EQ(EncodeRecipientEntry("z@example.org"), "z@example.org");

  std::string text = "x";
  for (int i = 0; i < 60; ++i) text += "\xc3\xbc";  // the 45-byte cut falls inside a letter
  const std::string encoded = EncodeHeaderText(text);
  std::string decoded;
  for (std::size_t start = 0; start < encoded.size();) {
    const std::size_t end = std::min(encoded.find("\r\n ", start), encoded.size());
    const std::string word = encoded.substr(start, end - start);
    EXPECT_LE(word.size(), 75u);
    ASSERT_EQ(word.rfind("=?UTF-8?B?", 0), 0u) << word;
    const std::string bytes = DecodeBase64ForTest(word.substr(10, word.size() - 12));
    EXPECT_NE(static_cast<unsigned char>(bytes.front()) & 0xC0U, 0x80U) << "a word starts a character";
    decoded += bytes;
    start = end + 3;
  }
  EXPECT_EQ(decoded, text);
}

}  // namespace
}  // namespace voltare::net
