// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare-cli configuring the e-mail settings, sending an encrypted
// message to a real SMTP server and looking for an update on a real HTTP
// server, all on 127.0.0.1.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "peers/peer_files.h"
#include "peers/peers.h"
#include "peers/scoped_env.h"
#include "support/test_env.h"
#include "support/wait.h"
#include "transforms/text_crypt.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::net::testing::Lines;
using voltare::net::testing::PeerProcess;
using voltare::net::testing::ScopedEnv;
using voltare::net::testing::ScriptPath;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;
using voltare::testing::WriteFileText;

// The lines of a file that a detached process writes; waits for them a while.
// The opener's shell creates the file before it writes the line: wait for the
// line's end, not for the file.
std::vector<std::string> LinesOnceWritten(const fs::path& path) {
  voltare::testing::WaitUntil([&] { return fs::exists(path) && !Lines(path).empty(); }, std::chrono::seconds(10));
  return Lines(path);
}

class EmailCliTest : public ::testing::Test {
 protected:
  EmailCliTest() {
    fs::create_directories(inbox_);
    fs::create_directories(TestDir() / "work");
    server_ = std::make_unique<PeerProcess>(ScriptPath("smtp_server.py"), std::vector<std::string>{inbox_.string()},
                                            TestDir() / "smtp.log");
    WriteFileText(TestDir() / "work" / "pw.txt", "correct horse\n");
  }

  CliRun Configure() {
    return RunCli({"email-config", "--server", "127.0.0.1", "--port", std::to_string(server_->port()), "--username",
                   "workstation.test", "--name", "Alice Sender", "--address", "alice@example.org"});
  }

  const fs::path inbox_ = TestDir() / "inbox";
  std::unique_ptr<PeerProcess> server_;
};

TEST_F(EmailCliTest, ConfigureThenSendAnEncryptedMessageWithAnAttachment) {
  const CliRun configured = Configure();
  ASSERT_EQ(configured.status, 0) << configured.err;
  EXPECT_EQ(configured.out + configured.err, "");

  WriteFileText(TestDir() / "work" / "note.txt", "Meet at noon.\nBring the plan.\n");
  std::vector<std::uint8_t> plan(5000);
  std::mt19937 generator(3);
  for (auto& byte : plan) byte = static_cast<std::uint8_t>(generator());
  WriteFileBytes(TestDir() / "work" / "plan.bin", plan);

  const CliRun sent =
      RunCli({"--password-file", "pw.txt", "mail", "--to", "Bob <bob@example.org>", "--bcc", "hidden@example.org",
              "--subject", "Tonight", "--message-file", "note.txt", "--attach", "plan.bin"});
  ASSERT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(sent.out,
            "Please note: your attachment(s) will not be encrypted.\nYou will need to do this manually in "
            "KOVA Voltare.\nYour e-mail is successfully sent !\n");

  EXPECT_EQ(Lines(inbox_ / "1.envelope"),
            (std::vector<std::string>{"helo workstation.test", "from alice@example.org", "rcpt bob@example.org",
                                      "rcpt hidden@example.org"}));
  const std::string message = ReadText(inbox_ / "1.eml");
  EXPECT_NE(message.find("\r\nSubject: Tonight\r\n"), std::string::npos);
  EXPECT_EQ(message.find("hidden@"), std::string::npos) << "a blind copy is not in the header";
  EXPECT_EQ(message.find("Meet at noon"), std::string::npos);
  const std::string text = ReadText(inbox_ / "1.part0");
  EXPECT_EQ(voltare::transforms::BlowfishDecryptString(text.substr(0, text.find("\r\n")), "correct horse"),
            "Meet at noon.\r\nBring the plan.\r\n");
  EXPECT_EQ(ReadFileBytes(inbox_ / "1.part1"), plan);
}

