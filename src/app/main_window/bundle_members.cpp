// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/bundle_members.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/main_window/batch_messages.h"
#include "app/main_window/source_messages.h"
#include "archive/plx_format.h"
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
