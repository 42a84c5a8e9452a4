// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A name lookup that takes longer than any limit: it answers only when the
// test lets it go (at the latest when the HeldLookup object goes), so no
// lookup thread outlives the test by a fixed sleep.

#include <arpa/inet.h>
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "net/host_lookup.h"
#include "support/wait.h"

namespace voltare::net::testing {

class HeldLookup {
 public:
  HeldLookup() = default;
  ~HeldLookup() { *released_ = true; }
  HeldLookup(const HeldLookup&) = delete;
  HeldLookup& operator=(const HeldLookup&) = delete;

  // Resolves every name to 127.0.0.1, once released.
  HostResolver Resolver() const {
    return [released = released_](const std::string&) -> std::optional<std::uint32_t> {
      voltare::testing::WaitUntil([&] { return released->load(); }, std::chrono::seconds(60));
      return htonl(INADDR_LOOPBACK);
    };
  }

 private:
  // Shared with the lookup thread, which the client leaves behind on a time-out.
  std::shared_ptr<std::atomic<bool>> released_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace voltare::net::testing
