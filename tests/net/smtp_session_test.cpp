// SPDX-License-Identifier: GPL-3.0-or-later
// The SMTP conversation against a scripted server that records every byte
// the client sends: the exact commands and message, the replies that end a
// session, and the waits that must end (cancel, silence, a closed connection).

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "failure_of.h"
#include "held_lookup.h"
#include "net/messages.h"
#include "net/net_error.h"
#include "net/smtp_client.h"
#include "peers.h"
#include "support/smtp_dialogue.h"
#include "support/test_env.h"
#include "support/wait.h"

namespace voltare::net {
namespace {

using namespace std::chrono_literals;
using testing::FailureOf;
using testing::ScriptedServer;
using testing::ServerConnection;
using testing::SmtpScript;
using voltare::testing::AfterHello;
using voltare::testing::GreetAndAcceptUntil;
using voltare::testing::SmtpHelloThen;

constexpr char kTextPlain[] = "Content-Type: text/plain;                        charset=us-ascii";

void Configure(TSmtpClient& client, int port) {
  client.Host = "127.0.0.1";
  client.Port = port;
  client.UserID = "tester";
  client.Waits = SmtpWaits::AllOf(5s);  // a broken test fails instead of hanging
  client.MailMessage.FromAddress = "me@example.org";
  client.MailMessage.FromName = "Me ";
  client.MailMessage.ToAddress = {"You <you@example.org>"};
  client.MailMessage.Subject = "Hello";
  client.MailMessage.Body = {"First line"};
}

std::string AfterData(const std::string& transcript) {
  const auto at = transcript.find("DATA\r\n");
  return at == std::string::npos ? std::string() : transcript.substr(at + 6);
}

TEST(SmtpSession, ServerSeesTheExactConversationAndMessage) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.MailMessage.ToCarbonCopy = {""};
  client.MailMessage.ToBlindCarbonCopy = {"hidden:bcc@example.org"};
  client.MailMessage.LocalProgram = "KOVA Voltare - http://www.example.org/";
  client.MailMessage.Body = {"First line", ".starts with a dot",        "two\r\n.lines",
                             "",           std::string(80, 'A') + "==", "tab\t= end "};
  int connects = 0, successes = 0, disconnects = 0;
  client.OnConnect = [&] { ++connects; };
  client.OnSuccess = [&] { ++successes; };
  client.OnDisconnect = [&] { ++disconnects; };

  client.Connect();
  client.SendMail();
  client.Disconnect();

  EXPECT_EQ(server.Transcript(),
            "HELO tester\r\n"
            "RSET\r\n"
            "MAIL FROM:<me@example.org>\r\n"
            "RCPT TO:<you@example.org>\r\n"
            "RCPT TO:<bcc@example.org>\r\n"
            "DATA\r\n"
            "From: Me <me@example.org>\r\n"
            "To: You <you@example.org>\r\n"
            "CC: \r\n"
            "Subject: Hello\r\n"
            "X-Mailer: KOVA Voltare - http://www.example.org/\r\n"
            "Mime-Version: 1.0\r\n" +
                std::string(kTextPlain) +
                "\r\n"
                "Content-Transfer-Encoding: quoted-printable\r\n"
                "\r\n\r\n"
                "First line\r\n"
                "=2Estarts with a dot\r\n"
                "two\r\n=2Elines\r\n"
                "\r\n" +
                // Soft line breaks keep every line within 76 characters.
                std::string(75, 'A') + "=\r\n" +
                "AAAAA=3D=3D\r\n"
                "tab\t=3D end=20\r\n"
                ".\r\n"
                "QUIT\r\n");
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(successes, 1);
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(client.Connected());
  // ClearParams: recipients go, the rest stays for the next message.
  EXPECT_TRUE(client.MailMessage.ToAddress.empty());
  EXPECT_TRUE(client.MailMessage.ToBlindCarbonCopy.empty());
  EXPECT_EQ(client.MailMessage.Subject, "Hello");
  EXPECT_EQ(client.MailMessage.Body.size(), 6u);
}

TEST(SmtpSession, OptionalHeaderLinesAppearOnlyWithAValue) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.MailMessage.Subject = "";
  client.MailMessage.ReplyTo = "back@example.org";
  client.MailMessage.Date = "Tue, 8 Dec 2026 05:00:00 +0000";
  client.ClearParams = false;
  client.Connect();
  client.SendMail();
  client.Disconnect();
  const std::string message = AfterData(server.Transcript());
  EXPECT_EQ(message.substr(0, message.find("Mime-Version")),
            "From: Me <me@example.org>\r\nTo: You <you@example.org>\r\n"
            "Reply-To: back@example.org\r\nDate: Tue, 8 Dec 2026 05:00:00 +0000\r\n");
  EXPECT_EQ(client.MailMessage.ToAddress.size(), 1u);
}

