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

// The values a setting may hold, in words, in the user's language.
std::string_view Allowed(const platform::SettingRange& range) {
  // The table's texts are literals, and so end in a null.
  return tr_(range.allowed.data());
}

// Why the stored value of a main setting cannot be used; nothing when it can.
std::optional<std::string> StoredFault(const std::optional<platform::SettingsKey>& key,
                                       const platform::SettingRange& range) {
  if (!key) return std::string(tr_("the settings key does not exist"));
  try {
    const std::int64_t value =
        range.name == "CheckUpdate" ? std::int64_t{key->ReadDword(range.name)} : key->ReadInteger(range.name);
    if (value >= range.min && value <= range.max) return std::nullopt;
    // TRANSLATORS: a stored setting that cannot be used: its name, its value
    // and the values it may hold ("Loop is 0, not a whole number from 1 to 100").
    return common::Filled(tr_("%s is %s, not %s"), {range.name, std::to_string(value), Allowed(range)});
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
  if (name == "TypeOfWipe") {
    // TRANSLATORS: %s is the stored number of the wipe method (0 and 1).
    const char* method = value == 0 ? tr_("%s (Government Wipe)") : tr_("%s (Normal Wipe)");
    return common::Filled(method, {std::to_string(value)});
  }
  // TRANSLATORS: a switch's value as shown, and a full answer to a Yes/No
  // question on the terminal (its first letter is taken too).
  if (name == "Wipe" || name == "CheckUpdate") return value == 1 ? tr_("yes") : tr_("no");
  return std::to_string(value);
}

// One main setting as a person reads it; a value the program cannot use is
// shown as stored, with the reason, so that it can be repaired.
void PrintMainSetting(const std::optional<platform::SettingsKey>& key, const platform::SettingRange& range) {
  std::cout << std::left << std::setw(kNameWidth) << range.name;
  if (const std::optional<std::string> fault = StoredFault(key, range)) {
    const std::optional<platform::SettingValue> stored = key ? key->Find(range.name) : std::nullopt;
    // TRANSLATORS: a stored value the program cannot use, as stored, and why.
    std::cout << (stored ? common::Filled(tr_("'%s' (not usable: %s)"), {stored->Display(), *fault})
                         // TRANSLATORS: why a setting that is not stored cannot be used.
                         : common::Filled(tr_("(not usable: %s)"), {*fault}))
              << "\n";
    return;
  }
  const std::int64_t value =
      range.name == "CheckUpdate" ? std::int64_t{key->ReadDword(range.name)} : key->ReadInteger(range.name);
  std::cout << Meaning(range.name, static_cast<std::int32_t>(value)) << "\n";
}

// The e-mail settings under their own heading; every one of them is text.
void PrintEmailSettings() {
  std::cout << "\n" << tr_("E-mail") << "\n";
  const std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(platform::kEmailSettingsKey);
  if (!key || key->Values().empty()) {
    std::cout << "  " << tr_("(not set up)") << "\n";
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
    // TRANSLATORS: a setting's name, the values it may hold, and the value typed.
    throw UsageError(common::Filled(
        range.name == "Algorithm"
            ? tr_("%s must be %s, or its name (blowfish, cast5, des or xchacha20), not '%s'; nothing was changed")
            // TRANSLATORS: a setting's name, the values it may hold, and the value typed.
            : tr_("%s must be %s, not '%s'; nothing was changed"),
        {range.name, Allowed(range), value}));
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
      throw UsageError(tr_("Loop is kept only with Normal Wipe; set TypeOfWipe to 1 first"));
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
      // TRANSLATORS: why a stored setting cannot be used, and the setting's name.
      faults += "\n  " + common::Filled(tr_("%s ('voltare-cli config set %s VALUE' repairs it)"), {*fault, other.name});
    }
  }
  if (faults.empty()) return false;
  session.ui.Error(app::messages::WithSettingsPath(app::messages::kSettingsFileError));
  // TRANSLATORS: %s is the settings file; the lines naming its faults follow.
  session.ui.Report(common::Filled(tr_("nothing was changed; in %s:"), {platform::SettingsFilePath().string()}) +
                    faults);
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
    session.ui.Report(
        common::Filled(tr_("nothing was changed; correct or remove %s"), {platform::SettingsFilePath().string()}));
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
