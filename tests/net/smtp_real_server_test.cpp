// SPDX-License-Identifier: GPL-3.0-or-later
// Messages sent to a real SMTP server (aiosmtpd on 127.0.0.1), which records
// the envelope and the message and parses it with Python's email package:
// what arrives is what was meant, and attachments decode to the original files.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "net/smtp_client.h"
#include "peer_files.h"
#include "peers.h"
#include "support/test_env.h"

namespace voltare::net {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using voltare::net::testing::Lines;
using voltare::net::testing::Text;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

class SmtpRealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(inbox_);
    server_ = std::make_unique<testing::PeerProcess>(testing::ScriptPath("smtp_server.py"),
                                                     std::vector<std::string>{inbox_.string()},
                                                     TestDir() / "smtp_server.log");
    client_.Host = "127.0.0.1";
    client_.Port = server_->port();
    client_.UserID = "workstation.test";
    client_.TimeOut = 5000;
    client_.Waits = SmtpWaits::AllOf(10s);
    client_.MailMessage.FromAddress = "sender@example.org";
    client_.MailMessage.FromName = "Sender Name ";
    client_.MailMessage.LocalProgram = "KOVA Voltare - http://www.example.org/";
  }

  void Send() {
    client_.Connect();
    client_.SendMail();
    client_.Disconnect();
  }

  fs::path Inbox(const std::string& name) const { return inbox_ / name; }

  const fs::path inbox_ = TestDir() / "inbox";
  std::unique_ptr<testing::PeerProcess> server_;
  TSmtpClient client_;
};

TEST_F(SmtpRealServer, EnvelopeHeaderAndBodyArriveAsSent) {
  auto& m = client_.MailMessage;
  m.ToAddress = {"Receiver <receiver@example.org>"};
  m.ToCarbonCopy = {""};
  m.ToBlindCarbonCopy = {"SMTP:hidden@example.org"};
  m.Subject = "Encrypted message";
  m.Body = {"QmFzZTY0IGxpbmU=", ".a line that starts with a dot",
            "\r\n\r\nThis e-mail message is encrypted.\r\nSecond footer line"};
  Send();

  EXPECT_EQ(Lines(Inbox("1.envelope")),
            (std::vector<std::string>{"helo workstation.test", "from sender@example.org", "rcpt receiver@example.org",
                                      "rcpt hidden@example.org"}));
  const std::string message = Text(Inbox("1.eml"));
  const std::string header = message.substr(0, message.find("\r\n\r\n") + 2);
  EXPECT_EQ(header,
            "From: Sender Name <sender@example.org>\r\n"
            "To: Receiver <receiver@example.org>\r\n"
            "CC: \r\n"
            "Subject: Encrypted message\r\n"
            "X-Mailer: KOVA Voltare - http://www.example.org/\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain;                        charset=us-ascii\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n");
  EXPECT_EQ(message.substr(header.size()),
            "\r\n\r\nQmFzZTY0IGxpbmU=3D\r\n=2Ea line that starts with a dot\r\n"
            "\r\n\r\nThis e-mail message is encrypted.\r\nSecond footer line\r\n");
  // What the recipient's mail program shows.
  EXPECT_EQ(Text(Inbox("1.part0")),
            "\r\nQmFzZTY0IGxpbmU=\r\n.a line that starts with a dot\r\n"
            "\r\n\r\nThis e-mail message is encrypted.\r\nSecond footer line\r\n");
  EXPECT_EQ(Lines(Inbox("1.parts")), std::vector<std::string>{"0\t\ttext/plain"});
}

TEST_F(SmtpRealServer, AttachmentsDecodeBackToTheOriginalFiles) {
  struct Attachment {
    std::string name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Attachment> files{
      {"exactly46.bin", RandomBytes(46, 1)},
      {"report with spaces.dat", RandomBytes(250000, 2)},
      {"empty.txt", {}},
      {"dots.txt", {'.', '\r', '\n', '.', '\r', '\n'}},
  };
  auto& m = client_.MailMessage;
  m.ToAddress = {"receiver@example.org"};
  m.Subject = "Files";
  m.Body = {"See the attached files."};
  for (const auto& file : files) {
    const fs::path path = TestDir() / file.name;
    voltare::testing::WriteFileBytes(path, file.bytes);
    m.Attachments.push_back(path.string());
  }
  Send();

  const std::vector<std::string> parts = Lines(Inbox("1.parts"));
  ASSERT_EQ(parts.size(), files.size() + 1);
  EXPECT_EQ(parts[0], "0\t\ttext/plain");
  // The line break before a boundary belongs to the boundary.
  EXPECT_EQ(Text(Inbox("1.part0")), "See the attached files.");
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string index = std::to_string(i + 1);
    EXPECT_EQ(parts[i + 1], index + "\t" + files[i].name + "\tapplication/octet-stream");
    EXPECT_EQ(ReadFileBytes(Inbox("1.part" + index)), files[i].bytes) << files[i].name;
  }
  EXPECT_TRUE(client_.MailMessage.Attachments.empty());  // ClearParams
}

TEST_F(SmtpRealServer, OneConnectionCarriesSeveralMessages) {
  auto& m = client_.MailMessage;
  client_.Connect();
  for (int i = 1; i <= 3; ++i) {
    m.ToAddress = {"r" + std::to_string(i) + "@example.org"};
    m.Subject = "Message " + std::to_string(i);
    m.Body = {"Body " + std::to_string(i)};
    client_.SendMail();
  }
  client_.Disconnect();
  for (int i = 1; i <= 3; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(Lines(Inbox(n + ".envelope")).back(), "rcpt r" + n + "@example.org");
    EXPECT_NE(Text(Inbox(n + ".eml")).find("Subject: Message " + n + "\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace voltare::net