TEST(SmtpSession, ContinuationLinesOfGreetingAndHeloAreSkipped) {
  ScriptedServer server(
      SmtpScript({{"HELO", "250-hello there\r\n250-SIZE 1000\r\n250 fine\r\n"}, {"NOOP", "250 noop answered\r\n"}},
                 "220-first\r\n 220 indented\r\n220-second\r\n220 last\r\n"));
  TSmtpClient client;
  Configure(client, server.port());
  client.Connect();
  // The next command reads its own reply, not a leftover line.
  EXPECT_EQ(client.Transaction("NOOP"), "250 noop answered\r\n");
  EXPECT_EQ(client.ReplyNumber(), 250);
  client.Disconnect();
}

TEST(SmtpSession, RefusedGreetingFailsWithItsLineAfterTryingQuit) {
  ScriptedServer server([](ServerConnection& c) {
    c.Send("554 no service here\r\n");
    if (c.ReadLine() == "QUIT\r\n") c.Send("221 bye\r\n");
  });
  TSmtpClient client;
  Configure(client, server.port());
  bool busyDuringDisconnect = false;
  client.OnDisconnect = [&] { busyDuringDisconnect = client.Busy(); };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "554 no service here\r\n");
  EXPECT_EQ(server.Transcript(), "QUIT\r\n");
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.Busy());
  EXPECT_TRUE(busyDuringDisconnect);
}

TEST(SmtpSession, RefusedHeloFailsOrIsRetriedOnceByItsHandler) {
  {
    ScriptedServer server(SmtpScript({{"HELO", "501 who are you\r\n"}}));
    TSmtpClient client;
    Configure(client, server.port());
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Authentication failed");
    EXPECT_EQ(server.Transcript(), "HELO tester\r\nQUIT\r\n");
  }
  {
    ScriptedServer server(SmtpScript({{"HELO tester", "501 who are you\r\n"}}));
    TSmtpClient client;
    Configure(client, server.port());
    client.OnAuthenticationFailed = [&](bool& handled) {
      client.UserID = "known";
      handled = true;
    };
    client.Connect();
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    EXPECT_EQ(server.Transcript(), "HELO tester\r\nHELO known\r\nQUIT\r\n");
  }
  {
    ScriptedServer server(SmtpScript({{"HELO", "501 who are you\r\n"}}));
    TSmtpClient client;
    Configure(client, server.port());
    int calls = 0;
    client.OnAuthenticationFailed = [&](bool& handled) { handled = ++calls > 0; };
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Authentication failed");
    EXPECT_EQ(calls, 1);
  }
}

TEST(SmtpSession, RefusedCommandsFailWithTheReplyAndKeepTheConnection) {
  ScriptedServer server(SmtpScript({{"MAIL", "550 unknown sender\r\n"}}));
  TSmtpClient client;
  Configure(client, server.port());
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "550 unknown sender\r\n");
  EXPECT_TRUE(client.Connected());
  EXPECT_FALSE(client.Busy());
  EXPECT_EQ(client.MailMessage.ToAddress.size(), 1u);  // nothing cleared on failure
  client.Disconnect();
  EXPECT_EQ(server.Transcript(), "HELO tester\r\nRSET\r\nMAIL FROM:<me@example.org>\r\nQUIT\r\n");
}

