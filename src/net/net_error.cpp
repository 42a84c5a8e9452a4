// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/net_error.h"

#include "net/messages.h"

namespace voltare::net {

std::string FormatText(std::string_view pattern, std::string_view value) {
  std::string text(pattern);
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

void RequireSingleLine(std::string_view value, std::string_view field) {
  if (value.find_first_of("\r\n") != std::string_view::npos)
    throw NetError(FormatText(messages::kLineBreakInField, field));
}

}  // namespace voltare::net
