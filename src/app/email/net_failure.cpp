// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/email/net_failure.h"

#include <exception>

#include "net/net_error.h"
#include "platform/os_error.h"

namespace voltare::app {

FailureReport CurrentFailure() noexcept {
  FailureReport report;
  report.code = platform::CurrentExceptionCode();
  try {
    throw;
  } catch (const net::NetError& failure) {
    if (failure.error() != 0) report.code = failure.error();
    report.text = failure.what();
  } catch (const std::exception& failure) {
    report.text = failure.what();
  } catch (...) {
  }
  return report;
}

}  // namespace voltare::app
