// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Taking chosen members out of a PLX archive into the private temporary
// directory, where batch decryption picks them up.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/progress.h"
#include "platform/result_codes.h"
#include "platform/temp_files.h"

namespace voltare::archive {

// A member taken out of an archive. Each gets a file of its own, so two
// members of the same name (packed from two folders) never meet.
struct ExtractedMember {
  std::filesystem::path path;  // a new "Vol<unique>.TMP" in a TempFolder of the private directory
  std::string name;            // the member's name in the archive
  bool cutShort = false;       // the archive ended inside its data
  // Marks the file as in use for as long as any copy of the member is kept,
  // and removes it when the last one goes.
  std::shared_ptr<const platform::TempFile> file = nullptr;
};

// Extracts the entries at the positions `wanted` (0-based, in archive order)
// to the private temporary directory. A position that is not above the one
// before it, or lies past the last entry, ends all later matches. A member
// cut short at the end of the archive is extracted as far as it goes.
//
// On success `output` holds the extracted members in archive order. Returns
// Success; ErrInternal for an empty `wanted` or archive path; ErrNoSuchFile
// when the archive does not exist; ErrNoTempFile when no temporary file can be
// had; ErrBadFile for a damaged archive; or the errno of a failed file
// operation; ErrCancelled when the user stopped it (`progress` moves with each
// member's bytes and is asked between pieces; nullptr: nobody watches). On
// failure the files this call made are removed again and `output` is empty.
[[nodiscard]] platform::ResultCode ExtractFromArchive(std::span<const std::size_t> wanted,
                                                      const std::filesystem::path& archivePath,
                                                      std::vector<ExtractedMember>& output,
                                                      platform::Progress* progress = nullptr);

}  // namespace voltare::archive
