// voltare-cli config show | config set NAME VALUE

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <iomanip>
#include <iostream>

#include "cli/command.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"

namespace voltare::cli {

namespace {

constexpr std::array<std::string_view, 5> kSettingNames = {"Algorithm", "TypeOfWipe", "Loop", "Wipe",
                                                           "CheckUpdate"};

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

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
  return std::ranges::find(allowed, value) != allowed.end();
}

// Sets the control that holds `name` as the user would.
void SetControl(app::TPreferencesForm& form, std::string_view name, const std::string& value) {
  if (name == "Algorithm") {
    if (!IsOneOf(value, {"0", "1", "2", "3"})) {
      throw UsageError("Algorithm is 0 (Blowfish), 1 (CAST5), 2 (DES) or 3 (XChaCha20-Poly1305)");
    }
    form.BlowfishButton.checked = value == "0";
    form.CAST5Button.checked = value == "1";
    form.DESButton.checked = value == "2";
    form.XChaChaButton.checked = value == "3";
  } else if (name == "TypeOfWipe") {
    if (!IsOneOf(value, {"0", "1"})) throw UsageError("TypeOfWipe is 0 (Government Wipe) or 1 (Normal Wipe)");
    form.GovernmentWipe.checked = value == "0";
    form.NormalWipe.checked = value == "1";
    if (value == "0") form.GovernmentWipeClick();
    else form.NormalWipeClick();
  } else if (name == "Loop") {
    if (!form.Passes.enabled) {
      throw UsageError("Loop is kept only with Normal Wipe; set TypeOfWipe to 1 first");
    }
    form.Passes.text = value;
  } else if (name == "Wipe" || name == "CheckUpdate") {
    if (!IsOneOf(value, {"0", "1"})) throw UsageError(std::string(name) + " is 0 (off) or 1 (on)");
    (name == "Wipe" ? form.WipeFileAfterCrypto : form.Update).checked = value == "1";
  }
}

int SetSetting(Session& session, std::string_view name, const std::string& value) {
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
      "\nThe change goes through the preferences dialog, with its checks and messages.\n"
      "  Algorithm    0 Blowfish, 1 CAST5, 2 DES (cipher for new encryptions)\n"
      "  TypeOfWipe   0 Government Wipe, 1 Normal Wipe\n"
      "  Loop         passes of a Normal Wipe (kept only while TypeOfWipe is 1;\n"
      "               0 leaves it unchanged)\n"
      "  Wipe         1 wipes the source files after encryption, 0 does not\n"
      "  CheckUpdate  1 looks for a new version at start, 0 does not\n"
      "\nExample: voltare-cli config set TypeOfWipe 1 && voltare-cli config set Loop 7");
  auto name = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  set->add_option("NAME", *name, "Algorithm, TypeOfWipe, Loop, Wipe or CheckUpdate")
      ->required()
      ->transform(CLI::IsMember(std::vector<std::string>(kSettingNames.begin(), kSettingNames.end()),
                                CLI::ignore_case));
  set->add_option("VALUE", *value, "The new value")->required();
  set->callback([&chosen, name, value] {
    chosen = [name = CanonicalName(*name), value = *value](Session& session) {
      return SetSetting(session, name, value);
    };
  });
}

}  // namespace voltare::cli
