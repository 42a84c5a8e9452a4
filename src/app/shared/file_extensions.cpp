// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/file_extensions.h"

#include <algorithm>

namespace voltare::app {

namespace {

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool HasExtension(std::string_view path, std::string_view extension) noexcept {
  const std::string_view name = path.substr(path.rfind('/') + 1);
  if (name.size() <= extension.size()) return false;
  const std::string_view tail = name.substr(name.size() - extension.size());
  return std::ranges::equal(tail, extension, [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

}  // namespace voltare::app
