// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os_error.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "common/progress.h"

namespace voltare::platform {

OsError::OsError(int error, const std::string& what)
    : std::runtime_error(what + ": " + std::strerror(error)), error_(error) {}

void ThrowLastError(const std::string& what) { throw OsError(errno, what); }

[[nodiscard]] ResultCode CurrentExceptionCode() noexcept {
  try {
    throw;
  } catch (const OsError& e) {
    return e.error() > 0 ? e.error() : ErrInternal;
  } catch (const RefusedError& e) {
    return e.code() != Success ? e.code() : ErrInternal;
  } catch (const DamagedDataError&) {
    return ErrBadFile;
  } catch (const common::StepCancelled&) {
    return ErrCancelled;
  } catch (...) {
    return ErrInternal;
  }
}

}  // namespace voltare::platform
