// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sources of an encryption batch as they were when their encrypted copies
// were read back. The wipe question has no time limit, and the wipe opens a
// source by its name: a source appended to meanwhile, or a copy deleted or
// replaced, must keep its source. Each is checked right before its wipe.

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

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

// The file `path` names now, following links; nothing when there is none.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

class VerifiedSources {
 public:
  // Before `source` is read back against `copy` (its .vlt, or the archive
  // holding it): both as they are.
  void NoteBeforeReadBack(const std::string& source, const std::filesystem::path& copy);
  // After a successful read-back: false, and the source forgotten, when
  // either file changed while it was read.
  bool ConfirmAfterReadBack(const std::string& source);
  // Right before the wipe: the message that keeps the source, or nothing
  // when it and its copy are the files that were verified.
  std::optional<std::string> WipeRefusal(const std::string& source) const;

 private:
  struct Pair {
    FileIdentity source;
    std::filesystem::path copyPath;
    FileIdentity copy;
  };
  // Nothing when both are as noted; else the message for the change.
  static std::optional<std::string> Change(const std::string& source, const Pair& noted);

  std::map<std::string, Pair> noted_;
};

}  // namespace voltare::app
