// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/plx_names.h"

#include <map>

#include "archive/plx_format.h"

namespace voltare::archive {

namespace {

namespace fs = std::filesystem;

fs::path BaseOf(const TreeFile& file) {
  return (file.base.empty() ? file.path.parent_path() : file.base).lexically_normal();
}

// `path` below `base`, '/'-joined; the plain file name should `base` not
// hold it after all (a name must never climb out).
std::string NameBelow(const fs::path& path, const fs::path& base) {
  const fs::path relative = path.lexically_normal().lexically_relative(base);
  const std::string name = relative.generic_string();
  return IsSafeMemberName(name) ? name : path.filename().string();
}

// The deepest folder both `a` and `b` lie in, by their components.
fs::path CommonFolder(const fs::path& a, const fs::path& b) {
  fs::path common;
  for (auto left = a.begin(), right = b.begin(); left != a.end() && right != b.end() && *left == *right;
       ++left, ++right) {
    common /= *left;
  }
  return common;
}

std::vector<std::string> NamesBelow(std::span<const TreeFile> files, const std::optional<fs::path>& sharedBase) {
  std::vector<std::string> names;
  names.reserve(files.size());
  for (const TreeFile& file : files) names.push_back(NameBelow(file.path, sharedBase.value_or(BaseOf(file))));
  return names;
}

}  // namespace

std::vector<std::string> TreeNames(std::span<const TreeFile> files) {
  std::vector<std::string> names = NamesBelow(files, std::nullopt);
  if (!FindSamePath(names)) return names;
  fs::path shared = BaseOf(files.front());
  for (const TreeFile& file : files) shared = CommonFolder(shared, BaseOf(file));
  return NamesBelow(files, shared);
}

std::optional<std::pair<std::size_t, std::size_t>> FindSamePath(std::span<const std::string> paths) {
  std::map<std::string, std::size_t, std::less<>> files;
  std::map<std::string, std::size_t, std::less<>> folders;  // each with the first path that passes through it
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    if (const auto same = files.find(path); same != files.end()) return std::pair(same->second, i);
    if (const auto folder = folders.find(path); folder != folders.end()) return std::pair(folder->second, i);
    for (std::size_t slash = path.find(kMemberFolderSeparator); slash != std::string::npos;
         slash = path.find(kMemberFolderSeparator, slash + 1)) {
      const std::string folder = path.substr(0, slash);
      if (const auto file = files.find(folder); file != files.end()) return std::pair(file->second, i);
      folders.emplace(folder, i);
    }
    files.emplace(path, i);
  }
  return std::nullopt;
}

}  // namespace voltare::archive
