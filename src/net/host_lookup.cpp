// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace voltare::net {

struct HostLookup::State {
  mutable std::mutex mutex;
  bool finished = false;
  std::optional<std::uint32_t> address;

  void Finish(std::optional<std::uint32_t> found) {
    const std::lock_guard lock(mutex);
    address = found;
    finished = true;
  }
};

std::optional<std::uint32_t> ResolveWithSystem(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
    sockaddr_in address{};
    std::memcpy(&address, entry->ai_addr, sizeof address);
    return address.sin_addr.s_addr;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ParseDottedAddress(const std::string& host) {
  const in_addr_t address = ::inet_addr(host.c_str());
  if (address == INADDR_NONE) return std::nullopt;
  return address;
}

HostLookup::HostLookup(HostResolver resolver, std::string host) : state_(std::make_shared<State>()) {
  try {
    std::thread([state = state_, resolver = std::move(resolver), host = std::move(host)] {
      std::optional<std::uint32_t> found;
      try {
        found = resolver ? resolver(host) : std::nullopt;
      } catch (...) {
        found.reset();  // a failing resolver is an unknown name
      }
      state->Finish(found);
    }).detach();
  } catch (const std::system_error&) {
    state_->Finish(std::nullopt);  // no thread to be had: the lookup failed
  }
}

bool HostLookup::Finished() const {
  const std::lock_guard lock(state_->mutex);
  return state_->finished;
}

std::optional<std::uint32_t> HostLookup::Address() const {
  const std::lock_guard lock(state_->mutex);
  return state_->address;
}

}  // namespace voltare::net