TEST_F(EmailCliTest, IncompleteSettingsStopTheMailBeforeThePasswordIsAsked) {
  const CliRun partial = RunCli({"email-config", "--server", "127.0.0.1", "--port", "x"});
  EXPECT_EQ(partial.status, 1);
  EXPECT_EQ(partial.err, "No port number set !\n") << "the port keeps only its digits: none";

  const CliRun refused = RunCli({"mail", "--to", "bob@example.org", "--message", "hi"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "Your e-mail preferences are not filled in correctly.\n"
            "voltare-cli: fill them in with 'voltare-cli email-config' (see its --help)\n");
  EXPECT_FALSE(fs::exists(inbox_ / "1.eml"));

  ASSERT_EQ(Configure().status, 0);
  const CliRun noPassword = RunCli({"mail", "--to", "bob@example.org", "--message", "hi"});
  EXPECT_EQ(noPassword.status, 1);
  EXPECT_NE(noPassword.err.find("Please fill in a password.\n"), std::string::npos) << noPassword.err;
  EXPECT_FALSE(fs::exists(inbox_ / "1.eml"));

  const CliRun missing = RunCli({"--password-file", "pw.txt", "mail", "--to", "b@example.org", "--attach", "nope"});
  EXPECT_EQ(missing.status, 2) << "an attachment that does not exist is a usage error";
}

TEST_F(EmailCliTest, AFailedChangeOfTheEmailSettingsStoresNoneOfIt) {
  ASSERT_EQ(Configure().status, 0);
  const CliRun before = RunCli({"config", "show"});
  ASSERT_NE(before.out.find("Alice Sender"), std::string::npos) << before.out;
  const CliRun failed = RunCli({"email-config", "--server", "other.example", "--name", "New Name", "--port", "x"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "No port number set !\n");
  EXPECT_EQ(RunCli({"config", "show"}).out, before.out);
}

// Every byte of the message as it went over the wire is 7-bit.
bool SevenBit(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80U) == 0; });
}

TEST_F(EmailCliTest, NonAsciiHeadersAndAnyAttachmentNameAreReadBackAsTyped) {
  ASSERT_EQ(Configure().status, 0);
  ASSERT_EQ(RunCli({"email-config", "--name", "Zo\xc3\xab \xc3\x85ngstr\xc3\xb6m"}).status, 0);
  // Long enough for several encoded words, with a two-byte letter across a 45-byte cut.
  std::string subject = "Caf\xc3\xa9 d\xc3\xa9j\xc3\xa0 vu ";
  for (int i = 0; i < 30; ++i) subject += "\xc3\xbc";
  // The longest: a name of quotes and letters outside ASCII near the 255
  // bytes a file name may have, which would make lines of over 1,000.
  std::string longest(200, '"');
  for (int i = 0; i < 25; ++i) longest += "\xc3\xa9";
  const std::vector<std::string> names{"a\"b\\caf\xc3\xa9.txt", "na\xc3\xafve r\xc3\xa9sum\xc3\xa9.txt",
                                       "it's (plain) ~ok.txt", longest + ".txt"};
  std::vector<std::string> attach;
  for (const std::string& name : names) {
    WriteFileText(TestDir() / "work" / name, name);
    attach.insert(attach.end(), {"--attach", name});
  }
  std::vector<std::string> command{"--password-file",
                                   "pw.txt",
                                   "mail",
                                   "--to",
                                   "J\xc3\xbcrgen Gro\xc3\x9f:jurgen@example.org",
                                   "--cc",
                                   "\"\xc3\x86r\xc3\xb8, \xc3\x98st\" <aero@example.org>",
                                   "--subject",
                                   subject,
                                   "--message",
                                   "hi"};
  command.insert(command.end(), attach.begin(), attach.end());
  const CliRun sent = RunCli(command);
  ASSERT_EQ(sent.status, 0) << sent.err;

  EXPECT_TRUE(SevenBit(ReadText(inbox_ / "1.eml")));
  for (const std::string& line : Lines(inbox_ / "1.eml")) {
    EXPECT_LE(line.size(), line.find("name*") != std::string::npos ? 78u + 1 : 998u + 1) << line;  // + its CR
  }
  EXPECT_EQ(
      Lines(inbox_ / "1.headers"),
      (std::vector<std::string>{"Subject\t" + subject, "From\tZo\xc3\xab \xc3\x85ngstr\xc3\xb6m\talice@example.org",
                                "To\tJ\xc3\xbcrgen Gro\xc3\x9f\tjurgen@example.org",
                                "CC\t\xc3\x86r\xc3\xb8, \xc3\x98st\taero@example.org"}));
  const std::vector<std::string> parts = Lines(inbox_ / "1.parts");
  ASSERT_EQ(parts.size(), names.size() + 1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(parts[i + 1], std::to_string(i + 1) + "\t" + names[i] + "\tapplication/octet-stream");
    EXPECT_EQ(ReadText(inbox_ / ("1.part" + std::to_string(i + 1))), names[i]);
  }
}

