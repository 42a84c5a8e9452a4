// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sources of an encryption batch held from their read-back to their wipe.
// Each source is opened (and locked) before its encrypted copy is read back
// against it, read through that descriptor and later wiped through it; its
// copy (the .vlt, or the archive holding it) stays open as well. A source
// appended to meanwhile, renamed away, or whose copy was deleted or replaced,
// keeps its source: each pair is checked right before its wipe.

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/main_window/wipe_checks.h"
#include "platform/file.h"
#include "platform/result_codes.h"
#include "transforms/wipe_target.h"

namespace voltare::app {

// What tells a file on disk apart from any other, or from itself changed.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec;
  }
};

// The file open as `fd`; nothing when it cannot be examined.
std::optional<FileIdentity> IdentityOf(int fd);

// An encrypted copy kept open by its folder and name: it is the copy read
// back for as long as its name refers to the open file and that is unchanged.
class HeldCopy {
 public:
  // Throws OsError when it cannot be opened.
  explicit HeldCopy(const std::filesystem::path& path);

  const std::filesystem::path& path() const noexcept { return file_.path(); }
  // A second descriptor, for reading it from its start.
  platform::File ReadingView() const;
  bool Unchanged() const;

 private:
  platform::File folder_;
  std::string name_;
  platform::File file_;
  FileIdentity opened_;
};

class VerifiedSources {
 public:
  // Opens and holds `source` and `copy` (its .vlt, or the archive holding
  // it) before the one is read back against the other. A source that cannot
  // be held is still read back by its name; its wipe is refused later, with
  // the reason it could not be held.
  void HoldBeforeReadBack(const std::string& source, const std::filesystem::path& copy);
  // Descriptors to read back through, from their start; nothing when the
  // file is not held.
  std::optional<platform::File> SourceView(const std::string& source) const;
  std::optional<platform::File> CopyView(const std::string& source) const;
  // After a successful read-back: false, and the pair released, when the
  // copy could not be held or either file changed while it was read.
  bool ConfirmAfterReadBack(const std::string& source);
  // Right before the wipe: the held source handed on, or why it is kept. The
  // copy stays open until this object goes.
  WipeHandOver TakeForWipe(const std::string& source);
  // The sources held now.
  std::size_t HeldCount() const noexcept { return held_.size(); }

 private:
  struct Pair {
    std::unique_ptr<transforms::WipeTarget> source;  // nothing when it could not be held
    std::optional<std::string> refusal;              // why not, for the wipe
    platform::ResultCode failure = platform::Success;
    FileIdentity sourceAsRead;
    std::shared_ptr<const HeldCopy> copy;
  };
  std::shared_ptr<const HeldCopy> HoldCopy(const std::filesystem::path& copy);
  // Nothing when both are as they were read; else the message for the change.
  static std::optional<std::string> Change(const std::string& source, const Pair& held);

  std::map<std::string, Pair> held_;
};

}  // namespace voltare::app
