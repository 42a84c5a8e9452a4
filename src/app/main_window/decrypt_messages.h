// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of batch decryption and of the archive viewer.

#include <cstddef>
#include <string>
#include <string_view>

namespace voltare::app::decrypt_messages {

inline constexpr std::string_view kDecryptTitle = "Please select the file(s) you want to decrypt:";
inline constexpr std::string_view kDecryptFilter =
    "KOVA Voltare Files (*.plx, *.vlt)|*.plx;*.vlt|KOVA Voltare Encryption File (*.vlt)|*.vlt|"
    "PLX Archive (*.plx)|*.plx";

// Filled with the names of two files of the batch and the place below the
// output folder where both would be decrypted.
inline constexpr std::string_view kSamePlace =
    "Unable to decrypt %s and %s.\nBoth would be decrypted to %s. Nothing was decrypted.";
// Filled with the file's name and the path of what lies on the way to its
// folder: a link, or a file where a folder is needed.
inline constexpr std::string_view kLinkOnTheWay =
    "Unable to decrypt %s.\n%s is a link: a decrypted file is never written through one. File skipped.";
inline constexpr std::string_view kFileOnTheWay = "Unable to decrypt %s.\n%s is not a folder. File skipped.";
// Filled with the path of the file that would be replaced.
inline constexpr std::string_view kReplaceDecrypted = "%s already exists.\nDo you want to replace it?";
inline constexpr std::string_view kSamePasswordForAll =
    "Do you want to use the same password you just used to all the other selected files ?";
inline constexpr std::string_view kDecryptedAll = "The file(s) are successfully decrypted !";

// Filled with the 1-based position of the file and the batch size.
inline constexpr std::string_view kDecryptingStatus = "Decrypting (%d/%d)...";
inline constexpr std::string_view kDecompressingStatus = "Decompressing (%d/%d)...";

inline constexpr std::string_view kViewerCaption = "PLX Viewer - ";
inline constexpr std::string_view kChooseOutputDirectory = "Please select an output directory";
inline constexpr std::string_view kNothingSelected = "You need to select at least one file.";
// Filled with the text of the directory edit.
inline constexpr std::string_view kNoSuchDirectory = "Directory %s does not exist !";

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
