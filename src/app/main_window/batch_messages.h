// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of batch encryption and the batch wipe, and how their numbers and
// names are filled in.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace voltare::app::messages {

// Filled with the 1-based position of the file in the batch and the batch size.
inline constexpr std::string_view kCompressingStatus = "Compressing (%d/%d)...";
inline constexpr std::string_view kEncryptingStatus = "Encrypting (%d/%d)...";
inline constexpr std::string_view kWipingStatus = "Wiping (%d/%d)...";
// Reading an encrypted file back against its source before the source is wiped.
inline constexpr std::string_view kVerifyingStatus = "Verifying (%d/%d)...";
// While the key of a sealed file (XChaCha20-Poly1305) is derived from the password.
inline constexpr std::string_view kDerivingKeyStatus = "Deriving the key...";

inline constexpr std::string_view kArchiveNameTitle = "Please enter a filename for the PLX Archive file:";
inline constexpr std::string_view kArchiveFilter = "PLX Archive (*.plx)|*.plx";
// Filled with the archive's full path.
inline constexpr std::string_view kReplaceArchive = "%s already exists.\nDo you want to replace it?";
inline constexpr std::string_view kSamePassword =
    "Do you want to use the same password you just used to all the other selected files ?";
// The status line after a stop, filled with the file the stopped step worked on.
inline constexpr std::string_view kStoppedEncrypting = "Stopped: %s was not encrypted, nothing of it was written.";
inline constexpr std::string_view kStoppedBundling =
    "Stopped while packing %s: no archive was written and nothing was wiped.";
inline constexpr std::string_view kStoppedReadBack =
    "Stopped while reading back %s: it and the files after it were not wiped; the encrypted files were kept.";
inline constexpr std::string_view kStoppedDecrypting = "Stopped: %s was not decrypted, nothing of it was written.";
// Filled with the archive's full path, which names a file of the batch itself.
inline constexpr std::string_view kArchiveIsBatchFile =
    "Unable to write the PLX Archive file %s.\nIt would replace one of the selected files or their encrypted files.";
// Filled with the file's path and the selected file its encrypted file would replace.
inline constexpr std::string_view kOutputIsBatchFile =
    "Unable to encrypt file %s.\n%s is one of the selected files. File skipped.";
// Filled with the path of an older encrypted file beside a file being encrypted.
inline constexpr std::string_view kReplaceEncrypted = "%s already exists.\nDo you want to replace it?";
// Filled with the path of an older encrypted file beside a file being bundled.
inline constexpr std::string_view kBundleReplacesEncryptedFile =
    "%s already exists.\nIt would be replaced, then packed into the PLX Archive file and removed.\n"
    "Do you want to replace it?";
// Filled with the source's path: its encrypted file did not decrypt back to it.
inline constexpr std::string_view kNotVerified = "Unable to verify the encrypted file of %s.\nThe file is not wiped.";
// Filled with the source's path: between the read-back and the wipe the
// source, or the encrypted copy it was checked against, is no longer the same.
inline constexpr std::string_view kChangedSinceVerified =
    "Unable to wipe file %s. It changed after its encrypted copy was verified. File skipped.";
inline constexpr std::string_view kCopyGoneSinceVerified =
    "Unable to wipe file %s. Its encrypted copy is gone or was replaced after it was verified. File skipped.";
inline constexpr std::string_view kEncrypted = "The file(s) are successfully encrypted !";

inline constexpr std::string_view kWipeChooserTitle = "Please select the files you want to wipe:";
// Filled with the settings file's path (WithSettingsPath).
inline constexpr std::string_view kWipeSettingsError =
    "KOVA Voltare caused an unexpected settings error in %s.\n\nPlease contact the author.";
inline constexpr std::string_view kConfirmWipe = "Are you sure you want to wipe the selected files?";
// Filled with the number of files, when folders brought them.
inline constexpr std::string_view kConfirmWipeFolders =
    "Are you sure you want to wipe %d files, every file in the selected folders?";
inline constexpr std::string_view kConfirmWipeOneFolderFile =
    "Are you sure you want to wipe 1 file, every file in the selected folders?";
inline constexpr std::string_view kNetworkDrive = "Cannot wipe files at a network drive !";
inline constexpr std::string_view kWiped = "The files are successfully wiped !";
// Asked before a stop that would leave a batch half done.
inline constexpr std::string_view kStopHalfDone = "Stop now and leave the work on the selected files half done ?";
inline constexpr std::string_view kWipeStopped =
    "Wiping of file %s was stopped. The file is left partly overwritten under its own name; this cannot be undone !";

// Filled with the stored pass count and the passes made instead ("1 pass").
inline constexpr std::string_view kPassCountOutOfRange =
    "The stored number of passes for a Normal Wipe (%s) is outside the range from 1 to 100.\n"
    "The wipe makes %s instead; the Preferences dialog sets the number.";
// The Preferences dialog's answer to a pass count it cannot store.
inline constexpr std::string_view kPassesOutOfRange = "Please enter a number of passes from 1 to 100 !";
// Filled with a file's path and the name of its file system.
inline constexpr std::string_view kCopyOnWriteFileSystem =
    "%s is on a %s file system, which writes changed data to new places on the disk: overwriting cannot "
    "reach the old copies of the data there.\nDo you want to wipe the files anyway ?";

// A "(%d/%d)" text filled with `position` (1-based) and `count`.
std::string FormatCount(std::string_view format, std::size_t position, std::size_t count);
// A text with one "%s" filled with `name`.
std::string FormatName(std::string_view format, std::string_view name);
// A text with its "%s" filled with `names`, in turn.
std::string FormatNames(std::string_view format, std::initializer_list<std::string_view> names);

}  // namespace voltare::app::messages
