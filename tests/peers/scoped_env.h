// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Points the program under test (and the programs a test starts) at a peer
// through an environment variable, for as long as the object lives.

#include <cstdlib>
#include <optional>
#include <string>

namespace voltare::net::testing {

// Sets an environment variable for as long as it lives, then puts back what
// was there before.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) before_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (before_) ::setenv(name_, before_->c_str(), 1);
    else ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> before_;
};

}  // namespace voltare::net::testing
