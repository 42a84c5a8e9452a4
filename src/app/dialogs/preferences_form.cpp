// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/preferences_form.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"
#include "common/translate.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"

namespace voltare::app {

namespace {

using platform::SettingsKey;

// The value the settings give for "Algorithm": 0 to 3, nothing for any
// other text. A value that is no string at all is a damaged setting and
// throws SettingsError, so that it is reported rather than shown, and then
// stored, as DES.
std::optional<int> StoredAlgorithm(const SettingsKey& key) {
  if (!key.Find("Algorithm")) return std::nullopt;
  const std::string text = key.ReadString("Algorithm");
  try {
    const int algorithm = platform::ParseInteger(text);
    if (algorithm >= 0 && algorithm <= 3) return algorithm;
  } catch (const platform::SettingsError&) {
  }
  return std::nullopt;
}

}  // namespace

TPreferencesForm::TPreferencesForm(Interaction& ui) : ui_(ui) {
  BlowfishButton.caption = tr_("Blowfish - (448 bit)");
  CAST5Button.caption = tr_("CAST5 - (64 bit)");
  DESButton.caption = tr_("DES - (56 bit)");
  XChaChaButton.caption = tr_("XChaCha20-Poly1305 - (256 bit)");
  DESButton.checked = true;
  Update.caption = tr_("Check for new version at startup");
  GovernmentWipe.caption = tr_("&Government Wipe");
  NormalWipe.caption = tr_("&Normal Wipe");
  Passes.text = "3";
  Passes.enabled = false;
  UpDown.enabled = false;
  WipeFileAfterCrypto.caption = tr_("&Wipe File After Encryption");
}

void TPreferencesForm::FormShow() {
  try {
    LoadSettings();
  } catch (const platform::SettingsFileDamaged& damaged) {
    ui_.Error(platform::ErrorFormat(platform::ErrBadFile, damaged.what()));
  } catch (const std::exception& failure) {
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
}

void TPreferencesForm::LoadSettings() {
  const std::optional<SettingsKey> key = SettingsKey::OpenReadOnly(platform::kSettingsKey);
  if (!key) {
    ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
    return;
  }
  // Only the upper bounds are checked. A value above its bound is still
  // reported, but shown as that bound, so that OK stores a sound value and
  // the store is repaired rather than refused at every later showing.
  const int loop = key->ReadInteger("Loop");
  const int wipe = key->ReadInteger("Wipe");
  const int typeOfWipe = key->ReadInteger("TypeOfWipe");
  const auto bounded = [](std::string_view name, int value) {
    return std::min(value, platform::FindSettingRange(name)->max);
  };
  loopRepaired_ = bounded("Loop", loop) != loop;
  if (loopRepaired_ || bounded("Wipe", wipe) != wipe || bounded("TypeOfWipe", typeOfWipe) != typeOfWipe) {
    ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
  }

  // Both read before any control changes: a failure leaves them all as they were.
  const bool checkUpdate = key->ReadDword("CheckUpdate") != 0;
  const int algorithm = StoredAlgorithm(*key).value_or(2);
  Update.checked = checkUpdate;
  CheckAlgorithm(algorithm);
  Passes.text = std::to_string(bounded("Loop", loop));
  UpDown.position = std::clamp(loop, UpDown.min, UpDown.max);
  WipeFileAfterCrypto.checked = bounded("Wipe", wipe) != 0;
  GovernmentWipe.checked = bounded("TypeOfWipe", typeOfWipe) == 0;
  NormalWipe.checked = bounded("TypeOfWipe", typeOfWipe) == 1;
  Passes.enabled = UpDown.enabled = NormalWipe.checked;
  ActivePage = Page::General;
}

void TPreferencesForm::NormalWipeClick() { EnablePasses(); }
void TPreferencesForm::GovernmentWipeClick() { EnablePasses(); }

void TPreferencesForm::EnablePasses() { Passes.enabled = UpDown.enabled = NormalWipe.checked; }

void TPreferencesForm::UpDownClick(bool up) {
  // The arrows start from the text, as the user may have typed a count.
  int position = UpDown.position;
  try {
    position = platform::ParseInteger(Passes.text);
  } catch (const platform::SettingsError&) {
  }
  position = std::clamp(position, UpDown.min, UpDown.max);
  UpDown.position = std::clamp(up ? position + 1 : position - 1, UpDown.min, UpDown.max);
  Passes.text = std::to_string(UpDown.position);
}

std::vector<NamedControl> TPreferencesForm::Controls() {
  return {{"BlowfishButton", &BlowfishButton},
          {"CAST5Button", &CAST5Button},
          {"DESButton", &DESButton},
          {"XChaChaButton", &XChaChaButton},
          {"Update", &Update},
          {"GovernmentWipe", &GovernmentWipe},
          {"NormalWipe", &NormalWipe},
          {"Passes", &Passes},
          {"UpDown", &UpDown},
          {"WipeFileAfterCrypto", &WipeFileAfterCrypto}};
}

void TPreferencesForm::MoreInfoButtonClick() { ui_.ShowHelp(messages::kHelpAlgorithms); }

void TPreferencesForm::CancelButtonClick() { Close(); }

void TPreferencesForm::OKButtonClick() {
  try {
    if (SaveSettings()) Close();
  } catch (const platform::SettingsFileDamaged& damaged) {
    ui_.Error(platform::ErrorFormat(platform::ErrBadFile, damaged.what()));
  } catch (const std::exception& failure) {
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
}

bool TPreferencesForm::SaveSettings() {
  std::optional<SettingsKey> key;
  try {
    key = SettingsKey::OpenForWriting(platform::kSettingsKey);
  } catch (const platform::OsError&) {
    ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
    return false;
  }
  const int typeOfWipe = NormalWipe.checked && !GovernmentWipe.checked ? 1 : 0;
  // Judged before anything is written, so a bad pass count changes nothing.
  std::optional<int> typed = 0;
  if (typeOfWipe == 1 && !(typed = TypedPassCount())) return false;
  const int passes = *typed;

  key->WriteInteger("Algorithm", CheckedAlgorithm());
  if (passes != 0) {
    key->WriteInteger("Loop", passes);
  } else if (loopRepaired_) {
    // Government Wipe keeps the pass count, but not one above its bound.
    key->WriteInteger("Loop", UpDown.position);
  }
  key->WriteInteger("TypeOfWipe", typeOfWipe);
  key->WriteInteger("Wipe", WipeFileAfterCrypto.checked ? 1 : 0);
  key->WriteDword("CheckUpdate", Update.checked ? 1 : 0);
  return true;
}

std::optional<int> TPreferencesForm::TypedPassCount() {
  try {
    const int passes = platform::ParseInteger(Passes.text);
    if (passes >= platform::kMinWipePasses && passes <= platform::kMaxWipePasses) return passes;
  } catch (const platform::SettingsError&) {
  }
  ui_.Error(messages::kPassesOutOfRange);
  ActivePage = Page::Wipe;
  ActiveControl = &Passes;
  return std::nullopt;
}

int TPreferencesForm::CheckedAlgorithm() const {
  if (BlowfishButton.checked) return 0;
  if (CAST5Button.checked) return 1;
  if (XChaChaButton.checked) return 3;
  return 2;
}

void TPreferencesForm::CheckAlgorithm(int algorithm) {
  BlowfishButton.checked = algorithm == 0;
  CAST5Button.checked = algorithm == 1;
  DESButton.checked = algorithm == 2;
  XChaChaButton.checked = algorithm == 3;
}

}  // namespace voltare::app
