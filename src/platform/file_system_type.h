// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kind of file system a file lives on, as far as wiping cares: some write
// every change to a new place on the disk and keep the old blocks, so an
// overwrite in place cannot reach the data a file held before.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace voltare::platform {

// The name of the file system holding `path` ("btrfs", "ext4", ...), from
// its statfs magic number; "" when it cannot be told.
std::string FileSystemTypeName(const std::filesystem::path& path);

// True for the copy-on-write and log-structured file systems (btrfs, ZFS,
// bcachefs, f2fs, nilfs2) and overlayfs, whose changed files are copies.
bool KeepsOldCopiesOnOverwrite(std::string_view typeName);

// Makes FileSystemTypeName answer with `reporter` (tests play a btrfs disk
// with it); an empty function restores the real answer.
void SetFileSystemTypeReporter(std::function<std::string(const std::filesystem::path&)> reporter);

}  // namespace voltare::platform
