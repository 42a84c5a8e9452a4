// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The e-mail settings: five text values under the "E-mail" key of the
// settings store, which the settings dialog writes and the composer reads.

#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace voltare::app {

inline constexpr std::string_view kServerValue = "Server";
inline constexpr std::string_view kPortValue = "Port";
inline constexpr std::string_view kUsernameValue = "Username";
inline constexpr std::string_view kNameValue = "Name";
inline constexpr std::string_view kAddressValue = "Address";

// A value of the e-mail key as text: a missing value reads as the empty
// string; a value that is not text throws platform::SettingsError
// ("Invalid data type for '<name>'").
std::string ReadEmailValue(const platform::SettingsKey& key, std::string_view name);

enum class EmailSettingsState {
  KeyMissing,  // the "E-mail" key cannot be opened
  Incomplete,  // at least one of the five values is empty or missing
  Complete,
};

// Whether the composer has everything it needs to send. Throws what reading
// the store throws (a damaged store, a value that is not text).
EmailSettingsState CheckEmailSettings();

}  // namespace voltare::app
