#pragma once
// Taking chosen members out of a PLX archive into the private temporary
// directory, where batch decryption picks them up.

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/result_codes.h"

namespace voltare::archive {

// Extracts the members named in `wanted` to the private temporary directory.
// `wanted` must list names in archive order: each name is matched against the
// entries that follow the previous match, so a name that does not occur (or
// comes out of order) ends all later matches. Two entries of the same name
// are taken by two equal wanted names, one after the other.
//
// On success `output` holds the full paths of the extracted files in archive
// order. Returns Success; ErrInternal for an empty `wanted` or archive path;
// ErrNoSuchFile when the archive does not exist; ErrNoTempFile when the
// temporary directory cannot be had; ErrBadFile for a damaged archive; or the
// errno of a failed file operation. On failure the files this call made are
// removed again and `output` is empty.
platform::ResultCode ExtractFromArchive(std::span<const std::string> wanted,
                                        const std::filesystem::path& archivePath,
                                        std::vector<std::filesystem::path>& output);

}  // namespace voltare::archive
