// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/email/update_check.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/email/email_messages.h"
#include "app/email/net_failure.h"
#include "app/main_window/messages.h"
#include "net/http_client.h"
#include "net/net_error.h"
#include "platform/ini_file.h"
#include "platform/temp_files.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

// Limit, in milliseconds, for the name lookup and the connection.
constexpr int kLookupAndConnectLimit = 50;

struct UpdateDescription {
  int number = 0;
  std::string versionNumber;
  std::string description;
};

UpdateDescription ReadDescription(const fs::path& file) {
  using email_messages::kUpdateSection;
  UpdateDescription found;
  found.number = platform::ReadProfileInteger(file, kUpdateSection, "Number", 0);
  found.versionNumber = platform::ReadProfileString(file, kUpdateSection, "VersionNumber", "");
  // Read with room for the longest description allowed, 4 bytes a character,
  // and one byte more: a longer one arrives cut, but still too long.
  constexpr std::size_t kRoom = email_messages::kMaxDescriptionCharacters * 4 + 2;
  found.description = platform::ReadProfileString(file, kUpdateSection, "Description", "", kRoom);
  return found;
}

std::size_t CharacterCount(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U; }));
}

// The server's text lands in a message box: only a plain version number and
// a description of sensible length are taken for an announcement.
bool Plausible(const UpdateDescription& update) {
  return update.versionNumber.find_first_not_of(email_messages::kVersionCharacters) == std::string::npos &&
         CharacterCount(update.description) <= email_messages::kMaxDescriptionCharacters;
}

// "http://" in any case, or no scheme at all (a bare "host/path").
bool IsHttpAddress(std::string_view address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return true;
  const std::string_view name = address.substr(0, scheme);
  return name.size() == 4 && std::equal(name.begin(), name.end(), "http", [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

std::string NewVersionQuestion(const UpdateDescription& update) {
  std::string text(email_messages::kNewVersionQuestion);
  const std::size_t first = text.find("%s");
  text.replace(first, 2, update.versionNumber);
  text.replace(text.find("%s", first + update.versionNumber.size()), 2, update.description);
  return text;
}

}  // namespace

std::string UpdateAddress() {
  const char* address = std::getenv(email_messages::kUpdateAddressVariable);
  if (address != nullptr && *address != '\0') return address;
  return std::string(email_messages::kUpdateAddress);
}

UpdateCheckResult CheckForNewVersion(Interaction& ui, const std::function<void()>& eventPump) {
  const std::string address = UpdateAddress();
  if (!IsHttpAddress(address)) {
    ui.Error(net::FormatText(email_messages::kUpdateAddressNotHttp, address));
    return UpdateCheckResult::Failed;
  }
  UpdateDescription update;
  try {
    // Receives the description; removed on every path out, since it is of no
    // use once read.
    const std::optional<platform::TempFile> download = platform::TempFile::Create();
    if (!download) {
      ui.Error(platform::ErrorFormat(platform::ErrNoTempFile));
      return UpdateCheckResult::Failed;
    }
    net::THttpClient http;
    http.EventPump = eventPump;
    http.TimeOut = kLookupAndConnectLimit;
    http.InputFileMode = true;
    http.Body = download->path().string();
    http.OutputFileMode = false;
    http.Get(address);
    // An error page or a moved file says nothing about releases: the check
    // failed. Like a bad parameter, not worth a box at start-up.
    if (http.ReplyNumber() != 200) return UpdateCheckResult::Failed;
    update = ReadDescription(download->path());
  } catch (...) {
    const FailureReport failure = CurrentFailure();
    // An invalid-parameter failure is not worth a box at start-up.
    if (failure.code != EINVAL) ui.Error(platform::ErrorFormat(failure.code, failure.text));
    return UpdateCheckResult::Failed;
  }

  if (!Plausible(update)) return UpdateCheckResult::Failed;
  if (update.number <= kReleaseNumber) return UpdateCheckResult::NoNewerRelease;
  if (!ui.Ask(MessageKind::Confirmation, NewVersionQuestion(update))) return UpdateCheckResult::Declined;
  ui.ShellOpen(messages::kHomePage, {});
  return UpdateCheckResult::Accepted;
}

}  // namespace voltare::app
