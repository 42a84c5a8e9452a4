// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/grouped_number.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace voltare::common {
namespace {

struct DigitGroups {
  std::string separator;
  // The sizes of the groups from the right, one byte each, the last
  // repeated (glibc's GROUPING: "\3" for thousands, "\3\2" for lakhs).
  std::string sizes;
};

const DigitGroups& EnglishGroups() {
  static const DigitGroups groups{",", "\3"};
  return groups;
}

// The numeric locale's name as setlocale would pick it from the environment.
std::string NumericLocaleName() {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool IsPlainC(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.substr(0, 2) == "C.";
}

DigitGroups UsersGroups() {
  const std::string name = NumericLocaleName();
  if (IsPlainC(name)) return EnglishGroups();
  locale_t locale = ::newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return EnglishGroups();
  DigitGroups groups{::nl_langinfo_l(THOUSEP, locale), ::nl_langinfo_l(GROUPING, locale)};
  ::freelocale(locale);
  // A language that does not group its numbers says so with an empty
  // separator; its digits stay together.
  if (groups.separator.empty()) groups.sizes.clear();
  return groups;
}

std::string Grouped(const std::string& digits, const DigitGroups& groups) {
  std::vector<std::string_view> parts;  // from the right
  std::string_view rest = digits;
  std::size_t next = 0;
  int size = groups.sizes.empty() ? 0 : static_cast<signed char>(groups.sizes[0]);
  // A size of 0 or less, or CHAR_MAX, ends the grouping: the rest is one group.
  while (size > 0 && size < SCHAR_MAX && rest.size() > static_cast<std::size_t>(size)) {
    parts.push_back(rest.substr(rest.size() - static_cast<std::size_t>(size)));
    rest.remove_suffix(static_cast<std::size_t>(size));
    if (next + 1 < groups.sizes.size()) size = static_cast<signed char>(groups.sizes[++next]);
  }
  std::string text(rest);
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) text.append(groups.separator).append(*part);
  return text;
}

}  // namespace

std::string GroupedNumber(std::uint64_t value) { return Grouped(std::to_string(value), UsersGroups()); }

}  // namespace voltare::common
