// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <string>

namespace voltare::net::testing {

// The text of the failure `action` raises, or "" when it raises none.
template <class Action>
std::string FailureOf(Action&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace voltare::net::testing
