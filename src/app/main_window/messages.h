// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's own texts, in one place.

#include <string>
#include <string_view>

#include "common/translate.h"

#include "common/version.h"

namespace voltare::app::messages {

inline constexpr std::string_view kProgramTitle = "KOVA Voltare";
inline constexpr std::string_view kMainCaption = "KOVA Voltare " VOLTARE_VERSION;
// Filled with the version (VOLTARE_VERSION).
inline constexpr common::Text kWelcome = N_("Welcome to KOVA Voltare %s");
inline constexpr common::Text kUntitledHead = N_(" Untitled:");

inline constexpr common::Text kAddFilesTitle = N_("Please select the file(s) you want to add:");
inline constexpr common::Text kAllFilesFilter = N_("All Files (*.*)|*.*");
inline constexpr common::Text kAddDirectoryCaption = N_("Please select a directory you want to add:");
inline constexpr common::Text kOpenListFilter = N_("KOVA Voltare Save Files (*.vls)|*.vls");
inline constexpr common::Text kSaveListFilter = N_("KOVA Voltare Save File (*.vls)|*.vls");
inline constexpr common::Text kConfirmDelete = N_("Are you sure you want to delete the selected file from the list?");
inline constexpr common::Text kConfirmNewList = N_("Are you sure you want to create a new list?");
inline constexpr common::Text kMissingListFiles = N_("One or more files in the savefile don't exist");
// Filled with the path of a file opened as a list that is none.
inline constexpr common::Text kNotASavedList = N_("%s is not a KOVA Voltare saved list (.vls).");
// Filled with the path of a file named on the command line (voltare --encrypt ...).
inline constexpr common::Text kNoSuchFile = N_("File %s does not exist !");

// Filled with the display's colour depth in bits.
inline constexpr common::Text kColorDepthTooLow =
    N_("You are using a screen color resolution which is too low (namely %d bit).\nYou may not see the colors and "
       "pictures as good as they should be.\n\nTo change the screen color resolution, open the display settings of "
       "your desktop. A screen color resolution of 16 bit or higher is recommended.");
inline constexpr int kRecommendedColorDepth = 16;

// Filled with the settings file's path (WithSettingsPath).
inline constexpr common::Text kSettingsFileError =
    N_("KOVA Voltare could not open the settings file %s.\n\nPlease check that you may read and write it.");
// `format` with its "%s" filled with where the settings file is now.
std::string WithSettingsPath(std::string_view format);
// What to tell the user when reading the settings threw; call it only inside
// a catch block for std::exception, whose exception it reads.
std::string SettingsFailureText();

// Left to us: the maker's home page opened from the Help menu. A reserved
// example address until the maker has a real one.
inline constexpr std::string_view kHomePage = "https://www.kova-software.example/";

// The button beside the progress bar that stops a running file step.
inline constexpr common::Text kCancelCaption = N_("Cancel");
inline constexpr common::Text kCancelHint = N_("Stop the work on the files now (Esc)");

inline constexpr int kHelpContents = 10;
inline constexpr int kHelpAlgorithms = 20;

}  // namespace voltare::app::messages
