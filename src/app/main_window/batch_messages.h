// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of batch encryption and the batch wipe, and how their numbers and
// names are filled in.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/translate.h"

namespace voltare::app::messages {

// Filled with the 1-based position of the file in the batch and the batch size.
inline constexpr common::Text kCompressingStatus = N_("Compressing (%d/%d)...");
inline constexpr common::Text kEncryptingStatus = N_("Encrypting (%d/%d)...");
inline constexpr common::Text kWipingStatus = N_("Wiping (%d/%d)...");
// Reading an encrypted file back against its source before the source is wiped.
inline constexpr common::Text kVerifyingStatus = N_("Verifying (%d/%d)...");
// While the key of a sealed file (XChaCha20-Poly1305) is derived from the password.
inline constexpr common::Text kDerivingKeyStatus = N_("Deriving the key...");

inline constexpr common::Text kArchiveNameTitle = N_("Please enter a filename for the PLX Archive file:");
inline constexpr common::Text kArchiveFilter = N_("PLX Archive (*.plx)|*.plx");
// Filled with the archive's full path.
inline constexpr common::Text kReplaceArchive = N_("%s already exists.\nDo you want to replace it?");
inline constexpr common::Text kSamePassword =
    N_("Do you want to use the same password you just used to all the other selected files ?");
// The status line after a stop, filled with the file the stopped step worked on.
inline constexpr common::Text kStoppedEncrypting = N_("Stopped: %s was not encrypted, nothing of it was written.");
inline constexpr common::Text kStoppedBundling =
    N_("Stopped while packing %s: no archive was written and nothing was wiped.");
inline constexpr common::Text kStoppedReadBack =
    N_("Stopped while reading back %s: it and the files after it were not wiped; the encrypted files were kept.");
inline constexpr common::Text kStoppedDecrypting = N_("Stopped: %s was not decrypted, nothing of it was written.");
// Filled with the archive's full path, which names a file of the batch itself.
inline constexpr common::Text kArchiveIsBatchFile = N_(
    "Unable to write the PLX Archive file %s.\nIt would replace one of the selected files or their encrypted files.");
// Filled with the file's path and the selected file its encrypted file would replace.
inline constexpr common::Text kOutputIsBatchFile =
    N_("Unable to encrypt file %s.\n%s is one of the selected files. File skipped.");
// Filled with the path of an older encrypted file beside a file being encrypted.
inline constexpr common::Text kReplaceEncrypted = N_("%s already exists.\nDo you want to replace it?");
// Filled with the path of an older encrypted file beside a file being bundled.
inline constexpr common::Text kBundleReplacesEncryptedFile =
    N_("%s already exists.\nIt would be replaced, then packed into the PLX Archive file and removed.\n"
       "Do you want to replace it?");
// Filled with the source's path: its encrypted file did not decrypt back to it.
inline constexpr common::Text kNotVerified = N_("Unable to verify the encrypted file of %s.\nThe file is not wiped.");
// Filled with the source's path: between the read-back and the wipe the
// source, or the encrypted copy it was checked against, is no longer the same.
inline constexpr common::Text kChangedSinceVerified =
    N_("Unable to wipe file %s. It changed after its encrypted copy was verified. File skipped.");
inline constexpr common::Text kCopyGoneSinceVerified =
    N_("Unable to wipe file %s. Its encrypted copy is gone or was replaced after it was verified. File skipped.");
inline constexpr common::Text kEncrypted = N_("The file(s) are successfully encrypted !");

inline constexpr common::Text kWipeChooserTitle = N_("Please select the files you want to wipe:");
// Filled with the settings file's path (WithSettingsPath).
inline constexpr common::Text kWipeSettingsError =
    N_("KOVA Voltare caused an unexpected settings error in %s.\n\nPlease contact the author.");
inline constexpr common::Text kConfirmWipe = N_("Are you sure you want to wipe the selected files?");
// Filled with the number of files, when folders brought them.
inline constexpr common::PluralText kConfirmWipeFolders =
    NP_("Are you sure you want to wipe 1 file, every file in the selected folders?",
        "Are you sure you want to wipe %d files, every file in the selected folders?");
inline constexpr common::Text kNetworkDrive = N_("Cannot wipe files at a network drive !");
inline constexpr common::Text kWiped = N_("The files are successfully wiped !");
// Asked before a stop that would leave a batch half done.
inline constexpr common::Text kStopHalfDone = N_("Stop now and leave the work on the selected files half done ?");
inline constexpr common::Text kWipeStopped = N_(
    "Wiping of file %s was stopped. The file is left partly overwritten under its own name; this cannot be undone !");

// Filled with the stored pass count and the passes made instead ("1 pass").
inline constexpr common::Text kPassCountOutOfRange =
    N_("The stored number of passes for a Normal Wipe (%s) is outside the range from 1 to 100.\n"
       "The wipe makes %s instead; the Preferences dialog sets the number.");
// The Preferences dialog's answer to a pass count it cannot store.
inline constexpr common::Text kPassesOutOfRange = N_("Please enter a number of passes from 1 to 100 !");
// Filled with a file's path and the name of its file system.
inline constexpr common::Text kCopyOnWriteFileSystem =
    N_("%s is on a %s file system, which writes changed data to new places on the disk: overwriting cannot "
       "reach the old copies of the data there.\nDo you want to wipe the files anyway ?");

// A "(%d/%d)" text filled with `position` (1-based) and `count`.
std::string FormatCount(std::string_view format, std::size_t position, std::size_t count);
// A text with one "%s" filled with `name`.
std::string FormatName(std::string_view format, std::string_view name);
// A text with its "%s" filled with `names`, in turn.
std::string FormatNames(std::string_view format, std::initializer_list<std::string_view> names);

}  // namespace voltare::app::messages
