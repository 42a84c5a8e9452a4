// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scripted SMTP server conversations the e-mail tests share: a greeting,
// "250 ok" to the client's first commands, then the misbehaviour under test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "peers/peers.h"

namespace voltare::testing {

using net::testing::ScriptedServer;
using net::testing::ServerConnection;

// Greets with "220 ready" and answers "250 ok" to every command until one
// that starts with `command`, which it returns unanswered (empty when the
// client left first).
inline std::string GreetAndAcceptUntil(ServerConnection& c, std::string_view command) {
  c.Send("220 ready\r\n");
  for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) {
    if (line.starts_with(command)) return line;
    c.Send("250 ok\r\n");
  }
  return {};
}

// What the server does after it took the client's greeting (HELO).
enum class AfterHello {
  StaySilent,     // never answers again
  Close,          // closes its end while the client is idle
  CloseMidReply,  // sends half a reply to the next command, then closes
};

inline ScriptedServer::Script SmtpHelloThen(AfterHello end) {
  return [end](ServerConnection& c) {
    c.Send("220 ready\r\n");
    c.ReadLine();
    c.Send("250 ok\r\n");
    switch (end) {
      case AfterHello::StaySilent:
        c.WaitSilently();
        break;
      case AfterHello::CloseMidReply:
        c.ReadLine();
        c.Send("25");
        c.Close();
        break;
      case AfterHello::Close:
        c.Close();
        break;
    }
  };
}

// A port on 127.0.0.1 that refuses connections: bound, but not listening.
class RefusingPort {
 public:
  RefusingPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  // 0 when no port could be had.
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace voltare::testing
