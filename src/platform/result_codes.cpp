// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/result_codes.h"

#include <cstring>

#include "common/translate.h"
#include "platform/temp_files.h"

namespace voltare::platform {

namespace {

// Translated where they are read: the language is known only once the
// program has started.
constexpr common::Text kInternalErrorText = N_("KOVA Voltare caused an internal error. Please contact the author.");
constexpr common::Text kBadPasswordText = N_("You have entered an invalid password. Please try again.");
constexpr common::Text kNoSuchFileText = N_("The file you selected does not exist !");
constexpr common::Text kBadFileText = N_("Invalid VLT or PLX file.");
constexpr common::Text kCancelledText = N_("The operation was stopped before it was finished.");
constexpr common::Text kStagingReplacedText =
    N_("The new file was not saved: its temporary file was replaced by another file while it was written.");
constexpr common::Text kReservedNameText =
    N_("The file was not saved: its name has the form of the program's temporary files "
       "(.vlt-xxxxxxxx.part). Please choose another name.");
// TRANSLATORS: the first %s is a folder, the second why it cannot hold the
// temporary files ("it belongs to another user", ...). TMPDIR is the name of
// an environment variable.
constexpr common::Text kUnsafeTempFolderText =
    N_("Temporary files cannot be kept in the folder %s: %s. They hold decrypted data, so that folder "
       "must be yours alone; please set TMPDIR to a folder that only you can change.");
// TRANSLATORS: the first %s is a folder, the second what went wrong there
// (the system's text, such as "No space left on device").
constexpr common::Text kNoTempFileText = N_("No temporary file can be made in the folder %s: %s.");
constexpr common::Text kTamperedText =
    N_("The file is damaged or was changed after it was encrypted. Nothing of it was decrypted.");
// TRANSLATORS: the first %s is the error's number (errno, or a negative code
// of the program's own), the second its text.
constexpr common::Text kSystemErrorText =
    N_("KOVA Voltare caused an unexpected system error.\n\nError code: %s\nError message: %s");

// The system's text in the user's language; empty for a number the system
// has no text for (its "Unknown error 1234" says nothing more than the code).
std::string SystemErrorText(int error) {
  if (::strerrordesc_np(error) == nullptr) return {};
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which may not be in our buffer.
  const char* text = ::strerror_r(error, buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

// The folder and why, so the user can mend it: a foreign folder planted in
// /tmp is no fault of the program's.
std::string TempFolderText() {
  const TempFolderTrouble trouble = DiagnoseTempFolder();
  const common::Text& pattern = trouble.unsafe ? kUnsafeTempFolderText : kNoTempFileText;
  return common::Filled(pattern, {trouble.folder.string(), trouble.reason});
}

}  // namespace

std::string ErrorText(ResultCode code) {
  switch (code) {
    case Success:
      return {};
    case ErrInternal:
      return kInternalErrorText.str();
    case ErrNoTempFile:
      return TempFolderText();
    case ErrBadPassword:
      return kBadPasswordText.str();
    case ErrNoSuchFile:
      return kNoSuchFileText.str();
    case ErrBadFile:
      return kBadFileText.str();
    case ErrCancelled:
      return kCancelledText.str();
    case ErrStagingReplaced:
      return kStagingReplacedText.str();
    case ErrReservedName:
      return kReservedNameText.str();
    case ErrTampered:
      return kTamperedText.str();
    default:
      return code > 0 ? SystemErrorText(code) : std::string();
  }
}

std::string ErrorFormat(ResultCode code) { return ErrorFormat(code, ErrorText(code)); }

std::string ErrorFormat(ResultCode code, std::string_view text) {
  return common::Filled(kSystemErrorText, {std::to_string(code), text});
}

}  // namespace voltare::platform
