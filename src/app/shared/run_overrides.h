// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Values that stand in for stored settings during one run of the program
// (given on the voltare-cli command line). Nothing here is ever written to
// the settings store; readers ask ReadSettingText instead of the key.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace voltare::app {

struct RunOverrides {
  // Setting name ("Algorithm", "Wipe", "TypeOfWipe", "Loop") to the decimal
  // text that stands in for its stored value.
  std::map<std::string, std::string, std::less<>> settings;
};

// A string setting as this run sees it: the override when there is one,
// otherwise the stored text (SettingsError when missing or not a string).
std::string ReadSettingText(const platform::SettingsKey& key, std::string_view name, const RunOverrides& overrides);

// The same text converted whole to an integer; SettingsError when it is
// empty or not a decimal 32-bit integer.
std::int32_t ReadSettingInteger(const platform::SettingsKey& key, std::string_view name, const RunOverrides& overrides);

}  // namespace voltare::app
