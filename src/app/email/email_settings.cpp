// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/email/email_settings.h"

#include <array>
#include <optional>

#include "app/email/email_messages.h"

namespace voltare::app {

std::string ReadEmailValue(const platform::SettingsKey& key, std::string_view name) {
  const std::optional<platform::SettingValue> value = key.Find(name);
  if (!value) return {};
  if (value->type != platform::ValueType::String && value->type != platform::ValueType::ExpandString) {
    std::string text(email_messages::kInvalidDataType);
    text.replace(text.find("%s"), 2, name);
    throw platform::SettingsError(text);
  }
  return value->text;
}

EmailSettingsState CheckEmailSettings() {
  const std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(platform::kEmailSettingsKey);
  if (!key) return EmailSettingsState::KeyMissing;
  // Every value is read, in this order, so a value of the wrong type is
  // reported even when an earlier one is already empty.
  constexpr std::array kOrder = {kAddressValue, kNameValue, kPortValue, kServerValue, kUsernameValue};
  bool complete = true;
  for (const std::string_view name : kOrder) {
    if (ReadEmailValue(*key, name).empty()) complete = false;
  }
  return complete ? EmailSettingsState::Complete : EmailSettingsState::Incomplete;
}

}  // namespace voltare::app