TEST(SmtpSession, RefusedEndMarkRaisesOnFailureAndFails) {
  ScriptedServer server(SmtpScript({{".", "554 rejected\r\n"}}));
  TSmtpClient client;
  Configure(client, server.port());
  bool failed = false, succeeded = false;
  client.OnFailure = [&] { failed = true; };
  client.OnSuccess = [&] { succeeded = true; };
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "554 rejected\r\n");
  EXPECT_TRUE(failed);
  EXPECT_FALSE(succeeded);
  client.Disconnect();
}

TEST(SmtpSession, RefusedRecipientIsReportedAndTheSendGoesOn) {
  ScriptedServer server(SmtpScript({{"RCPT TO:<nobody", "550 no such user\r\n"}}));
  TSmtpClient client;
  Configure(client, server.port());
  client.MailMessage.ToAddress = {"Nobody <nobody@example.org>", "you@example.org"};
  std::vector<std::string> refused;
  client.OnRecipientNotFound = [&](std::string_view entry) { refused.emplace_back(entry); };
  client.Connect();
  client.SendMail();
  client.Disconnect();
  EXPECT_EQ(refused, std::vector<std::string>{"Nobody <nobody@example.org>"});
  EXPECT_NE(server.Transcript().find("RCPT TO:<you@example.org>\r\nDATA\r\n"), std::string::npos);
}

TEST(SmtpSession, AReplyWithoutACodeCountsAsSuccess) {
  ScriptedServer server(SmtpScript({{"RSET", "\r\n"}, {"MAIL", "ok without a code\r\n"}}));
  TSmtpClient client;
  Configure(client, server.port());
  bool succeeded = false;
  client.OnSuccess = [&] { succeeded = true; };
  client.Connect();
  client.SendMail();
  client.Disconnect();
  EXPECT_TRUE(succeeded);
}

TEST(SmtpSession, MissingConnectionSenderOrRecipientFailsBeforeAnythingIsSent) {
  TSmtpClient offline;
  Configure(offline, 1);
  EXPECT_EQ(FailureOf([&] { offline.SendMail(); }), "Not Connected");
  EXPECT_FALSE(offline.Busy());

  ScriptedServer server(SmtpScript({{"NOOP", "250 noop\r\n"}}));
  TSmtpClient client;
  Configure(client, server.port());
  client.Connect();
  client.MailMessage.FromAddress = "";
  std::vector<int> kinds;
  client.OnHeaderIncomplete = [&](bool&, int kind) { kinds.push_back(kind); };
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "Incomplete Header");
  client.MailMessage.FromAddress = "me@example.org";
  client.MailMessage.ToAddress.clear();
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "Incomplete Header");
  EXPECT_EQ(kinds, (std::vector<int>{1, 2}));
  // A handler that fills in the gap lets the send go on.
  client.OnHeaderIncomplete = [&](bool& handled, int) {
    client.MailMessage.ToBlindCarbonCopy = {"late@example.org"};
    handled = true;
  };
  client.SendMail();
  client.Disconnect();
  const std::string transcript = server.Transcript();
  EXPECT_EQ(transcript.find("RSET"), transcript.rfind("RSET"));  // only the last send began
  EXPECT_NE(transcript.find("RCPT TO:<late@example.org>"), std::string::npos);
}

TEST(SmtpSession, ConnectionRequiredHandlerMayConnect) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.OnConnectionRequired = [&](bool& handled) {
    client.Connect();
    handled = true;
  };
  client.SendMail();
  EXPECT_TRUE(client.Connected());
  client.Disconnect();
}

