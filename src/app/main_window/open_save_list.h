// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text inside a saved file list (".vls"), before compression and
// encryption: an initialization file with one section, "KOVAVoltare", whose
// keys "File0", "File1", ... name the listed paths in list order.

#include <string>
#include <string_view>
#include <vector>

namespace voltare::app {

// The text for `paths`, every entry kept, whatever its length.
std::string SavedListText(const std::vector<std::string>& paths);

// The paths a list's text names: as many as its section has keys, the k-th
// being the value of "File<k>". Lists written by other versions may skip
// numbers; a number without its key reads as "ERROR", a name no listed file
// has, as it always has. Every entry and every value is read in full.
std::vector<std::string> SavedListPaths(std::string_view text);

}  // namespace voltare::app
