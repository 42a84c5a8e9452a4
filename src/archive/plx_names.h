// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names that keep a folder tree: the names an archive gives its members, and
// the paths below an output folder that decrypted files take. Both are
// relative paths with their folders joined by '/' (see plx_format.h).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace voltare::archive {

// A file of a batch and the folder its name is taken below.
struct TreeFile {
  std::filesystem::path path;  // absolute
  std::filesystem::path base;  // the folder given that brought it; empty: the file's own folder
};

// Each file's path below its base: "2024/IMG_0001.jpg" below "Photos", a
// plain file name for a file given by itself. When two of those would name
// the same file, or one would be a folder of another, every file is named
// below the deepest folder that holds all the bases instead, where two
// different files can no longer meet: "a/x.txt" and "b/x.txt" for two
// x.txt given from the folders a and b.
std::vector<std::string> TreeNames(std::span<const TreeFile> files);

// The first two positions of `paths` (relative, '/'-joined) that would end in
// the same place: the same path, or one a folder on the way to the other.
// Nothing when every path has a place of its own.
std::optional<std::pair<std::size_t, std::size_t>> FindSamePath(std::span<const std::string> paths);

}  // namespace voltare::archive