TEST(SmtpSession, UnreadableAttachmentFailsBeforeAnyCommand) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  const std::string missing = (voltare::testing::TestDir() / "gone.bin").string();
  client.MailMessage.Attachments = {missing};
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "Cannot open file " + missing);
  client.Disconnect();
  EXPECT_EQ(server.Transcript(), "HELO tester\r\nQUIT\r\n");
}

TEST(SmtpSession, LineBreaksInHeaderValuesAreRefusedBeforeAnythingIsSent) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.Connect();
  const auto refused = [&](auto change, const std::string& text) {
    const TMailMessage saved = client.MailMessage;
    change(client.MailMessage);
    EXPECT_EQ(FailureOf([&] { client.SendMail(); }), text);
    client.MailMessage = saved;
  };
  refused([](TMailMessage& m) { m.Subject = "Hi\r\nBcc: victim@example.org"; }, "Line break not allowed in Subject");
  refused([](TMailMessage& m) { m.ToAddress = {"a@example.org\r\nRCPT TO:<b@example.org>"}; },
          "Line break not allowed in To");
  refused([](TMailMessage& m) { m.ToCarbonCopy = {"c@example.org\n"}; }, "Line break not allowed in CC");
  refused([](TMailMessage& m) { m.ToBlindCarbonCopy = {"\rb@example.org"}; }, "Line break not allowed in BCC");
  refused([](TMailMessage& m) { m.FromAddress = "me@example.org>\r\nDATA"; }, "Line break not allowed in From");
  refused([](TMailMessage& m) { m.FromName = "Me\n"; }, "Line break not allowed in From");
  const auto oddName = voltare::testing::TestDir() / "a\r\nb.txt";
  voltare::testing::WriteFileText(oddName, "x");
  refused([&](TMailMessage& m) { m.Attachments = {oddName.string()}; }, "Line break not allowed in filename");
  client.Disconnect();
  EXPECT_EQ(server.Transcript(), "HELO tester\r\nQUIT\r\n");

  TSmtpClient helo;
  Configure(helo, server.port());
  helo.UserID = "me\r\nMAIL FROM:<x>";
  EXPECT_EQ(FailureOf([&] { helo.Connect(); }), "Line break not allowed in HELO");
  EXPECT_FALSE(helo.Connected());
}

TEST(SmtpSession, AHeaderLongerThanOneWriteIsCutThere) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.MailMessage.ToAddress.clear();
  for (int i = 0; i < 1000; ++i) client.MailMessage.ToAddress.push_back("user" + std::to_string(i) + "@example.org");
  client.Connect();
  client.SendMail();
  const std::string header = client.FinalHeader.Text();
  client.Disconnect();
  ASSERT_GT(header.size(), 16385u);
  const std::string message = AfterData(server.Transcript());
  EXPECT_EQ(message.substr(0, 16385), header.substr(0, 16385));
  EXPECT_EQ(message.substr(16385, 4 + 12), "\r\n\r\nFirst line\r\n");
}

TEST(SmtpSession, AttachmentPartsHaveTheirExactLayout) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  const auto path = voltare::testing::TestDir() / "notes.bin";
  std::vector<std::uint8_t> bytes(46);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  voltare::testing::WriteFileBytes(path, bytes);
  client.MailMessage.Attachments = {path.string()};
  std::vector<std::string> encoded;
  client.OnEncodeStart = [&](std::string_view name) { encoded.emplace_back(name); };
  client.Connect();
  client.SendMail();
  const std::string boundary = client.Boundary();
  client.Disconnect();

  ASSERT_EQ(boundary.rfind("====================54535", 0), 0u);
  ASSERT_EQ(boundary.substr(boundary.size() - 4), "====");
  const std::string message = AfterData(server.Transcript());
  EXPECT_NE(message.find("Mime-Version: 1.0\r\nContent-Type: multipart/mixed;                   "
                         "boundary=\"" +
                         boundary + "\"\r\n\r\n\r\n"),
            std::string::npos);
  const std::string body = message.substr(message.find("\r\n\r\n\r\n") + 6);
  EXPECT_EQ(body, "--" + boundary + "\r\n" + kTextPlain + "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
                      "First line\r\n"
                      "--" +
                      boundary +
                      "\r\n"
                      "Content-Type: application/octet-stream;          name=\"notes.bin\"\r\n"
                      "Content-Transfer-Encoding: base64\r\n"
                      "Content-Disposition: attachment;                 filename=\"notes.bin\"\r\n\r\n"
                      "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKiss\r\n"
                      "LQ==\r\n"
                      "--" +
                      boundary +
                      "--\r\n"
                      ".\r\nQUIT\r\n");
  EXPECT_EQ(encoded, std::vector<std::string>{path.string()});
}

