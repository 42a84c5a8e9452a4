// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A server on 127.0.0.1 that answers every connection with the same bytes
// (the fuzz input), reads whatever the client sends until it hangs up, and
// closes. The clients under test reach it whatever host or port they were
// asked for, so no input can make them reach any other address.

#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <utility>

namespace voltare::fuzz {

class LoopbackPeer {
 public:
  // Serves up to `connections` connections with `reply` on its own thread.
  LoopbackPeer(std::span<const std::uint8_t> reply, int connections);
  // Waits for the serving thread; call after the client has finished.
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  int port() const noexcept;

  // The address every fuzzed client connects to.
  static std::pair<std::string, int> Target();

 private:
  void Serve(int connections);

  std::string reply_;
  int stop_ = -1;  // an eventfd: the client is done, stop waiting for more
  std::thread thread_;
};

}  // namespace voltare::fuzz
