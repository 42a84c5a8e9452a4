// SPDX-License-Identifier: GPL-3.0-or-later
// The composer sending to real servers on 127.0.0.1: a real SMTP server
// (aiosmtpd, which parses what arrived with Python's email package) for what
// the recipient gets, and scripted servers for the failures.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/email/email_form.h"
#include "app/email/email_messages.h"
#include "app/shared/application.h"
#include "app_fixture.h"
#include "peers/peer_files.h"
#include "peers/peers.h"
#include "platform/settings_store.h"
#include "support/smtp_dialogue.h"
#include "support/test_env.h"
#include "transforms/text_crypt.h"

namespace voltare::app {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using net::testing::Lines;
using net::testing::PeerProcess;
using net::testing::ScriptedServer;
using net::testing::ServerConnection;
using net::testing::SmtpScript;
using net::testing::Text;
using platform::SettingValue;
using testing::AfterHello;
using testing::ReadFileBytes;
using testing::SmtpHelloThen;
using testing::TestDir;

constexpr char kSent[] = "information: Your e-mail is successfully sent !";
constexpr char kNote[] =
    "information: Please note: your attachment(s) will not be encrypted.\r\n"
    "You will need to do this manually in KOVA Voltare.";

std::string Failure(const std::string& code, const std::string& text) {
  return "error: KOVA Voltare caused an unexpected system error.\n\nError code: " + code + "\nError message: " + text;
}

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

void WriteEmailSettings(std::initializer_list<std::pair<const char*, SettingValue>> values) {
  auto key = platform::SettingsKey::OpenForWriting(platform::kEmailSettingsKey);
  for (const auto& [name, value] : values) key.Write(name, value);
}

void WriteEmailSettings(int port) {
  WriteEmailSettings({{"Server", SettingValue::String("127.0.0.1")},
                      {"Port", SettingValue::String(std::to_string(port))},
                      {"Username", SettingValue::String("workstation.test")},
                      {"Name", SettingValue::String("Alice Sender")},
                      {"Address", SettingValue::String("alice@example.org")}});
}

class ComposerTest : public ::testing::Test {
 protected:
  ComposerTest() {
    form.Emailer.Waits = net::SmtpWaits::AllOf(20s);
    form.OnStatusChange = [this] { statuses.push_back(form.StatusBar.caption); };
  }

  // The window as the user finds it, with a recipient, a password and a text.
  void Compose(const std::string& to, const std::string& password, const std::string& text) {
    form.Open();
    form.FormShow();
    form.Naar.text = to;
    form.Password.text = password;
    form.Message.SetText(text);
  }

  testing::FakeUser user;
  Application app{user, TestDir()};
  TEmail& form = app.Email;
  std::vector<std::string> statuses;
};

// --- Against a real SMTP server ---------------------------------------------

class ComposerRealServerTest : public ComposerTest {
 protected:
  ComposerRealServerTest() {
    fs::create_directories(inbox_);
    server_ = std::make_unique<PeerProcess>(net::testing::ScriptPath("smtp_server.py"),
                                            std::vector<std::string>{inbox_.string()}, TestDir() / "smtp.log");
    WriteEmailSettings(server_->port());
  }

  fs::path Inbox(const std::string& name) const { return inbox_ / name; }

  // The message as received: header lines, and the text after them.
  std::pair<std::string, std::string> Received(int number = 1) const {
    const std::string message = Text(Inbox(std::to_string(number) + ".eml"));
    const std::size_t end = message.find("\r\n\r\n");
    return {message.substr(0, end + 2), message.substr(end + 4)};
  }

