// SPDX-License-Identifier: GPL-3.0-or-later
#include "loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace voltare::fuzz {

namespace {

// How long the peer waits for a client that does not come or does not hang up.
constexpr int kWaitMilliseconds = 2000;

// One listening socket for the whole run, bound once.
struct Listener {
  int fd = -1;
  int port = 0;

  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("the fuzzing peer cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd); }
};

Listener& TheListener() {
  static Listener listener;
  return listener;
}

bool WaitReadable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, kWaitMilliseconds) > 0;
}

// Waits for a client to connect; false once the peer is told to stop.
bool WaitForClient(int listener, int stop) {
  pollfd entries[2] = {{listener, POLLIN, 0}, {stop, POLLIN, 0}};
  return ::poll(entries, 2, kWaitMilliseconds) > 0 && (entries[1].revents & POLLIN) == 0 &&
         (entries[0].revents & POLLIN) != 0;
}

void Answer(int connection, const std::string& reply) {
  std::size_t sent = 0;
  while (sent < reply.size()) {
    const ssize_t n = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
  ::shutdown(connection, SHUT_WR);
  char sink[4096];
  while (WaitReadable(connection) && ::recv(connection, sink, sizeof sink, 0) > 0) {
  }
}

}  // namespace

LoopbackPeer::LoopbackPeer(std::span<const std::uint8_t> reply, int connections)
    : reply_(reinterpret_cast<const char*>(reply.data()), reply.size()) {
  TheListener();
  stop_ = ::eventfd(0, EFD_CLOEXEC);
  if (stop_ < 0) throw std::runtime_error("the fuzzing peer cannot make its stop signal");
  thread_ = std::thread([this, connections] { Serve(connections); });
}

LoopbackPeer::~LoopbackPeer() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(stop_, &one, sizeof one);
  thread_.join();
  ::close(stop_);
}

int LoopbackPeer::port() const noexcept { return TheListener().port; }

std::pair<std::string, int> LoopbackPeer::Target() { return {"127.0.0.1", TheListener().port}; }

void LoopbackPeer::Serve(int connections) {
  const int listener = TheListener().fd;
  for (int served = 0; served < connections && WaitForClient(listener, stop_); ++served) {
    const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return;
    Answer(connection, reply_);
    ::close(connection);
  }
}

}  // namespace voltare::fuzz
