// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of batch decryption and of the archive viewer.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/translate.h"

namespace voltare::app::decrypt_messages {

inline constexpr common::Text kDecryptTitle = N_("Please select the file(s) you want to decrypt:");
inline constexpr common::Text kDecryptFilter =
    N_("KOVA Voltare Files (*.plx, *.vlt)|*.plx;*.vlt|KOVA Voltare Encryption File (*.vlt)|*.vlt|"
       "PLX Archive (*.plx)|*.plx");

// Filled with the names of two files of the batch and the place below the
// output folder where both would be decrypted.
inline constexpr common::Text kSamePlace =
    N_("Unable to decrypt %s and %s.\nBoth would be decrypted to %s. Nothing was decrypted.");
// Filled with the file's name and the path of what lies on the way to its
// folder: a link, or a file where a folder is needed.
inline constexpr common::Text kLinkOnTheWay =
    N_("Unable to decrypt %s.\n%s is a link: a decrypted file is never written through one. File skipped.");
inline constexpr common::Text kFileOnTheWay = N_("Unable to decrypt %s.\n%s is not a folder. File skipped.");
// Filled with the path of the file that would be replaced.
inline constexpr common::Text kReplaceDecrypted = N_("%s already exists.\nDo you want to replace it?");
inline constexpr common::Text kSamePasswordForAll =
    N_("Do you want to use the same password you just used to all the other selected files ?");
inline constexpr common::Text kDecryptedAll = N_("The file(s) are successfully decrypted !");

// Filled with the 1-based position of the file and the batch size.
inline constexpr common::Text kDecryptingStatus = N_("Decrypting (%d/%d)...");
inline constexpr common::Text kDecompressingStatus = N_("Decompressing (%d/%d)...");

inline constexpr common::Text kViewerCaption = N_("PLX Viewer - ");
inline constexpr common::Text kChooseOutputDirectory = N_("Please select an output directory");
inline constexpr common::Text kNothingSelected = N_("You need to select at least one file.");
// Filled with the text of the directory edit.
inline constexpr common::Text kNoSuchDirectory = N_("Directory %s does not exist !");

// The text with its "%s" filled with `name`.
inline std::string FillName(std::string_view format, std::string_view name) {
  std::string text(format);
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, name);
  return text;
}

// The text with its "%d/%d" filled with `position` and `count`.
inline std::string FillCount(std::string_view format, std::size_t position, std::size_t count) {
  std::string text(format);
  if (const auto at = text.find("%d/%d"); at != std::string::npos) {
    text.replace(at, 5, std::to_string(position) + "/" + std::to_string(count));
  }
  return text;
}

}  // namespace voltare::app::decrypt_messages
