// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's size and its list's column widths, kept between runs in
// the settings store, under the main key's "Main Window" subkey.

#include <optional>
#include <string_view>
#include <vector>

namespace voltare::app {

inline constexpr std::string_view kWindowSettingsKey = "\\Software\\KOVA Software\\KOVA Voltare\\Main Window";

struct WindowLayout {
  int width = 0;
  int height = 0;
  std::vector<int> columnWidths;  // one per list column, or none

  friend bool operator==(const WindowLayout&, const WindowLayout&) = default;
};

// What was kept; nothing when never kept, unreadable or out of all reason.
// Column widths that do not fit the list's columns are left out.
std::optional<WindowLayout> LoadWindowLayout();

// Keeps the layout; false when the store could not be written. A layout is a
// convenience: failing to keep it is never worth a message.
bool SaveWindowLayout(const WindowLayout& layout);

}  // namespace voltare::app
