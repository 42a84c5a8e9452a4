// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exceptions that end a file operation, and how an operation turns the one
// that ended it into its result code.
//
// An operation catches everything at its boundary and returns
// CurrentExceptionCode(): the errno captured where the failure happened, or,
// when there is none, a fixed nonzero code, so that a failure is never
// reported as success.

#include <stdexcept>
#include <string>

#include "platform/result_codes.h"

namespace voltare::platform {

// A system call failed; carries the errno value it left.
class OsError : public std::runtime_error {
 public:
  OsError(int error, const std::string& what);
  int error() const noexcept { return error_; }

 private:
  int error_;
};

// The data read is damaged or cannot be decoded (a broken zlib stream, an
// archive entry that runs past the end of the file, ...).
class DamagedDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The program refused or abandoned an operation for a reason of its own,
// which `code` (one of the negative result codes) names.
class RefusedError : public std::runtime_error {
 public:
  RefusedError(ResultCode code, const std::string& what) : std::runtime_error(what), code_(code) {}
  [[nodiscard]] ResultCode code() const noexcept { return code_; }

 private:
  ResultCode code_;
};

// Throws OsError with the current errno; `what` names the failed action.
[[noreturn]] void ThrowLastError(const std::string& what);

// Inside a catch block: the result code for the exception being handled.
// OsError gives its errno (ErrInternal if that is 0), DamagedDataError gives
// ErrBadFile, RefusedError its code, a stop by the user (common::StepCancelled) ErrCancelled,
// anything else ErrInternal. Never returns Success.
[[nodiscard]] ResultCode CurrentExceptionCode() noexcept;

}  // namespace voltare::platform
