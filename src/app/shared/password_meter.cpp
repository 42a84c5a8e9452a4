// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/password_meter.h"

#include <exception>
#include <string>

#include "app/shared/password_strength.h"
#include "platform/settings_store.h"

namespace voltare::app {

void PasswordMeter::Start(int protection) {
  algorithm = protection;
  const bool shown = protection >= 0;
  Step.visible = Bar.visible = TimeLine.visible = shown;
  if (shown) limits = transforms::DefaultArgon2Limits();
  Follow({});
}

void PasswordMeter::Follow(std::string_view password) {
  if (algorithm < 0 || password.empty()) {
    Step.caption.clear();
    TimeLine.caption.clear();
    level = 0;
    seconds = 0;
    return;
  }
  const strength::MeterReading reading = strength::ReadMeter(password, algorithm, limits);
  Step.caption = std::string(strength::StepWord(reading.step));
  TimeLine.caption = reading.timeLine;
  level = static_cast<int>(reading.step) + 1;
  seconds = reading.seconds;
}

int TextProtectionAlgorithm(const RunOverrides& overrides) noexcept {
  try {
    const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (key && platform::ParseInteger(ReadSettingText(*key, "Algorithm", overrides)) == strength::kXChaCha) {
      return strength::kXChaCha;
    }
  } catch (const std::exception&) {
    // the weaker algorithm, as said
  }
  return strength::kBlowfish;
}

}  // namespace voltare::app
