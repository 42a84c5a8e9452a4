// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The wipe engine's own texts.

#include <string_view>

#include "common/translate.h"

namespace voltare::transforms::wipe_messages {

// Filled with the result code and the name of the failed call (or the text of
// the exception that ended the time change).
inline constexpr common::Text kChangeFileTimeFailed =
    N_("KOVA Voltare caused an unexpected in WipeChangeFileTime()\n\nError code: %d\nError message: "
       "%s");

inline constexpr std::string_view kSetFileTimeCall = "SetFileTime()";

}  // namespace voltare::transforms::wipe_messages

namespace voltare::transforms::wipe_messages {

// Each filled with the file's path: why it was not wiped. Nothing was
// written to it and nothing deleted.
inline constexpr common::Text kHardLinks =
    N_("Unable to wipe file %s. It has other names (hard links) that would lose their content. File skipped.");
inline constexpr common::Text kSymbolicLink =
    N_("Unable to wipe file %s. It is a symbolic link; wiping it would empty the file it points to. File skipped.");
inline constexpr common::Text kFolder = N_("Unable to wipe file %s. It is a folder, not a file. File skipped.");
inline constexpr common::Text kFifo =
    N_("Unable to wipe file %s. It is a named pipe (FIFO), not a file. File skipped.");
inline constexpr common::Text kSpecialFile =
    N_("Unable to wipe file %s. It is a device or another special file, not a regular file. File skipped.");

// Filled with the path: the checks before the final rename found the file
// elsewhere. It is left overwritten and empty where it now is.
inline constexpr common::Text kFolderMoved =
    N_("Wiping of file %s was stopped: its folder was moved or replaced while the file was overwritten.\n"
       "Nothing was deleted.");
inline constexpr common::Text kNameSwapped =
    N_("Wiping of file %s was stopped: its name now refers to another file.\nNothing was deleted.");

// Filled with the path and the system's reason.
inline constexpr common::Text kRenameFailedNameRemoved =
    N_("File %s was overwritten, but it could not be moved to a neutral name before its removal (%s).\n"
       "Its name was removed.");
inline constexpr common::Text kRenameFailedNameKept =
    N_("File %s was overwritten, but it could not be moved to a neutral name (%s).\n"
       "It stays, empty, under its own name.");
inline constexpr common::Text kRemoveFailed = N_(
    "File %s was overwritten, but it could not be removed (%s).\nIt stays, empty, under a neutral name in its folder.");

// A pass count below one would delete the file without overwriting it.
inline constexpr common::Text kNoPasses =
    N_("KOVA Voltare caused an unexpected error: a wipe of %s was asked with %d passes.\nThe file is left as it is.");

}  // namespace voltare::transforms::wipe_messages