TEST_F(EmailCliTest, AnAddressOutsideAsciiIsRefusedAndNothingIsSent) {
  ASSERT_EQ(Configure().status, 0);
  const std::vector<std::pair<std::string, std::string>> cases{
      {"--to", "j\xc3\xbcrgen@example.org"},
      {"--cc",
       "Bob <b\xc3\xb8"
       "b@example.org>"},
      {"--bcc", "x@ex\xc3\xa4mple.org"},
  };
  for (const auto& [option, entry] : cases) {
    std::vector<std::string> command{"--password-file", "pw.txt", "mail", "--message", "hi", option, entry};
    if (option != "--to") command.insert(command.end(), {"--to", "bob@example.org"});
    const CliRun refused = RunCli(command);
    EXPECT_EQ(refused.status, 1) << entry;
    const std::string address = entry.substr(entry.find('<') == std::string::npos ? 0 : entry.find('<') + 1);
    EXPECT_NE(
        refused.err.find("Letters outside ASCII not allowed in the address " + address.substr(0, address.find('>'))),
        std::string::npos)
        << refused.err;
  }
  EXPECT_FALSE(fs::exists(inbox_ / "1.eml"));
}

// A named pipe whose writer waits for the reader; gives up after a while
// should the reader never come.
void WriteIntoPipeLater(const fs::path& pipe, const std::string& text) {
  using voltare::cli::testing::Quoted;
  const fs::path source = pipe.string() + ".source";
  WriteFileText(source, text);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string command =
      "timeout 30 dd status=none conv=notrunc if=" + Quoted(source.string()) + " of=" + Quoted(pipe.string()) + " &";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

std::string WholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(EmailCliTest, StreamsAreAttachedToTheirEndWhileDevicesAndSocketsAreRefused) {
  ASSERT_EQ(Configure().status, 0);
  WriteIntoPipeLater(TestDir() / "work" / "pipe", "stream data\n");
  const std::string socketPath = "/tmp/voltare-attach-" + std::to_string(::getpid()) + ".sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  struct Case {
    std::string attach;
    std::string contents;  // what arrives; empty: refused with `refusal`
    std::string refusal;
  };
  const std::vector<Case> cases{
      {"pipe", "stream data\n", ""},
      {"/proc/version", WholeFile("/proc/version"), ""},
      {"/dev/null", "", "Cannot attach /dev/null: it is a device, not a file"},
      {socketPath, "", "Cannot attach " + socketPath + ": it is a socket, not a file"},
  };
  int sent = 0;
  for (const Case& c : cases) {
    const CliRun run = RunCli(
        {"--password-file", "pw.txt", "mail", "--to", "bob@example.org", "--message", "hi", "--attach", c.attach});
    if (c.refusal.empty()) {
      ASSERT_EQ(run.status, 0) << c.attach << ": " << run.err;
      const std::string n = std::to_string(++sent);
      EXPECT_EQ(ReadText(inbox_ / (n + ".part1")), c.contents) << c.attach;
    } else {
      EXPECT_EQ(run.status, 1) << c.attach;
      EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
      EXPECT_FALSE(fs::exists(inbox_ / (std::to_string(sent + 1) + ".eml"))) << c.attach;
    }
  }
  ::close(listener);
  ::unlink(socketPath.c_str());
}

// --- check-update -------------------------------------------------------------

class CheckUpdateCliTest : public ::testing::Test {
 protected:
  CheckUpdateCliTest() {
    fs::create_directories(site_);
    server_ = std::make_unique<PeerProcess>(ScriptPath("http_server.py"), std::vector<std::string>{site_.string()},
                                            TestDir() / "http.log");
    address_.emplace("VOLTARE_UPDATE_URL", "http://127.0.0.1:" + std::to_string(server_->port()) + "/Update.ini");
    // A stand-in for the desktop's opener, so that Yes opens nothing real.
    const fs::path bin = TestDir() / "bin";
    fs::create_directories(bin);
    WriteFileText(bin / "xdg-open",
                  "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + (TestDir() / "opened.txt").string() + "\"\n");
    ::chmod((bin / "xdg-open").c_str(), 0755);
    path_.emplace("PATH", bin.string() + ":" + std::getenv("PATH"));
  }

