// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts about the sources of a batch: files a folder walk could not
// reach, special files that cannot be encrypted, files left as they are.

#include <string_view>

namespace voltare::app::messages {

// Filled with the path of a special file named to encrypt.
inline constexpr std::string_view kDeviceRefused =
    "Unable to encrypt file %s.\nIt is a device, not a file: reading it may never end. File skipped.";
inline constexpr std::string_view kSocketRefused =
    "Unable to encrypt file %s.\nIt is a socket, not a file: it cannot be read. File skipped.";
// Filled with the count of encrypted files found in the folders named.
inline constexpr std::string_view kOneAlreadyEncrypted = "1 file already encrypted was left as it is";
inline constexpr std::string_view kAlreadyEncrypted = "%d files already encrypted were left as they are";
// Filled with the path of a FIFO or pipe that was encrypted with --wipe.
inline constexpr std::string_view kStreamNotWiped = "%s is a stream, not a file on disk: there is nothing to wipe.";

// Filled with the path of a source too large for a PLX Archive member.
inline constexpr std::string_view kMemberTooLarge =
    "Unable to bundle file %s.\nIts encrypted file could pass the 2 GiB (2147483647 bytes) that a member of "
    "a PLX Archive file can hold. Nothing was encrypted.";
// Filled with the source's path and its name in the archive.
inline constexpr std::string_view kMemberNameTooLong =
    "Unable to bundle file %s.\nIts name in the PLX Archive file, %s, is longer than the 256 bytes a member's "
    "name can hold. Nothing was encrypted.";
// Filled with the paths of two sources and the place below the output folder
// where both would be decrypted.
inline constexpr std::string_view kMembersMeet =
    "Unable to bundle files %s and %s.\nBoth would be decrypted to %s. Nothing was encrypted.";

}  // namespace voltare::app::messages