TEST(SmtpSession, AUuencodedLineStartingWithADotIsDotStuffed) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.EncodeType = encUUCode;
  const auto path = voltare::testing::TestDir() / "fourteen.txt";
  voltare::testing::WriteFileText(path, "fourteen bytes");  // "." is the length character of 14
  client.MailMessage.Attachments = {path.string()};
  client.Connect();
  client.SendMail();
  client.Disconnect();
  EXPECT_NE(server.Transcript().find("\r\n\r\n..9F]U<G1E96X@8GET97,`\r\n`\r\n--"), std::string::npos)
      << server.Transcript();
}

// The limit of every step but the final one in the test below.
constexpr std::chrono::milliseconds kOrdinaryWait = 500ms;

TEST(SmtpSession, EachStepWaitsAsLongAsTheStandardAllowsIt) {
  // The reply to the final "." may take far longer than any other reply.
  ScriptedServer slowEnd([](ServerConnection& c) {
    if (GreetAndAcceptUntil(c, "DATA").empty()) return;
    c.Send("354 go ahead\r\n");
    c.ReadUntil("\r\n.\r\n");
    std::this_thread::sleep_for(3 * kOrdinaryWait);  // far longer than any other step may take
    c.Send("250 accepted at last\r\n");
    for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) c.Send("250 ok\r\n");
  });
  TSmtpClient client;
  Configure(client, slowEnd.port());
  client.Waits = SmtpWaits::AllOf(kOrdinaryWait);
  client.Waits.dataEnd = 30s;
  client.Connect();
  client.SendMail();
  EXPECT_EQ(client.LastReply(), "250 accepted at last\r\n");
  client.Abort();

  // While the server does not take the message, what it says meanwhile is no
  // progress, and it cannot make us hold more than the bound.
  const auto chatterWhileNotReading = [](std::string chatter) {
    return [chatter](ServerConnection& c) {
      if (GreetAndAcceptUntil(c, "DATA").empty()) return;
      c.Send("354 go ahead\r\n");
      const auto giveUp = std::chrono::steady_clock::now() + 20s;
      while (c.Send(chatter) && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(20ms);
    };
  };
  for (const auto& [chatter, failure] : {std::pair<std::string, std::string>{"x", "Socket send timed out"},
                                         {std::string(64 * 1024, 'x'), "Too Much Data Received"}}) {
    ScriptedServer server(chatterWhileNotReading(chatter));
    TSmtpClient sender;
    Configure(sender, server.port());
    sender.Waits.dataBlock = 500ms;
    sender.MaxLineLength = 256 * 1024;
    sender.MailMessage.Body = {std::string(16 << 20, 'y')};  // far more than the socket buffers hold
    sender.Connect();
    EXPECT_EQ(FailureOf([&] { sender.SendMail(); }), failure);
    sender.Abort();
  }
}

