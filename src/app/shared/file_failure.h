// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file of a batch that could not be done, told in terms of the file: what
// happened to it and what was kept. Most failures are the ordinary state of
// the world (a wrong password, a full disk, a file another program removed),
// not faults of the program, and must never read like a crash.
//
// The same failure decides how the batch goes on: a fault of the one file
// skips it, a fault of the place the batch writes to (full, read-only) ends
// the batch, since every later file would meet it too.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result_codes.h"

namespace voltare::app {

// What the batch was doing to the file.
enum class FileAction {
  Encrypt,
  Bundle,  // packing the batch's encrypted files into its archive (the file is the archive)
  Decrypt,
  Verify,
  Wipe,
  List,      // reading an archive's table of members
  OpenList,  // a saved list of files (.vls)
  SaveList,
  Take,  // a file named to a command, before the command runs
};

enum class FailureScope {
  File,         // this file only: skip it and go on
  Destination,  // the place written to: stop the batch
  Unexpected,   // a fault of the program or an error it has no words for
};

struct FileFailure {
  FileAction action;
  std::string path;  // as the batch knows it: the path, or an archive member's name
  platform::ResultCode code;
};

FailureScope ScopeOf(platform::ResultCode code);

// "no space left on the device"; for an unexpected code the code's own text.
std::string WhatHappened(platform::ResultCode code);

// "it was not encrypted, nothing of it was written".
std::string_view WhatWasKept(FileAction action);

// The message box of the window: the file, then what happened and what was
// kept; for an unexpected fault the program's error frame, naming the file.
std::string FailureBoxText(const FileFailure& failure);

// `shown` (the file as the user named it): what happened; what was kept.
std::string FailureLine(const FileFailure& failure, std::string_view shown);

// At most this many names are listed in a line about several files.
inline constexpr std::size_t kNamesListed = 10;

// "a.txt, b.txt and 3 more": the first kNamesListed of `names`.
std::string ListedNames(const std::vector<std::string>& names);

// "the batch was stopped; 2 files were not tried: c.txt, d.txt".
std::string BatchStoppedText(const std::vector<std::string>& notTried);
// The same as a sentence of its own, for a message box: "The batch was
// stopped; 2 files were not tried: c.txt, d.txt."
std::string BatchStoppedSentence(const std::vector<std::string>& notTried);

}  // namespace voltare::app