  const fs::path inbox_ = TestDir() / "inbox";
  std::unique_ptr<PeerProcess> server_;
};

TEST_F(ComposerRealServerTest, TheRecipientGetsTheTextEncryptedUnderThePasswordAndTheFooterInClear) {
  const std::string text = "Dear Bob,\n\nthe key is under the mat.\n.and a line with a dot";
  Compose("Bob <bob@example.org>", "s3cret pass", text);
  form.Copy.text = "carol@example.org";
  form.Subject.text = "Tonight";
  std::vector<std::pair<std::int64_t, std::int64_t>> shown;  // position, maximum at each repaint
  form.ProgressBar.OnRepaint = [&] { shown.emplace_back(form.ProgressBar.position(), form.ProgressBar.max()); };
  form.SendButtonClick();

  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{kSent});
  EXPECT_FALSE(form.IsShowing()) << "a sent message closes the window";
  EXPECT_EQ(Lines(Inbox("1.envelope")), (std::vector<std::string>{"helo workstation.test", "from alice@example.org",
                                                                  "rcpt bob@example.org", "rcpt carol@example.org"}));
  const auto [header, body] = Received();
  EXPECT_EQ(header,
            "From: Alice Sender<alice@example.org>\r\n"
            "To: Bob <bob@example.org>\r\n"
            "CC: carol@example.org\r\n"
            "Subject: Tonight\r\n"
            "X-Mailer: KOVA Voltare - https://www.kova-software.example/\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain;                        charset=us-ascii\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n");

  // As the recipient's mail program shows it: one blank line, the Base64
  // line, then the footer as its own entry.
  const std::string seen = Text(Inbox("1.part0"));
  const std::string plaintext = "Dear Bob,\r\n\r\nthe key is under the mat.\r\n.and a line with a dot";
  ASSERT_EQ(seen.substr(0, 2), "\r\n");
  const std::size_t lineEnd = seen.find("\r\n", 2);
  const std::string encrypted = seen.substr(2, lineEnd - 2);
  EXPECT_EQ(encrypted.size(), 4 * ((plaintext.size() + 2) / 3));
  EXPECT_EQ(encrypted.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
            std::string::npos);
  EXPECT_EQ(transforms::BlowfishDecryptString(encrypted, "s3cret pass"), plaintext);
  EXPECT_NE(transforms::BlowfishDecryptString(encrypted, "wrong pass"), plaintext);
  EXPECT_EQ(seen.substr(lineEnd + 2),
            "\r\n\r\nThis e-mail message is encrypted with KOVA Voltare 2.50.\r\n"
            "You can download the latest version of KOVA Voltare at: https://www.kova-software.example/download/\r\n");
  EXPECT_EQ(body.find("key is under"), std::string::npos) << "no clear text on the wire";
  EXPECT_EQ(body.find("s3cret"), std::string::npos) << "the password is not sent";

  EXPECT_EQ(statuses, (std::vector<std::string>{"Connected", "Not connected"}));
  // The body's transfer moves the bar to its end; the end of the send puts it back.
  ASSERT_GE(shown.size(), 2u);
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                          [](const auto& step) { return step.second > 0 && step.first == step.second; }));
  EXPECT_EQ(shown.back().first, 0);
  EXPECT_EQ(form.ProgressBar.position(), 0);
  EXPECT_EQ(user.busyShown, 1);
  EXPECT_EQ(user.busyDepth, 0);
  EXPECT_TRUE(form.Password.text.empty()) << "the closed window forgets the password";
  EXPECT_TRUE(form.SendButton.enabled);
}

TEST_F(ComposerRealServerTest, ALongTextTravelsInShortLinesAndStillDecryptsAsOneLine) {
  std::string text;
  while (text.size() < 4388) text += "Line " + std::to_string(text.size()) + " of a long letter.\n";
  Compose("bob@example.org", "long pass", text);
  form.SendButtonClick();
  ASSERT_EQ(user.MessageLog(), std::vector<std::string>{kSent});

  const auto [header, body] = Received();
  for (std::size_t start = 0, end; start < body.size(); start = end + 2) {
    end = body.find("\r\n", start);
    ASSERT_LE(end - start, 76u) << "a relay would fold this line: " << body.substr(start, end - start);
  }
  const std::string shown = Text(Inbox("1.part0"));
  const std::string encrypted = shown.substr(2, shown.find("\r\n", 2) - 2);
  std::string crlfText = text;
  for (std::size_t at = 0; (at = crlfText.find('\n', at)) != std::string::npos; at += 2) crlfText.insert(at, "\r");
  EXPECT_EQ(transforms::BlowfishDecryptString(encrypted, "long pass"), crlfText);
}

