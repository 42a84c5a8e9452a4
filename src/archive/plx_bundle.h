// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Packing the encrypted files of a batch into one PLX archive.

#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "platform/progress.h"
#include "platform/result_codes.h"

namespace voltare::archive {

// The status line the bundler reports on; either function may be empty.
struct StatusLine {
  std::function<std::string()> text;
  std::function<void(const std::string&)> setText;
  // Told the 0-based position of each source as its packing starts.
  std::function<void(std::size_t)> packing = {};
};

// A source of a batch and the member name its encrypted file is packed
// under (see plx_names.h), ".vlt" included.
struct NamedSource {
  std::filesystem::path source;
  std::string name;
};

// Packs, for each source path in `sources`, the file of that path with ".vlt"
// appended into the archive `archivePath` (replacing any file of that name),
// in list order, then deletes those ".vlt" files.
//
// The archive is written under a temporary name next to it and put in place
// only when complete and on the disk; the members are deleted only after
// that. On failure every member stays where it was and no archive appears
// under `archivePath`.
//
// Returns Success; ErrInternal for an empty list; ENAMETOOLONG or EFBIG for a
// member the format cannot hold (a name over 256 bytes, more than 2^31 - 1
// bytes), refused before anything is written; or the errno of the failure.
// Each member is named by its source's file name with ".vlt" appended.
[[nodiscard]] platform::ResultCode BundleFiles(std::span<const std::filesystem::path> sources,
                                               const std::filesystem::path& archivePath, platform::Progress* progress,
                                               const StatusLine& status = {});
// The same with the member names given; EINVAL, before anything is written,
// for a name that could lead outside the folder it is decrypted into.
[[nodiscard]] platform::ResultCode BundleNamedFiles(std::span<const NamedSource> sources,
                                                    const std::filesystem::path& archivePath,
                                                    platform::Progress* progress, const StatusLine& status = {});

// True when the file system holding `path` is on a removable disk.
bool IsRemovableDrive(const std::filesystem::path& path);

}  // namespace voltare::archive
