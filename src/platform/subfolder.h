// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A folder below a folder the user chose, reached one component at a time:
// each opened relative to the one before it and never through a link, and
// made when it is missing. A link planted inside the chosen folder cannot
// lead a file written there anywhere else.

#include <filesystem>

#include "platform/os_error.h"

namespace voltare::platform {

// A component on the way that is a link (error ELOOP) or not a folder
// (ENOTDIR).
class BlockedWay : public OsError {
 public:
  BlockedWay(int error, std::filesystem::path blocker)
      : OsError(error, blocker.string()), blocker_(std::move(blocker)) {}
  const std::filesystem::path& blocker() const noexcept { return blocker_; }

 private:
  std::filesystem::path blocker_;
};

class Subfolder {
 public:
  // Opens `relative` (components without "." or "..") below `root`, making
  // each missing folder on the way (permissions as the umask allows). `root`
  // itself is the user's choice and may be a link. Throws BlockedWay for a
  // component that is a link or not a folder, OsError with the errno of a
  // failed open or mkdir.
  Subfolder(const std::filesystem::path& root, const std::filesystem::path& relative);
  ~Subfolder();
  Subfolder(const Subfolder&) = delete;
  Subfolder& operator=(const Subfolder&) = delete;

  // A path to the very folder opened, for calls that take a path: its
  // descriptor's entry in /proc, which a rename or a link made later cannot
  // redirect. The lexical path where /proc is not mounted.
  std::filesystem::path path() const;

 private:
  int fd_ = -1;
  std::filesystem::path lexical_;
};

}  // namespace voltare::platform