TEST_F(ComposerRealServerTest, WithXChaChaChosenTheBodyIsSealedAndTheNoteNamesTheFirstReleaseThatOpensIt) {
  platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteString("Algorithm", "3");
  Compose("bob@example.org", "s3cret pass", "Dear Bob,\nthe key is under the mat.");
  form.SendButtonClick();
  ASSERT_EQ(user.MessageLog(), std::vector<std::string>{kSent});
  EXPECT_EQ(statuses, (std::vector<std::string>{"Deriving the key...", "Not connected", "Connected", "Not connected"}));

  const std::string seen = Text(Inbox("1.part0"));
  const std::size_t lineEnd = seen.find("\r\n", 2);
  const std::string line = seen.substr(2, lineEnd - 2);
  ASSERT_TRUE(transforms::IsSealedText(line));
  EXPECT_EQ(seen.substr(lineEnd + 2),
            "\r\n\r\nThis e-mail message is encrypted with KOVA Voltare 2.50 using XChaCha20-Poly1305.\r\n"
            "Opening it needs KOVA Voltare for Linux 2.50 or later.\r\n"
            "You can download the latest version of KOVA Voltare at: https://www.kova-software.example/download/\r\n");
  // The recipient copies the line and decrypts the clipboard.
  user.clipboard = line;
  user.EnterPassword("s3cret pass");
  app.MainForm.Run("DecryptClipboard1");
  EXPECT_EQ(user.clipboard, "Dear Bob,\r\nthe key is under the mat.");
}

TEST_F(ComposerRealServerTest, EmptyTextAndEmptyCopyFieldsStillSendTheFooterAndAnEmptyCcLine) {
  Compose("bob@example.org", "pw", "");
  form.SendButtonClick();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{kSent});
  EXPECT_EQ(Lines(Inbox("1.envelope")),
            (std::vector<std::string>{"helo workstation.test", "from alice@example.org", "rcpt bob@example.org"}));
  const auto [header, body] = Received();
  EXPECT_NE(header.find("\r\nCC: \r\n"), std::string::npos) << header;
  EXPECT_EQ(header.find("Subject"), std::string::npos) << "an empty subject has no line";
  EXPECT_EQ(Text(Inbox("1.part0")), "\r\n\r\n" + MessageFooter() + "\r\n") << "the first body line is empty";
}

TEST_F(ComposerRealServerTest, AttachmentsTravelUnencryptedAfterANoteAndDecodeToTheOriginalFiles) {
  const fs::path binary = TestDir() / "files" / "photo.bin";
  const fs::path text = TestDir() / "files" / "notes with spaces.txt";
  fs::create_directories(binary.parent_path());
  const std::vector<std::uint8_t> binaryBytes = RandomBytes(100000, 7);
  testing::WriteFileBytes(binary, binaryBytes);
  testing::WriteFileText(text, ".\r\nfirst\r\n.\r\n");

  Compose("bob@example.org", "pw", "see attached");
  user.ChooseFiles({binary, text});
  form.AttachMentButtonClick();
  form.SendButtonClick();

  EXPECT_EQ(user.MessageLog(), (std::vector<std::string>{kNote, kSent}));
  EXPECT_EQ(Lines(Inbox("1.parts")),
            (std::vector<std::string>{"0\t\ttext/plain", "1\tphoto.bin\tapplication/octet-stream",
                                      "2\tnotes with spaces.txt\tapplication/octet-stream"}));
  EXPECT_EQ(ReadFileBytes(Inbox("1.part1")), binaryBytes);
  EXPECT_EQ(Text(Inbox("1.part2")), ".\r\nfirst\r\n.\r\n");
  const std::string firstPart = Text(Inbox("1.part0"));
  EXPECT_EQ(transforms::BlowfishDecryptString(firstPart.substr(0, firstPart.find("\r\n")), "pw"), "see attached");
  EXPECT_NE(firstPart.find(MessageFooter()), std::string::npos);
}

