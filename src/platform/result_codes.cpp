// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/result_codes.h"

#include <cstring>

namespace voltare::platform {

namespace {

constexpr std::string_view kInternalErrorText = "KOVA Voltare caused an internal error. Please contact the author.";
constexpr std::string_view kBadPasswordText = "You have entered an invalid password. Please try again.";
constexpr std::string_view kNoSuchFileText = "The file you selected does not exist !";
constexpr std::string_view kBadFileText = "Invalid VLT or PLX file.";
constexpr std::string_view kCancelledText = "The operation was stopped before it was finished.";
constexpr std::string_view kStagingReplacedText =
    "The new file was not saved: its temporary file was replaced by another file while it was written.";
constexpr std::string_view kReservedNameText =
    "The file was not saved: its name has the form of the program's temporary files "
    "(.vlt-xxxxxxxx.part). Please choose another name.";
constexpr std::string_view kTamperedText =
    "The file is damaged or was changed after it was encrypted. Nothing of it was decrypted.";

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which may not be in our buffer.
  const char* text = ::strerror_r(error, buffer, sizeof buffer);
  std::string result = text != nullptr ? text : "";
  if (result.rfind("Unknown error", 0) == 0) return {};
  return result;
}

}  // namespace

std::string ErrorText(ResultCode code) {
  switch (code) {
    case Success:
      return {};
    case ErrInternal:
    case ErrNoTempFile:
      return std::string(kInternalErrorText);
    case ErrBadPassword:
      return std::string(kBadPasswordText);
    case ErrNoSuchFile:
      return std::string(kNoSuchFileText);
    case ErrBadFile:
      return std::string(kBadFileText);
    case ErrCancelled:
      return std::string(kCancelledText);
    case ErrStagingReplaced:
      return std::string(kStagingReplacedText);
    case ErrReservedName:
      return std::string(kReservedNameText);
    case ErrTampered:
      return std::string(kTamperedText);
    default:
      return code > 0 ? SystemErrorText(code) : std::string();
  }
}

std::string ErrorFormat(ResultCode code) { return ErrorFormat(code, ErrorText(code)); }

std::string ErrorFormat(ResultCode code, std::string_view text) {
  return "KOVA Voltare caused an unexpected system error.\n\nError code: " + std::to_string(code) +
         "\nError message: " + std::string(text);
}

}  // namespace voltare::platform
