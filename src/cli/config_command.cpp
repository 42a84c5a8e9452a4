// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli config show | config set NAME VALUE

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <iomanip>
#include <iostream>
#include <optional>

#include "app/main_window/messages.h"
#include "cli/command.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"

namespace voltare::cli {

namespace {

constexpr std::array<std::string_view, 5> kSettingNames = {"Algorithm", "TypeOfWipe", "Loop", "Wipe", "CheckUpdate"};

void PrintKey(std::string_view keyPath) {
  std::cout << "[" << keyPath << "]\n";
  const auto key = platform::SettingsKey::OpenReadOnly(keyPath);
  if (!key) {
    std::cout << "  (the key does not exist)\n";
    return;
  }
  if (key->Values().empty()) std::cout << "  (no values)\n";
  for (const auto& [name, value] : key->Values()) {
    std::cout << "  " << std::left << std::setw(14) << name << std::setw(19) << platform::TypeName(value.type)
              << value.Display() << "\n";
  }
}

int ShowSettings(Session& session) {
  try {
    PrintKey(platform::kSettingsKey);
    PrintKey(platform::kEmailSettingsKey);
    return kExitSuccess;
  } catch (const std::exception& failure) {
    session.ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return kExitFailure;
  }
}

// The new value as the store will hold it; UsageError, naming the setting and
// what it may hold, for any other text.
std::int32_t CheckedValue(const platform::SettingRange& range, const std::string& value) {
  std::optional<std::int32_t> number;
  try {
    number = platform::ParseInteger(value);
  } catch (const platform::SettingsError&) {
  }
  if (!number || *number < range.min || *number > range.max) {
    throw UsageError(std::string(range.name) + " must be " + std::string(range.allowed) + ", not '" + value +
                     "'; nothing was changed");
  }
  return *number;
}

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
  CLI::App* config = parent.add_subcommand("config", "Show or change the program's settings");
  config->require_subcommand(1);
  config->footer("\nExamples: voltare-cli config show\n          voltare-cli config set Algorithm 0");

  CLI::App* show = config->add_subcommand(
      "show", "Print every setting of the main key and of its \"E-mail\" key, with type and value");
  show->callback([&chosen] { chosen = ShowSettings; });

  CLI::App* set = config->add_subcommand("set", "Change one of the five main settings");
  set->footer(
      "\nThe value is checked first; a value out of range changes nothing. The change\n"
      "then goes through the preferences dialog, with its checks and messages. A\n"
      "stored value the program cannot use is replaced by the new one directly, so\n"
      "that the store can always be repaired; while another value is unusable,\n"
      "nothing is changed and the command names it.\n"
      "  Algorithm    0 Blowfish, 1 CAST5, 2 DES (cipher for new encryptions)\n"
      "  TypeOfWipe   0 Government Wipe, 1 Normal Wipe\n"
      "  Loop         passes of a Normal Wipe, 1 to 100 (kept only while\n"
      "               TypeOfWipe is 1)\n"
      "  Wipe         1 wipes the source files after encryption, 0 does not\n"
      "  CheckUpdate  1 looks for a new version at start, 0 does not\n"
      "\nExample: voltare-cli config set TypeOfWipe 1 && voltare-cli config set Loop 7");
  auto name = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  set->add_option("NAME", *name, "Algorithm, TypeOfWipe, Loop, Wipe or CheckUpdate")
      ->required()
      ->transform(
          CLI::IsMember(std::vector<std::string>(kSettingNames.begin(), kSettingNames.end()), CLI::ignore_case));
  set->add_option("VALUE", *value, "The new value")->required();
  set->callback([&chosen, name, value] {
    chosen = [name = CanonicalName(*name), value = *value](Session& session) {
      return SetSetting(session, name, value);
    };
  });
}

}  // namespace voltare::cli