TEST_F(ComposerRealServerTest, ASecondPressOfSendWhileSendingDoesNothing) {
  Compose("bob@example.org", "pw", "only once");
  int pressed = 0;
  bool sendDisabled = false;
  form.Emailer.EventPump = [&] {
    if (form.StatusBar.caption == "Connected" && pressed++ == 0) {
      sendDisabled = !form.SendButton.enabled;
      form.SendButtonClick();
    }
  };
  form.SendButtonClick();

  EXPECT_GT(pressed, 0) << "the send waited for the network at least once after HELO";
  EXPECT_TRUE(sendDisabled);
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{kSent});
  EXPECT_TRUE(fs::exists(Inbox("1.envelope")));
  EXPECT_FALSE(fs::exists(Inbox("2.eml")));
  EXPECT_TRUE(form.SendButton.enabled);
}

TEST_F(ComposerRealServerTest, ALineBreakInAFieldIsRefusedBeforeAnyMessageGoesOut) {
  Compose("bob@example.org", "pw", "text");
  form.Subject.text = "Hello\r\nBcc: eve@example.org";
  form.SendButtonClick();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Line break not allowed in Subject")});
  EXPECT_TRUE(form.IsShowing());
  EXPECT_EQ(form.Subject.text, "Hello\r\nBcc: eve@example.org") << "what the user typed stays";
  EXPECT_FALSE(form.Emailer.Connected());
  EXPECT_EQ(form.StatusBar.caption, "Not connected");
  EXPECT_EQ(user.busyDepth, 0);
  EXPECT_FALSE(fs::exists(Inbox("1.eml")));
}

// --- Failures, through scripted servers -------------------------------------

TEST_F(ComposerTest, RefusedGreetingHeloAndMessageShowTheServersTextAndKeepTheWindow) {
  struct Case {
    ScriptedServer::Script script;
    std::string text;
  };
  const std::vector<Case> cases{
      {SmtpScript({}, "554 no service here\r\n"), "554 no service here\r\n"},
      {SmtpScript({{"HELO", "501 who are you\r\n"}}), "Authentication failed"},
      {SmtpScript({{"MAIL", "550 unknown sender\r\n"}}), "550 unknown sender\r\n"},
      {SmtpScript({{".", "554 rejected as spam\r\n"}}), "554 rejected as spam\r\n"},
  };
  for (const Case& c : cases) {
    ScriptedServer server(c.script);
    WriteEmailSettings(server.port());
    Compose("bob@example.org", "pw", "text");
    user.messages.clear();
    statuses.clear();
    form.SendButtonClick();
    EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", c.text)});
    EXPECT_TRUE(form.IsShowing());
    EXPECT_EQ(form.Naar.text, "bob@example.org");
    EXPECT_EQ(form.Password.text, "pw") << "the window keeps what was entered";
    EXPECT_FALSE(form.Emailer.Connected());
    EXPECT_EQ(form.StatusBar.caption, "Not connected");
    EXPECT_EQ(user.busyDepth, 0);
    const std::string transcript = server.Transcript();
    EXPECT_EQ(transcript.find("DATA\r\n") != std::string::npos, c.text.starts_with("554 rejected"));
  }
}

TEST_F(ComposerTest, ARefusedRecipientIsNoErrorAndTheOthersStillGetTheMessage) {
  ScriptedServer server(SmtpScript({{"RCPT TO:<nobody@", "550 no such user\r\n"}}));
  WriteEmailSettings(server.port());
  Compose("nobody@example.org", "pw", "text");
  form.Copy.text = "carol@example.org";
  form.SendButtonClick();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{kSent});
  const std::string transcript = server.Transcript();
  EXPECT_NE(transcript.find("RCPT TO:<carol@example.org>\r\n"), std::string::npos);
  EXPECT_NE(transcript.find("QUIT\r\n"), std::string::npos);
}

TEST_F(ComposerTest, AServerClosingMidReplyAndARefusedConnectionAreReported) {
  {
    ScriptedServer server(SmtpHelloThen(AfterHello::CloseMidReply));  // in the middle of the reply to RSET
    WriteEmailSettings(server.port());
    Compose("bob@example.org", "pw", "text");
    form.SendButtonClick();
    EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Connection Closed")});
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connected", "Not connected"}));
  }
  {
    const testing::RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    WriteEmailSettings(refusing.port());
    user.messages.clear();
    form.SendButtonClick();
    EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure(std::to_string(ECONNREFUSED), "Connection Failed")});
  }
}

