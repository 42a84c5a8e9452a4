// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waiting for something another thread or process brings about: polls the
// condition often, so a test goes on as soon as it holds, and gives up only
// after a generous limit (a limit, not a timing check).

#include <chrono>
#include <thread>

namespace voltare::testing {

// True as soon as `ready()` holds; false when it still does not after `limit`.
template <class Condition>
bool WaitUntil(Condition&& ready, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace voltare::testing
