// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/result_codes.h"

#include <cstring>

#include "platform/temp_files.h"

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
// Filled with the folder and the reason DiagnoseTempFolder gives.
constexpr std::string_view kUnsafeTempFolderText =
    "Temporary files cannot be kept in the folder {folder}: {reason}. They hold decrypted data, so that folder "
    "must be yours alone; please set TMPDIR to a folder that only you can change.";
constexpr std::string_view kNoTempFileText = "No temporary file can be made in the folder {folder}: {reason}.";
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

std::string Filled(std::string_view pattern, std::string_view name, const std::string& value) {
  std::string text(pattern);
  const std::string marker = "{" + std::string(name) + "}";
  if (const auto at = text.find(marker); at != std::string::npos) text.replace(at, marker.size(), value);
  return text;
}

// The folder and why, so the user can mend it: a foreign folder planted in
// /tmp is no fault of the program's.
std::string TempFolderText() {
  const TempFolderTrouble trouble = DiagnoseTempFolder();
  const std::string_view pattern = trouble.unsafe ? kUnsafeTempFolderText : kNoTempFileText;
  return Filled(Filled(pattern, "folder", trouble.folder.string()), "reason", trouble.reason);
}

}  // namespace

std::string ErrorText(ResultCode code) {
  switch (code) {
    case Success:
      return {};
    case ErrInternal:
      return std::string(kInternalErrorText);
    case ErrNoTempFile:
      return TempFolderText();
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
