// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Host-name lookup that never holds the caller: the system resolver cannot be
// interrupted, so it runs on a helper thread and the caller polls. A caller
// that gives up (time-out, cancel) simply drops the lookup; the thread ends on
// its own later and its result is thrown away.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace voltare::net {

// Finds the IPv4 address of a host name, in network byte order, or nothing.
// Runs on the helper thread, so it must not touch the caller's objects.
using HostResolver = std::function<std::optional<std::uint32_t>(const std::string& host)>;

// The system's resolver (hosts file, DNS, ... as the system is configured).
std::optional<std::uint32_t> ResolveWithSystem(const std::string& host);

// A dotted IPv4 address as the classic inet_addr reads it, or nothing.
std::optional<std::uint32_t> ParseDottedAddress(const std::string& host);

class HostLookup {
 public:
  // Starts the lookup at once.
  HostLookup(HostResolver resolver, std::string host);

  bool Finished() const;
  // The address found; nothing while running or when the name is unknown.
  std::optional<std::uint32_t> Address() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace voltare::net
