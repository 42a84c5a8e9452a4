// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/header_list.h"

#include <algorithm>
#include <cctype>

namespace voltare::net {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view NameOf(std::string_view line) { return line.substr(0, line.find(':')); }

}  // namespace

void THeaderList::SetHeader(std::string_view name, std::string_view value) {
  const auto found = std::find_if(lines_.begin(), lines_.end(),
                                  [name](const std::string& line) { return SameName(NameOf(line), name); });
  if (value.empty()) {
    if (found != lines_.end()) lines_.erase(found);
    return;
  }
  std::string line = std::string(name) + ": " + std::string(value);
  if (found != lines_.end()) *found = std::move(line);
  else lines_.push_back(std::move(line));
}

std::string THeaderList::Text() const {
  std::string text;
  for (const auto& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace voltare::net
