// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names a file list shows for a file when no desktop file-type database is
// at hand (voltare-cli, tests): the file's own name, and a type named after
// its extension, as "TXT File".

#include <filesystem>
#include <string>

namespace voltare::platform {

struct FileNames {
  std::string displayName;
  std::string typeName;
};

// The last component of the path ("Bank.doc"); a trailing '/' does not count,
// and the root stays "/".
std::string FileDisplayName(const std::filesystem::path& path);

// "<EXT> File" with the extension in capital letters ("archive.tar.gz" is a
// "GZ File"); "File" for a name without extension, which includes names that
// only begin with a dot (".profile") or end in one ("notes.").
std::string FileTypeName(const std::filesystem::path& path);

// Both names of an entry; a directory's type is "File Folder".
FileNames DescribeFile(const std::filesystem::path& path);

}  // namespace voltare::platform
