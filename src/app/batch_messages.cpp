#include "app/batch_messages.h"

#include <cstdio>
#include <vector>

namespace voltare::app::messages {

std::string FormatCount(std::string_view format, std::size_t position, std::size_t count) {
  const std::string pattern(format);
  std::vector<char> text(pattern.size() + 48);
  std::snprintf(text.data(), text.size(), pattern.c_str(), static_cast<int>(position), static_cast<int>(count));
  return text.data();
}

std::string FormatName(std::string_view format, std::string_view name) {
  // Filled by hand: a name may be longer than any fixed buffer and may itself
  // hold "%".
  std::string text(format);
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, name);
  return text;
}

}  // namespace voltare::app::messages
