// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/batch_messages.h"

#include <cstdio>
#include <vector>

namespace voltare::app::messages {

std::string FormatCount(std::string_view format, std::size_t position, std::size_t count) {
  const std::string pattern(format);
  std::vector<char> text(pattern.size() + 48);
  std::snprintf(text.data(), text.size(), pattern.c_str(), static_cast<int>(position), static_cast<int>(count));
  return text.data();
}

std::string FormatName(std::string_view format, std::string_view name) { return FormatNames(format, {name}); }

std::string FormatNames(std::string_view format, std::initializer_list<std::string_view> names) {
  // Filled by hand: a name may be longer than any fixed buffer and may itself
  // hold "%s", which must stay as it is.
  std::string text(format);
  std::size_t from = 0;
  for (const std::string_view name : names) {
    const auto at = text.find("%s", from);
    if (at == std::string::npos) break;
    text.replace(at, 2, name);
    from = at + name.size();
  }
  return text;
}

}  // namespace voltare::app::messages
