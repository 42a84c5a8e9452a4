// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/run_overrides.h"

namespace voltare::app {

std::string ReadSettingText(const platform::SettingsKey& key, std::string_view name, const RunOverrides& overrides) {
  if (const auto found = overrides.settings.find(name); found != overrides.settings.end()) return found->second;
  return key.ReadString(name);
}

std::int32_t ReadSettingInteger(const platform::SettingsKey& key, std::string_view name,
                                const RunOverrides& overrides) {
  return platform::ParseInteger(ReadSettingText(key, name, overrides));
}

}  // namespace voltare::app