  const fs::path site_ = TestDir() / "site";
  std::unique_ptr<PeerProcess> server_;
  std::optional<ScopedEnv> address_;
  std::optional<ScopedEnv> path_;
  ScopedEnv online_{"VOLTARE_ASSUME_ONLINE", "1"};
};

TEST_F(CheckUpdateCliTest, ANewerReleaseIsOfferedAndAnsweredFromTheCommandLine) {
  WriteFileText(site_ / "Update.ini", "[VOLTUPDATE]\nNumber=3\nVersionNumber=2.60\nDescription=New\n");
  const CliRun declined = RunCli({"--no", "check-update"});
  EXPECT_EQ(declined.status, 0) << declined.err;
  EXPECT_FALSE(fs::exists(TestDir() / "opened.txt"));
  // Answered by --no, yet the user still learns that a newer release exists.
  EXPECT_NE(declined.err.find("KOVA Voltare 2.60 is available to download"), std::string::npos) << declined.err;
  EXPECT_TRUE(declined.err.ends_with(" [y/n] n (--no)\n")) << declined.err;

  const CliRun accepted = RunCli({"--yes", "check-update"});
  EXPECT_EQ(accepted.status, 0) << accepted.err;
  EXPECT_EQ(LinesOnceWritten(TestDir() / "opened.txt"), std::vector<std::string>{"https://www.kova-software.example/"});

  const CliRun unanswered = RunCli({"check-update"});
  EXPECT_EQ(unanswered.status, 2);
  EXPECT_NE(unanswered.err.find("KOVA Voltare 2.60 is available to download"), std::string::npos);
}

TEST_F(CheckUpdateCliTest, NothingNewerNoConnectionAndAFailedFetch) {
  WriteFileText(site_ / "Update.ini", "[VOLTUPDATE]\nNumber=2\n");
  const CliRun same = RunCli({"check-update"});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "No newer release is announced.\n");

  {
    const ScopedEnv offline("VOLTARE_ASSUME_ONLINE", "0");
    const CliRun skipped = RunCli({"check-update"});
    EXPECT_EQ(skipped.status, 1);
    EXPECT_EQ(skipped.err, "voltare-cli: no network connection (no default route); nothing was checked\n");
  }

  const ScopedEnv closed("VOLTARE_UPDATE_URL", "http://127.0.0.1:1/Update.ini");
  const CliRun failed = RunCli({"check-update"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err,
            "KOVA Voltare caused an unexpected system error.\n\nError code: 111\nError message: Connection Failed\n");

  // A failure the desktop leaves unannounced at its start is still told here.
  const ScopedEnv invalid("VOLTARE_UPDATE_URL", "http://127.0.0.1:99999/Update.ini");
  const CliRun refused = RunCli({"check-update"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "voltare-cli: could not fetch the update description from http://127.0.0.1:99999/Update.ini\n");
}

TEST_F(CheckUpdateCliTest, AnyStatusButTwoHundredAndAnAddressWithoutPlainHttpFailTheCheck) {
  const std::string server = "127.0.0.1:" + std::to_string(server_->port());
  const std::string notFetched = "voltare-cli: could not fetch the update description from ";
  const std::string noTls =
      ": only http:// addresses can be fetched (there is no TLS in this program), and no other address is "
      "fetched as plain http:// instead.\n";
  struct Case {
    std::string address;
    std::string err;
  };
  const std::vector<Case> cases{
      {"http://" + server + "/Update.ini", notFetched + "http://" + server + "/Update.ini\n"},  // 404
      {"http://" + server + "/status/500", notFetched + "http://" + server + "/status/500\n"},
      {"http://" + server + "/status/203", notFetched + "http://" + server + "/status/203\n"},
      {"https://" + server + "/Update.ini",
       "Cannot check for a newer release at https://" + server + "/Update.ini" + noTls},
      {"HTTPS://" + server + "/Update.ini",
       "Cannot check for a newer release at HTTPS://" + server + "/Update.ini" + noTls},
  };
  for (const Case& c : cases) {
    const ScopedEnv address("VOLTARE_UPDATE_URL", c.address);
    const CliRun run = RunCli({"--yes", "check-update"});
    EXPECT_EQ(run.status, 1) << c.address;
    EXPECT_EQ(run.out, "") << c.address;
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_FALSE(fs::exists(TestDir() / "opened.txt")) << "an error page's announcement is never taken";
}

}  // namespace
