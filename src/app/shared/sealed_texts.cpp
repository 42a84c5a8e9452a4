// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/sealed_texts.h"

#include <exception>
#include <string>

#include "app/main_window/messages.h"
#include "platform/settings_store.h"

namespace voltare::app {

namespace {

constexpr std::string_view kAlgorithmSetting = "Algorithm";
constexpr std::string_view kSealedAlgorithm = "3";

}  // namespace

std::optional<bool> TextsAreSealed(Interaction& ui, const RunOverrides& overrides) {
  if (const auto chosen = overrides.settings.find(kAlgorithmSetting); chosen != overrides.settings.end()) {
    return chosen->second == kSealedAlgorithm;
  }
  try {
    const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (!key || !key->Find(kAlgorithmSetting)) return false;
    return key->ReadString(kAlgorithmSetting) == kSealedAlgorithm;
  } catch (const std::exception&) {
    ui.Error(messages::SettingsFailureText());
  }
  return std::nullopt;
}

}  // namespace voltare::app
