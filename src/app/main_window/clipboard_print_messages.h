// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the clipboard commands and of the printed file list.

#include <cstddef>
#include <string_view>

#include "common/translate.h"

#include "common/version.h"

namespace voltare::app::messages {

inline constexpr common::Text kNoClipboardText = N_("No text found on clipboard !");
// The longest clipboard text, in bytes, that the encryption commands take.
inline constexpr std::size_t kMaxClipboardBytes = 65535;
// A sealed text whose pieces do not open, or that was cut off: the words a
// damaged sealed file gets.
inline constexpr common::Text kTamperedText =
    N_("The text is damaged or was changed after it was encrypted. Nothing of it was decrypted.");

// The printed list: its heading is followed by the maker's home page.
inline constexpr std::string_view kPrintHeading = "KOVA Voltare " VOLTARE_VERSION " - ";
inline constexpr std::string_view kPrintFont = "Arial";
inline constexpr common::Text kPrintFileNameTitle = N_("FileName:");
inline constexpr common::Text kPrintSizeTitle = N_("Size:");
inline constexpr common::Text kPrintTypeTitle = N_("Type:");

}  // namespace voltare::app::messages
