// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the user is told when an internet operation ends by an exception: the
// shared error message filled with the failure's code and its own text.

#include <string>

#include "platform/result_codes.h"

namespace voltare::app {

struct FailureReport {
  platform::ResultCode code = platform::ErrInternal;
  std::string text;
};

// Inside a catch block: the code and text of the exception being handled.
// A network failure gives the errno it carries; one without an errno (a
// server's refusal, a cancel) and any other failure give the code
// platform::CurrentExceptionCode() gives. Never Success.
FailureReport CurrentFailure() noexcept;

}  // namespace voltare::app
