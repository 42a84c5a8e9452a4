// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/verified_sources.h"

#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"

namespace voltare::app {

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

void VerifiedSources::NoteBeforeReadBack(const std::string& source, const std::filesystem::path& copy) {
  noted_.erase(source);
  const auto sourceNow = IdentityOf(source);
  const auto copyNow = IdentityOf(copy);
  // Without both there is nothing to hold the wipe to: it is refused.
  if (sourceNow && copyNow) noted_[source] = Pair{*sourceNow, copy, *copyNow};
}

bool VerifiedSources::ConfirmAfterReadBack(const std::string& source) {
  const auto noted = noted_.find(source);
  if (noted == noted_.end()) return false;
  if (!Change(source, noted->second)) return true;
  noted_.erase(noted);
  return false;
}

std::optional<std::string> VerifiedSources::WipeRefusal(const std::string& source) const {
  const auto noted = noted_.find(source);
  if (noted == noted_.end()) return messages::FormatName(messages::kChangedSinceVerified, source);
  return Change(source, noted->second);
}

std::optional<std::string> VerifiedSources::Change(const std::string& source, const Pair& noted) {
  if (IdentityOf(noted.copyPath) != noted.copy) {
    return messages::FormatName(messages::kCopyGoneSinceVerified, source);
  }
  if (IdentityOf(source) != noted.source) return messages::FormatName(messages::kChangedSinceVerified, source);
  return std::nullopt;
}

}  // namespace voltare::app
