// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/bundle_members.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/main_window/batch_messages.h"
#include "app/main_window/source_messages.h"
#include "archive/plx_format.h"
#include "archive/plx_names.h"
#include "transforms/compress.h"

namespace voltare::app {

bool MembersFitArchive(Interaction& ui, const std::vector<std::string>& sources) {
  for (const std::string& source : sources) {
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    const auto bound = transforms::EncryptedSizeBound(static_cast<std::uint64_t>(info.st_size));
    if (bound > static_cast<std::uint64_t>(archive::kMaxMemberSize)) {
      ui.Error(messages::FormatName(messages::kMemberTooLarge, source));
      return false;
    }
  }
  return true;
}

std::optional<std::vector<std::string>> ArchiveMemberNames(Interaction& ui, const std::vector<std::string>& sources,
                                                           const std::vector<std::string>& roots) {
  std::vector<archive::TreeFile> files;
  for (std::size_t i = 0; i < sources.size(); ++i) files.push_back({sources[i], i < roots.size() ? roots[i] : ""});
  std::vector<std::string> names = archive::TreeNames(files);
  // Asked of the names as they decrypt, before a file is encrypted or wiped.
  if (const auto meet = archive::FindSamePath(names)) {
    // The shorter one is the place both want: the same file, or a file
    // where the other needs a folder.
    const std::string& first = names[meet->first];
    const std::string& second = names[meet->second];
    const std::string& place = first.size() <= second.size() ? first : second;
    ui.Error(messages::FormatNames(messages::kMembersMeet, {sources[meet->first], sources[meet->second], place}));
    return std::nullopt;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    names[i] += ".vlt";
    if (names[i].size() > archive::kMaxNameLength) {
      ui.Error(messages::FormatNames(messages::kMemberNameTooLong, {sources[i], names[i]}));
      return std::nullopt;
    }
  }
  return names;
}

BundleMembers::~BundleMembers() {
  for (const Made& file : made_) {
    struct stat info {};
    if (::lstat(file.path.c_str(), &info) == 0 && info.st_dev == file.device && info.st_ino == file.inode) {
      ::unlink(file.path.c_str());
    }
  }
}

void BundleMembers::Add(const std::string& encryptedPath) {
  struct stat info {};
  if (::lstat(encryptedPath.c_str(), &info) == 0) made_.push_back({encryptedPath, info.st_dev, info.st_ino});
}

}  // namespace voltare::app
