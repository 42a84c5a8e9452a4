// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers written for people with their digits grouped the user's way:
// "2,000" in English, "2.000" in German, "2 000" in French.

#include <cstdint>
#include <string>

namespace voltare::common {

// `value` grouped as the user's numeric locale (LC_ALL, LC_NUMERIC, LANG)
// groups digits. The C locale and a locale the system does not have give
// the English "2,000". The locale is opened for this call alone: the
// process's own LC_NUMERIC stays "C", so that numbers written to settings
// files and headers never change with the language.
std::string GroupedNumber(std::uint64_t value);

}  // namespace voltare::common
