#include "app/update_check.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/email_messages.h"
#include "app/messages.h"
#include "app/net_failure.h"
#include "net/http_client.h"
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
  found.description = platform::ReadProfileString(file, kUpdateSection, "Description", "");
  return found;
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
    http.Get(UpdateAddress());
    // An error page is no failure: it simply announces nothing.
    update = ReadDescription(download->path());
  } catch (...) {
    const FailureReport failure = CurrentFailure();
    // An invalid-parameter failure is not worth a box at start-up.
    if (failure.code != EINVAL) ui.Error(platform::ErrorFormat(failure.code, failure.text));
    return UpdateCheckResult::Failed;
  }

  if (update.number <= kReleaseNumber) return UpdateCheckResult::NoNewerRelease;
  if (!ui.Ask(MessageKind::Confirmation, NewVersionQuestion(update))) return UpdateCheckResult::Declined;
  ui.ShellOpen(messages::kHomePage, {});
  return UpdateCheckResult::Accepted;
}

}  // namespace voltare::app