TEST_F(ComposerTest, CancelDuringAWaitEndsTheSendAndResetsTheProgress) {
  ScriptedServer server(SmtpHelloThen(AfterHello::StaySilent));  // never answers RSET
  WriteEmailSettings(server.port());
  Compose("bob@example.org", "pw", "text");
  int waits = 0;
  form.Emailer.EventPump = [&] {
    if (form.StatusBar.caption == "Connected" && ++waits == 5) form.CancelButtonClick();
  };
  form.ProgressBar.setPosition(40);
  form.SendButtonClick();

  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Socket readln aborted")});
  EXPECT_TRUE(form.IsShowing());
  EXPECT_FALSE(form.Emailer.Connected());
  EXPECT_EQ(form.ProgressBar.position(), 0);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Connected", "Not connected"}));
  EXPECT_EQ(user.busyDepth, 0);
  EXPECT_TRUE(form.SendButton.enabled) << "the window can send again";
  EXPECT_EQ(server.Transcript().find("QUIT"), std::string::npos) << "no goodbye to a server we gave up on";
}

TEST_F(ComposerTest, ASilentServerEndsTheSendAfterTheInactivityLimitWithoutAGoodbye) {
  ScriptedServer server(SmtpHelloThen(AfterHello::StaySilent));
  WriteEmailSettings(server.port());
  Compose("bob@example.org", "pw", "text");
  form.Emailer.Waits = net::SmtpWaits::AllOf(200ms);
  form.SendButtonClick();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Socket readln timed out")});
  EXPECT_FALSE(form.Emailer.Connected());
  EXPECT_EQ(server.Transcript().find("QUIT"), std::string::npos);
}

TEST_F(ComposerTest, CancelWhileNotConnectedOnlyResetsTheProgress) {
  form.ProgressBar.setPosition(30);
  form.CancelButtonClick();
  EXPECT_EQ(form.ProgressBar.position(), 0);
  EXPECT_TRUE(user.messages.empty());
  EXPECT_TRUE(statuses.empty());
}

// --- Checks before anything is sent -----------------------------------------

TEST_F(ComposerTest, RecipientPasswordAndSettingsAreCheckedInOrder) {
  Compose("", "", "text");
  form.SendButtonClick();
  EXPECT_EQ(form.ActiveControl, &form.Naar);
  form.Naar.text = "bob@example.org";
  form.SendButtonClick();
  EXPECT_EQ(form.ActiveControl, &form.Password);
  form.Password.text = "pw";

  // The installer's store has the key without values: the port is no number.
  form.SendButtonClick();
  platform::StoredKey other{"\\Software\\Other", {}};
  platform::SaveSettingsStore(std::span<const platform::StoredKey>(&other, 1));
  form.SendButtonClick();
  EXPECT_EQ(user.MessageLog(),
            (std::vector<std::string>{"error: You have not specified a recipient.", "error: Please fill in a password.",
                                      Failure("-1", "'' is not a valid integer value"),
                                      "error: KOVA Voltare could not open the settings file " +
                                          (TestDir() / "config" / "settings.conf").string() +
                                          ".\n\nPlease check that you may read and write it."}));
  EXPECT_EQ(user.busyShown, 0) << "the busy pointer only after the settings were read";
  EXPECT_EQ(user.busyDepth, 0);
}

TEST_F(ComposerTest, ASettingOfAnotherTypeIsReportedWithItsName) {
  WriteEmailSettings(25);
  WriteEmailSettings({{"Server", SettingValue::Dword(7)}});
  Compose("bob@example.org", "pw", "text");
  form.SendButtonClick();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Invalid data type for 'Server'")});
}

// --- Attachments and the window's own state ---------------------------------

