// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the files below a folder. Each folder is opened relative to the one
// above it, so no path is ever handed to the kernel whole: a tree of any depth
// is walked, and a file whose full path is too long for the later steps is
// reported rather than dropped in silence.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace voltare::app {

// A file or folder the walk saw but could not take, with the errno why.
struct UnreachableEntry {
  std::string path;
  int error = 0;
};

struct FolderContents {
  // Regular files (a link to one counts), hidden ones included, depth first.
  std::vector<std::string> files;
  std::vector<UnreachableEntry> unreachable;
};

// Asked now and then during a walk: false ends it where it is.
using KeepWalking = std::function<bool()>;

// Every regular file below `directory`; only "." and ".." are passed over.
// Symbolic links to folders are not followed (they could loop); FIFOs,
// sockets, devices and dangling links are left out. A walk that
// `keepWalking` ended returns what it had found.
FolderContents WalkFolder(const std::filesystem::path& directory, const KeepWalking& keepWalking = {});

// True for a ".vlt" or ".plx" file (any letter case) that begins with its
// format's magic: a name alone is not proof, a renamed document may carry it.
bool IsEncryptedFile(const std::string& path);

// True for a FIFO or pipe: read once to its end, never read back or wiped.
bool IsStreamSource(const std::string& path);

}  // namespace voltare::app
