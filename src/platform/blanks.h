// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Blanks in the text files the program reads (initialization files, system
// reports): spaces and tabs, nothing else.

#include <string_view>

namespace voltare::platform {

inline constexpr std::string_view kBlanks = " \t";

// `text` without the blanks at either end.
inline std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

}  // namespace voltare::platform
