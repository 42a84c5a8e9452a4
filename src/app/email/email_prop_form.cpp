// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/email/email_prop_form.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/email/email_messages.h"
#include "app/email/email_settings.h"
#include "app/main_window/messages.h"
#include "common/translate.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"

namespace voltare::app {

namespace {

using platform::SettingsKey;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool PortPasses(const std::string& text) { return !text.empty() && platform::ParseInteger(text) >= 0; }
bool NotEmpty(const std::string& text) { return !text.empty(); }

// One field of the dialog: where its text is stored and when it may be.
struct FieldRule {
  Edit TEmailProp::*field;
  std::string_view valueName;
  bool (*passes)(const std::string& text);
  common::Text error;
};

// The order in which OK checks and writes the fields.
constexpr FieldRule kSaveOrder[] = {
    {&TEmailProp::SMTP, kServerValue, NotEmpty, email_messages::kNoServer},
    {&TEmailProp::Port, kPortValue, PortPasses, email_messages::kNoPort},
    {&TEmailProp::UserName, kUsernameValue, NotEmpty, email_messages::kNoUserName},
    {&TEmailProp::Name, kNameValue, NotEmpty, email_messages::kNoName},
    {&TEmailProp::Email, kAddressValue, NotEmpty, email_messages::kNoAddress},
};

}  // namespace

TEmailProp::TEmailProp(Interaction& ui) : Caption(email_messages::kPropCaption), ui_(ui) {
  SMTP.caption = tr_("SMTP Server:");
  Port.caption = tr_("Port:");
  UserName.caption = tr_("User Name:");
  Name.caption = tr_("Name:");
  Email.caption = tr_("E-mail:");
}

std::vector<NamedControl> TEmailProp::Controls() {
  return {{"GroupBox2", &GroupBox2}, {"SMTP", &SMTP},           {"Port", &Port},
          {"UserName", &UserName},   {"GroupBox1", &GroupBox1}, {"Name", &Name},
          {"Email", &Email},         {"OKButton", &OKButton},   {"CancelButton", &CancelButton}};
}

void TEmailProp::FormShow() {
  try {
    LoadSettings();
  } catch (const std::exception& failure) {
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
}

void TEmailProp::LoadSettings() {
  const std::optional<SettingsKey> key = SettingsKey::OpenReadOnly(platform::kEmailSettingsKey);
  if (!key) {
    ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
    return;
  }
  SMTP.text = ReadEmailValue(*key, kServerValue);
  Port.text = ReadEmailValue(*key, kPortValue);
  UserName.text = ReadEmailValue(*key, kUsernameValue);
  Name.text = ReadEmailValue(*key, kNameValue);
  Email.text = ReadEmailValue(*key, kAddressValue);
  ActiveControl = &SMTP;
}

void TEmailProp::PortChange() {
  std::erase_if(Port.text, [](char c) { return !IsDigit(c); });
}

void TEmailProp::CancelButtonClick() { Close(); }

void TEmailProp::OKButtonClick() {
  try {
    if (SaveSettings()) Close();
  } catch (const std::exception& failure) {
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
}

bool TEmailProp::SaveSettings() {
  std::optional<SettingsKey> key;
  try {
    key = SettingsKey::OpenForWriting(platform::kEmailSettingsKey);
  } catch (const platform::OsError&) {
    ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
    return false;
  }
  // Every field is checked before any is written, and all are written in
  // one go: a refused or failed change leaves every stored value as it was.
  std::vector<std::pair<std::string_view, platform::SettingValue>> values;
  for (const FieldRule& rule : kSaveOrder) {
    Edit& field = this->*rule.field;
    if (!rule.passes(field.text)) {
      key.reset();
      ui_.Error(rule.error);
      ActiveControl = &field;
      return false;
    }
    values.emplace_back(rule.valueName, platform::SettingValue::String(field.text));
  }
  key->WriteAll(values);
  return true;
}

}  // namespace voltare::app
