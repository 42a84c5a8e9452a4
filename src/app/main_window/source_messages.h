// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts about the sources of a batch: files a folder walk could not
// reach, special files that cannot be encrypted, files left as they are.

#include <string_view>

#include "common/translate.h"

namespace voltare::app::messages {

// Filled with the path of a special file named to encrypt.
inline constexpr common::Text kDeviceRefused =
    N_("Unable to encrypt file %s.\nIt is a device, not a file: reading it may never end. File skipped.");
inline constexpr common::Text kSocketRefused =
    N_("Unable to encrypt file %s.\nIt is a socket, not a file: it cannot be read. File skipped.");
// Filled with the count of encrypted files found in the folders named.
inline constexpr common::PluralText kAlreadyEncrypted =
    NP_("1 file already encrypted was left as it is", "%d files already encrypted were left as they are");
// Filled with the path of a FIFO or pipe that was encrypted with --wipe.
inline constexpr common::Text kStreamNotWiped = N_("%s is a stream, not a file on disk: there is nothing to wipe.");

// Filled with the path of a source too large for a PLX Archive member.
inline constexpr common::Text kMemberTooLarge =
    N_("Unable to bundle file %s.\nIts encrypted file could pass the 2 GiB (2147483647 bytes) that a member of "
       "a PLX Archive file can hold. Nothing was encrypted.");
// Filled with the source's path and its name in the archive.
inline constexpr common::Text kMemberNameTooLong =
    N_("Unable to bundle file %s.\nIts name in the PLX Archive file, %s, is longer than the 256 bytes a member's "
       "name can hold. Nothing was encrypted.");
// Filled with the paths of two sources and the place below the output folder
// where both would be decrypted.
inline constexpr common::Text kMembersMeet =
    N_("Unable to bundle files %s and %s.\nBoth would be decrypted to %s. Nothing was encrypted.");

}  // namespace voltare::app::messages
