// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An environment variable set for one test (a peer's address, a thread
// count, a settings folder), for as long as the object lives.

#include <cstdlib>
#include <optional>
#include <string>

namespace voltare::testing {

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

}  // namespace voltare::testing