TEST_F(ComposerTest, AttachmentsAreAddedOnceSkippedWhenMissingAndRemovedBySelection) {
  const std::string a = testing::AppFixture::MakeFile("a.txt");
  const std::string b = testing::AppFixture::MakeFile("sub/b.dat");
  Compose("bob@example.org", "pw", "");
  EXPECT_FALSE(form.Attachments.visible || form.Splitter.visible);

  user.CancelOpen();
  form.AttachMentButtonClick();
  EXPECT_FALSE(form.Attachments.visible);

  user.ChooseFiles({a, TestDir() / "missing.txt", b, a});
  form.AttachMentButtonClick();
  ASSERT_EQ(user.openRequests.size(), 2u);
  EXPECT_EQ(user.openRequests[1].title, "Please select an attachment:");
  EXPECT_EQ(user.openRequests[1].filter, "All Files (*.*)|*.*");
  EXPECT_TRUE(user.openRequests[1].options & OpenAllowMultiSelect);
  EXPECT_TRUE(form.Attachments.visible && form.Splitter.visible);
  EXPECT_EQ(form.AttachmentPaths, (std::vector<std::string>{a, b}));
  ASSERT_EQ(form.Attachments.items.size(), 2u);
  EXPECT_EQ(form.Attachments.items[0].caption, "a.txt");
  EXPECT_EQ(form.Attachments.items[1].caption, "b.dat");

  form.Remove1Click();  // nothing selected
  EXPECT_EQ(form.AttachmentPaths.size(), 2u);
  form.Attachments.items[0].selected = true;
  form.Remove1Click();
  EXPECT_EQ(form.AttachmentPaths, std::vector<std::string>{b});
  EXPECT_EQ(form.Attachments.items[0].caption, "b.dat");
  EXPECT_TRUE(form.Attachments.visible);
  form.Attachments.items[0].selected = true;
  form.Remove1Click();
  EXPECT_TRUE(form.AttachmentPaths.empty());
  EXPECT_FALSE(form.Attachments.visible || form.Splitter.visible);

  // Only missing files: the list stays hidden.
  user.ChooseFiles({TestDir() / "missing.txt"});
  form.AttachMentButtonClick();
  EXPECT_FALSE(form.Attachments.visible);
  EXPECT_TRUE(user.messages.empty());
}

TEST_F(ComposerTest, ShowingEmptiesEveryFieldAndClosingForgetsThePassword) {
  const std::string a = testing::AppFixture::MakeFile("a.txt");
  Compose("bob@example.org", "pw", "line one\r\nline two");
  form.Copy.text = "c";
  form.BCopy.text = "d";
  form.Subject.text = "s";
  user.ChooseFiles({a});
  form.AttachMentButtonClick();
  EXPECT_EQ(form.Message.Text(), "line one\r\nline two");

  form.Exit1Click();
  EXPECT_FALSE(form.IsShowing());
  EXPECT_TRUE(form.Password.text.empty());
  EXPECT_TRUE(form.Message.lines.empty());
  EXPECT_TRUE(form.AttachmentPaths.empty());

  form.Open();
  form.FormShow();
  EXPECT_TRUE(form.Naar.text.empty() && form.Copy.text.empty() && form.BCopy.text.empty() && form.Subject.text.empty());
  EXPECT_TRUE(form.Message.lines.empty());
  EXPECT_TRUE(form.Attachments.items.empty());
  EXPECT_FALSE(form.Attachments.visible);
  EXPECT_EQ(form.ActiveControl, &form.Message);
  EXPECT_EQ(form.Password.passwordChar, '*');
  EXPECT_EQ(form.Caption, "KOVA E-mail Encrypt");
}

TEST(MemoTest, TextJoinsLinesWithCrLfAndSetTextSplitsAnyLineBreak) {
  Memo memo;
  memo.SetText("a\nb\r\nc\rd");
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(memo.Text(), "a\r\nb\r\nc\r\nd");
  memo.SetText("ends with a break\n");
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"ends with a break", ""}));
  EXPECT_EQ(memo.Text(), "ends with a break\r\n");
  memo.SetText("");
  EXPECT_TRUE(memo.lines.empty());
  EXPECT_EQ(memo.Text(), "");
}

}  // namespace
}  // namespace voltare::app