TEST(SmtpSession, UuencodedAttachmentKeepsTheBase64Label) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.EncodeType = encUUCode;
  const auto path = voltare::testing::TestDir() / "cat.txt";
  voltare::testing::WriteFileText(path, "Cat");
  client.MailMessage.Attachments = {path.string()};
  client.Connect();
  client.SendMail();
  client.Disconnect();
  EXPECT_NE(server.Transcript().find("Content-Transfer-Encoding: base64\r\n"
                                     "Content-Disposition: attachment;                 "
                                     "filename=\"cat.txt\"\r\n\r\n#0V%T\r\n`\r\n--"),
            std::string::npos);
}

TEST(SmtpSession, ServerClosingMidReplyEndsTheWaitWithAFailure) {
  ScriptedServer server(SmtpHelloThen(AfterHello::CloseMidReply));  // in the middle of the reply to RSET
  TSmtpClient client;
  Configure(client, server.port());
  int disconnects = 0;
  client.OnDisconnect = [&] { ++disconnects; };
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "Connection Closed");
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(disconnects, 1);
  EXPECT_NO_THROW(client.Disconnect());  // nothing left to close
  EXPECT_EQ(disconnects, 1);
}

TEST(SmtpSession, AServerThatLeftWhileIdleIsNoticedBeforeTheNextCommand) {
  ScriptedServer server(SmtpHelloThen(AfterHello::Close));
  TSmtpClient client;
  Configure(client, server.port());
  int disconnects = 0;
  client.OnDisconnect = [&] { ++disconnects; };
  client.Connect();
  server.Transcript();  // the server has closed its end
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "Not Connected");
  EXPECT_EQ(disconnects, 1);
  EXPECT_NO_THROW(client.Disconnect());
}

TEST(SmtpSession, CancelFromTheEventPumpEndsAWaitOnASilentServer) {
  ScriptedServer server([](ServerConnection& c) { c.WaitSilently(); });
  TSmtpClient client;
  Configure(client, server.port());
  int rounds = 0;
  client.EventPump = [&] {
    if (++rounds > 10) client.Abort();
  };
  try {
    client.Connect();
    FAIL() << "Connect returned";
  } catch (const ESocketAborted& e) {
    EXPECT_STREQ(e.what(), "Socket readln aborted");
  }
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.Busy());
}

// A hostile server's reply that never ends: refused at the cap, or ended by
// a Cancel between its lines, which arrive faster than they are read.
TEST(SmtpSession, AnEndlessReplyEndsAtTheLineCapOrAtACancel) {
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel);
    ScriptedServer server([](ServerConnection& c) {
      c.Send("220 ready\r\n");
      c.ReadLine();
      while (c.Send("250-and more\r\n")) {
      }
    });
    TSmtpClient client;
    Configure(client, server.port());
    int lines = 0;
    client.EventPump = [&] {
      if (cancel && client.LastReply().starts_with("250-") && ++lines == 10) client.Abort();
    };
    EXPECT_EQ(FailureOf([&] { client.Connect(); }),
              cancel ? "Socket readln aborted" : "The server 127.0.0.1 sent more than 100 lines in one reply");
    EXPECT_FALSE(client.Connected());
  }
}

TEST(SmtpSession, OneCancelDuringTheGreetingEndsConnectWithoutWaitingForAQuitReply) {
  ScriptedServer server([](ServerConnection& c) { c.WaitSilently(); });
  TSmtpClient client;
  Configure(client, server.port());
  int rounds = 0;
  client.EventPump = [&] {
    if (++rounds == 10) client.Abort();  // once, as a press of "Cancel"
  };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Socket readln aborted");
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(server.Transcript(), "") << "nothing said to a server that never greeted";
}

TEST(SmtpSession, ASecondConnectDuringAWaitFailsAndKeepsTheCancel) {
  ScriptedServer server([](ServerConnection& c) { c.WaitSilently(); });
  TSmtpClient client;
  Configure(client, server.port());
  std::string nested;
  int rounds = 0;
  client.EventPump = [&] {
    if (++rounds == 10) {
      client.Abort();
      nested = FailureOf([&] { client.Connect(); });
    }
    if (rounds > 10) client.Abort();  // also ends the QUIT that follows
  };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Socket readln aborted");
  EXPECT_EQ(nested, "Already connected");
  EXPECT_FALSE(client.Busy());
}

