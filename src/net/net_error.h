// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The failures of the internet components. The text is what the user reads;
// error() carries the errno behind a socket-level failure (0 when there is none).

#include <stdexcept>
#include <string>
#include <string_view>

#include "common/translate.h"

namespace voltare::net {

// The general failure (a server's refusal, incomplete input, a bad file).
class NetError : public std::runtime_error {
 public:
  explicit NetError(const std::string& text, int error = 0) : std::runtime_error(text), error_(error) {}
  explicit NetError(const char* text, int error = 0) : NetError(std::string(text), error) {}
  // Read in the user's language when the failure happens.
  explicit NetError(const common::Text& text, int error = 0) : NetError(text.str(), error) {}
  int error() const noexcept { return error_; }

 private:
  int error_;
};

// A failure of the socket itself: lookup, connection, an unexpected socket error.
class ESocketError : public NetError {
 public:
  using NetError::NetError;
};

// A wait that ended because the caller asked to cancel.
class ESocketAborted : public NetError {
 public:
  using NetError::NetError;
};

// Fills the one "%s" of `pattern` with `value`.
std::string FormatText(std::string_view pattern, std::string_view value);

// Refuses a value that would end its header line or command early.
void RequireSingleLine(std::string_view value, std::string_view field);

}  // namespace voltare::net
