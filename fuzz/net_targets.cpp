// SPDX-License-Identifier: GPL-3.0-or-later
// Replies of SMTP and HTTP servers. The input is everything the server says
// on each connection; the clients run their whole conversation against it.

#include <chrono>
#include <exception>

#include "fuzz_target.h"
#include "loopback_peer.h"
#include "net/http_client.h"
#include "net/smtp_client.h"
#include "scratch.h"

namespace voltare::fuzz {

namespace {

using namespace std::chrono_literals;

std::optional<std::uint32_t> LoopbackOnly(const std::string&) { return 0x7F000001u; }

// The clients as the program configures them, but bound to the loopback peer.
class FuzzSmtpClient : public net::TSmtpClient {
 protected:
  std::pair<std::string, int> ConnectTarget() const override { return LoopbackPeer::Target(); }
};

class FuzzHttpClient : public net::THttpClient {
 protected:
  std::pair<std::string, int> ConnectTarget() const override { return LoopbackPeer::Target(); }
};

template <typename Client>
void Configure(Client& client) {
  client.Resolver = LoopbackOnly;
  client.InactivityLimit = 2s;
  client.TimeOut = 2000;
}

}  // namespace

void FuzzSmtpReplies(std::span<const std::uint8_t> input) {
  LoopbackPeer peer(input, 1);
  FuzzSmtpClient client;
  Configure(client);
  client.Host = "mail.invalid";
  client.Port = 25;
  client.UserID = "fuzzer";
  client.MailMessage.FromAddress = "me@example.org";
  client.MailMessage.FromName = "Me";
  client.MailMessage.ToAddress = {"You <you@example.org>"};
  client.MailMessage.ToCarbonCopy = {"cc@example.org"};
  client.MailMessage.Subject = "Fuzz";
  client.MailMessage.Body = {"First line", ".second line"};
  try {
    client.Connect();
    client.SendMail();
    client.Disconnect();
  } catch (const std::exception&) {
    // Failures are reported by exceptions; only a crash, hang or leak counts.
  }
}

void FuzzHttpResponse(std::span<const std::uint8_t> input) {
  ClearScratch();
  LoopbackPeer peer(input, 6);  // the first request and up to five redirects
  FuzzHttpClient client;
  Configure(client);
  client.InputFileMode = true;
  client.Body = (ScratchDir() / "body.out").string();
  try {
    client.Get("http://www.invalid/Update.ini");
  } catch (const std::exception&) {
    // As above.
  }
}

}  // namespace voltare::fuzz