TEST(SmtpSession, SilentServerFailsAfterTheInactivityLimit) {
  ScriptedServer server(SmtpHelloThen(AfterHello::StaySilent));
  TSmtpClient client;
  Configure(client, server.port());
  client.Waits = SmtpWaits::AllOf(100ms);
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.SendMail(); }), "Socket readln timed out");
  EXPECT_FALSE(client.Busy());
  client.Abort();  // idle: closes without QUIT
  EXPECT_FALSE(client.Connected());
}

TEST(SmtpSession, CancelDuringTheBodyAbortsTheSendAndDropsTheConnectionWithoutQuit) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.MailMessage.Body = {std::string(200000, 'x')};
  int packets = 0;
  client.OnPacketSent = [&] {
    if (++packets == 2) client.Abort();
  };
  client.Connect();
  try {
    client.SendMail();
    FAIL() << "SendMail returned";
  } catch (const ESocketAborted& e) {
    EXPECT_STREQ(e.what(), "Socket send aborted");
  }
  EXPECT_FALSE(client.CancelRequested());  // a send wait clears it
  EXPECT_TRUE(client.Connected());
  client.Disconnect();  // the server is reading message text: no QUIT
  EXPECT_FALSE(client.Connected());
  const std::string transcript = server.Transcript();
  EXPECT_EQ(transcript.find("QUIT"), std::string::npos);
  EXPECT_EQ(transcript.find("\r\n.\r\n"), std::string::npos);  // never delivered
}

TEST(SmtpSession, ProgressCountsTheWholeBody) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.MailMessage.Body = {std::string(100000, 'y')};
  int packets = 0;
  std::uint64_t lastSent = 0;
  client.OnPacketSent = [&] {
    ++packets;
    EXPECT_GE(client.BytesSent(), lastSent);
    lastSent = client.BytesSent();
  };
  client.Connect();
  client.SendMail();
  client.Disconnect();
  EXPECT_GE(packets, 7);  // pieces of at most 16,383 bytes
  // Quoted-printable: 1,333 lines of 75 characters and "=", then the last 25.
  EXPECT_EQ(client.BytesTotal(), 1333u * 78 + 25 + 2);
  EXPECT_EQ(lastSent, client.BytesTotal());
}

TEST(SmtpSession, IdleAbortClosesWithoutQuitAndTheClientConnectsAgain) {
  ScriptedServer server(SmtpScript(), 2);
  TSmtpClient client;
  Configure(client, server.port());
  int disconnects = 0;
  client.OnDisconnect = [&] { ++disconnects; };
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Already connected");
  client.Abort();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(disconnects, 1);
  client.Connect();
  client.SendMail();
  client.Disconnect();
  EXPECT_EQ(disconnects, 2);
  const std::string transcript = server.Transcript();
  EXPECT_EQ(transcript.rfind("HELO tester\r\nHELO tester\r\nRSET\r\n", 0), 0u);
  EXPECT_EQ(transcript.find("QUIT"), transcript.size() - 6);
}

TEST(SmtpSession, RefusedQuitFailsAfterClosing) {
  ScriptedServer server(SmtpScript({{"QUIT", "500 not now\r\n"}}));
  TSmtpClient client;
  Configure(client, server.port());
  client.Connect();
  EXPECT_EQ(FailureOf([&] { client.Disconnect(); }), "500 not now\r\n");
  EXPECT_FALSE(client.Connected());
}

// --- Lookup and connection ---------------------------------------------------

