// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli config show | config set NAME VALUE

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <iomanip>
#include <iostream>
#include <optional>

#include "app/main_window/algorithm_table.h"
#include "app/main_window/messages.h"
#include "cli/command.h"
#include "common/translate.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"

namespace voltare::cli {

namespace {

constexpr std::array<std::string_view, 5> kSettingNames = {"Algorithm", "TypeOfWipe", "Loop", "Wipe", "CheckUpdate"};

// Why the stored value of a main setting cannot be used; nothing when it can.
std::optional<std::string> StoredFault(const std::optional<platform::SettingsKey>& key,
                                       const platform::SettingRange& range) {
  if (!key) return std::string("the settings key does not exist");
  try {
    const std::int64_t value =
        range.name == "CheckUpdate" ? std::int64_t{key->ReadDword(range.name)} : key->ReadInteger(range.name);
    if (value >= range.min && value <= range.max) return std::nullopt;
    return std::string(range.name) + " is " + std::to_string(value) + ", not " + std::string(range.allowed);
  } catch (const platform::SettingsError& error) {
    return std::string(error.what());
  }
}

constexpr int kNameWidth = 13;

// What a usable value of a main setting means: "3 (XChaCha20-Poly1305)",
// "1 (Normal Wipe)", "7", or "yes"/"no" for a switch.
std::string Meaning(std::string_view name, std::int32_t value) {
  if (name == "Algorithm") {
    return std::to_string(value) + " (" + std::string(app::CaptionOfFileAlgorithm(value)) + ")";
  }
  if (name == "TypeOfWipe") return std::to_string(value) + (value == 0 ? " (Government Wipe)" : " (Normal Wipe)");
  if (name == "Wipe" || name == "CheckUpdate") return value == 1 ? "yes" : "no";
  return std::to_string(value);
}

// One main setting as a person reads it; a value the program cannot use is
// shown as stored, with the reason, so that it can be repaired.
void PrintMainSetting(const std::optional<platform::SettingsKey>& key, const platform::SettingRange& range) {
  std::cout << std::left << std::setw(kNameWidth) << range.name;
  if (const std::optional<std::string> fault = StoredFault(key, range)) {
    const std::optional<platform::SettingValue> stored = key ? key->Find(range.name) : std::nullopt;
    std::cout << (stored ? "'" + stored->Display() + "' " : std::string()) << "(not usable: " << *fault << ")\n";
    return;
  }
  const std::int64_t value =
      range.name == "CheckUpdate" ? std::int64_t{key->ReadDword(range.name)} : key->ReadInteger(range.name);
  std::cout << Meaning(range.name, static_cast<std::int32_t>(value)) << "\n";
}

// The e-mail settings under their own heading; every one of them is text.
void PrintEmailSettings() {
  std::cout << "\nE-mail\n";
  const std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(platform::kEmailSettingsKey);
  if (!key || key->Values().empty()) {
    std::cout << "  (not set up)\n";
    return;
  }
  for (const auto& [name, value] : key->Values()) {
    std::cout << "  " << std::left << std::setw(kNameWidth - 2) << name << value.Display() << "\n";
  }
}

int ShowSettings(Session& session) {
  try {
    const std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    for (const platform::SettingRange& range : platform::kSettingRanges) PrintMainSetting(key, range);
    PrintEmailSettings();
    return kExitSuccess;
  } catch (const std::exception& failure) {
    session.ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return kExitFailure;
  }
}

// The new value as the store will hold it; UsageError, naming the setting and
// what it may hold, for any other text.
std::int32_t CheckedValue(const platform::SettingRange& range, const std::string& value) {
  if (range.name == "Algorithm") {
    if (const app::AlgorithmEntry* entry = app::FindAlgorithmByName(value))
      return platform::ParseInteger(entry->setting);
  }
  std::optional<std::int32_t> number;
  try {
    number = platform::ParseInteger(value);
  } catch (const platform::SettingsError&) {
  }
  if (!number || *number < range.min || *number > range.max) {
    const std::string names = range.name == "Algorithm" ? ", or its name (blowfish, cast5, des or xchacha20)" : "";
    throw UsageError(std::string(range.name) + " must be " + std::string(range.allowed) + names + ", not '" + value +
                     "'; nothing was changed");
  }
  return *number;
}

// Writes one value straight into the store: the repair of a value the
// dialog cannot load, so that no bad setting ever locks the others.
void StoreDirectly(const platform::SettingRange& range, std::int32_t value) {
  platform::SettingsKey key = platform::SettingsKey::OpenForWriting(platform::kSettingsKey);
  if (range.name == "CheckUpdate") {
    key.WriteDword(range.name, static_cast<std::uint32_t>(value));
  } else {
    key.WriteInteger(range.name, value);
  }
}

// Sets the control that holds `name` as the user would.
void SetControl(app::TPreferencesForm& form, std::string_view name, std::int32_t value) {
  if (name == "Algorithm") {
    form.BlowfishButton.checked = value == 0;
    form.CAST5Button.checked = value == 1;
    form.DESButton.checked = value == 2;
    form.XChaChaButton.checked = value == 3;
  } else if (name == "TypeOfWipe") {
    form.GovernmentWipe.checked = value == 0;
    form.NormalWipe.checked = value == 1;
    if (value == 0) form.GovernmentWipeClick();
    else form.NormalWipeClick();
  } else if (name == "Loop") {
    if (!form.Passes.enabled) {
      throw UsageError("Loop is kept only with Normal Wipe; set TypeOfWipe to 1 first");
    }
    form.Passes.text = std::to_string(value);
  } else if (name == "Wipe" || name == "CheckUpdate") {
    (name == "Wipe" ? form.WipeFileAfterCrypto : form.Update).checked = value == 1;
  }
}

// The store's unusable values other than `name`'s, refused with the
// dialog's own text and what would repair them. False when there are none.
bool RefuseOtherFaults(Session& session, const std::optional<platform::SettingsKey>& key, std::string_view name) {
  std::string faults;
  for (const platform::SettingRange& other : platform::kSettingRanges) {
    if (other.name == name) continue;
    if (const std::optional<std::string> fault = StoredFault(key, other)) {
      faults += "\n  " + *fault + " ('voltare-cli config set " + std::string(other.name) + " VALUE' repairs it)";
    }
  }
  if (faults.empty()) return false;
  session.ui.Error(app::messages::WithSettingsPath(app::messages::kSettingsFileError));
  session.ui.Report("nothing was changed; in " + platform::SettingsFilePath().string() + ":" + faults);
  return true;
}

int SetSetting(Session& session, std::string_view name, const std::string& text) {
  const platform::SettingRange& range = *platform::FindSettingRange(name);
  const std::int32_t value = CheckedValue(range, text);
  try {
    const std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (StoredFault(key, range)) {
      StoreDirectly(range, value);
      return kExitSuccess;
    }
    if (RefuseOtherFaults(session, key, name)) return kExitFailure;
  } catch (const platform::OsError&) {
    session.ui.Error(app::messages::WithSettingsPath(app::messages::kSettingsFileError));
    return kExitFailure;
  } catch (const std::exception& failure) {
    session.ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return kExitFailure;
  }
  app::TPreferencesForm& form = session.app.PreferencesForm;
  form.Open();
  form.FormShow();
  if (session.ui.ErrorShown()) {
    // The dialog would now show its design-time controls, and OK would store
    // them over every other setting; here nothing is stored instead.
    session.ui.Report("nothing was changed; correct or remove " + platform::SettingsFilePath().string());
    return kExitFailure;
  }
  SetControl(form, name, value);
  form.OKButtonClick();
  return form.IsShowing() ? kExitFailure : kExitSuccess;
}

std::string CanonicalName(const std::string& typed) {
  for (std::string_view name : kSettingNames) {
    if (std::ranges::equal(name, typed, [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
      return std::string(name);
    }
  }
  return typed;
}

}  // namespace

void AddConfigCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* config = parent.add_subcommand("config", tr_("Show or change the program's settings"));
  config->require_subcommand(1);
  config->footer(tr_("\nExamples: voltare-cli config show\n          voltare-cli config set Algorithm 0"));

  CLI::App* show = config->add_subcommand(
      "show", tr_("Print every setting with its value and what it means, then the e-mail settings"));
  show->callback([&chosen] { chosen = ShowSettings; });

  CLI::App* set = config->add_subcommand("set", tr_("Change one of the five main settings"));
  set->footer(
      tr_("\nThe value is checked first; a value out of range changes nothing. The change\n"
          "then goes through the preferences dialog, with its checks and messages. A\n"
          "stored value the program cannot use is replaced by the new one directly, so\n"
          "that the store can always be repaired; while another value is unusable,\n"
          "nothing is changed and the command names it.\n"
          "  Algorithm    0 or blowfish, 1 or cast5, 2 or des, 3 or xchacha20\n"
          "               (XChaCha20-Poly1305): the cipher for new encryptions\n"
          "  TypeOfWipe   0 Government Wipe, 1 Normal Wipe\n"
          "  Loop         passes of a Normal Wipe, 1 to 100 (kept only while\n"
          "               TypeOfWipe is 1)\n"
          "  Wipe         1 wipes the source files after encryption, 0 does not\n"
          "  CheckUpdate  1 looks for a new version at start, 0 does not\n"
          "\nExample: voltare-cli config set TypeOfWipe 1 && voltare-cli config set Loop 7"));
  auto name = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  set->add_option("NAME", *name, tr_("Algorithm, TypeOfWipe, Loop, Wipe or CheckUpdate"))
      ->required()
      ->transform(
          CLI::IsMember(std::vector<std::string>(kSettingNames.begin(), kSettingNames.end()), CLI::ignore_case));
  set->add_option("VALUE", *value, tr_("The new value"))->required();
  set->callback([&chosen, name, value] {
    chosen = [name = CanonicalName(*name), value = *value](Session& session) {
      return SetSetting(session, name, value);
    };
  });
}

}  // namespace voltare::cli