TEST(SmtpConnect, SlowLookupEndsWithTheTimeOutOrACancel) {
  TSmtpClient client;
  Configure(client, 25);
  client.Host = "slow.test";
  const testing::HeldLookup lookup;
  client.Resolver = lookup.Resolver();
  client.TimeOut = 50;
  try {
    client.Connect();
    FAIL() << "Connect returned";
  } catch (const ESocketError& e) {
    EXPECT_STREQ(e.what(), "Host Lookup Timed Out");
  }
  // Without a time limit the user's cancel still ends the lookup.
  client.TimeOut = 0;
  int rounds = 0;
  client.EventPump = [&] {
    if (++rounds == 5) client.Abort();
  };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Host Lookup Canceled");
  EXPECT_FALSE(client.Busy());
}

TEST(SmtpConnect, UnknownHostGivesNullRemoteAddressUnlessTheHandlerFixesIt) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.Host = "unknown.test";
  client.Resolver = [](const std::string& host) -> std::optional<std::uint32_t> {
    if (host == "known.test") return htonl(INADDR_LOOPBACK);
    return std::nullopt;
  };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Null Remote Address");
  int resolved = 0;
  client.OnHostResolved = [&] { ++resolved; };
  client.OnInvalidHost = [&](bool& handled) {
    client.Host = "known.test";
    handled = true;
  };
  client.Host = "unknown.test";
  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(resolved, 1);
  client.Disconnect();
}

TEST(SmtpConnect, HostNamesGoThroughTheSystemResolver) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  client.Host = "localhost";  // answered by the hosts file
  client.TimeOut = 5000;
  client.Connect();
  EXPECT_TRUE(client.Connected());
  client.Disconnect();
}

TEST(SmtpConnect, RefusedConnectionFails) {
  const voltare::testing::RefusingPort refusing;
  ASSERT_NE(refusing.port(), 0);
  TSmtpClient client;
  Configure(client, refusing.port());
  bool failed = false;
  client.OnConnectionFailed = [&] { failed = true; };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Connection Failed");
  EXPECT_TRUE(failed);
  EXPECT_FALSE(client.Busy());
}

// A listener whose queue is full lets new connections hang unanswered.
class BusyListener {
 public:
  BusyListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener_, 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < 8; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
      fillers_.push_back(fd);
    }
    // The queue is full once a filler's handshake is through (the others
    // hang as the client under test will).
    voltare::testing::WaitUntil([this] {
      for (int fd : fillers_) {
        pollfd entry{fd, POLLOUT, 0};
        if (::poll(&entry, 1, 0) == 1) return true;
      }
      return false;
    });
  }
  ~BusyListener() {
    for (int fd : fillers_) ::close(fd);
    ::close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

TEST(SmtpConnect, HangingConnectionEndsWithTheTimeOutOrACancel) {
  BusyListener listener;
  TSmtpClient client;
  Configure(client, listener.port());
  client.TimeOut = 50;
  int failures = 0;
  client.OnConnectionFailed = [&] { ++failures; };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Connection Timed out");
  client.TimeOut = 0;
  int rounds = 0;
  client.EventPump = [&] {
    if (++rounds == 5) client.Abort();
  };
  EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Connection Canceled");
  EXPECT_EQ(failures, 2);
  EXPECT_FALSE(client.Connected());
}

TEST(SmtpConnect, StatusReportsFollowTheReportLevel) {
  ScriptedServer server(SmtpScript());
  TSmtpClient client;
  Configure(client, server.port());
  std::vector<std::string> reports;
  client.OnStatus = [&](std::string_view status) { reports.emplace_back(status); };
  client.ReportLevel = 1;
  client.Connect();
  EXPECT_EQ(reports, std::vector<std::string>{"250 ok\r\n"});  // the HELO reply line
  reports.clear();
  client.ReportLevel = 8;
  client.Disconnect();
  EXPECT_EQ(reports, (std::vector<std::string>{"Transaction", "Writeln", "Write", "Sending Buffer", "ReadLn",
                                               "221 bye\r\n", "Disconnecting", "Request Close Socket"}));
}

}  // namespace
}  // namespace voltare::net
