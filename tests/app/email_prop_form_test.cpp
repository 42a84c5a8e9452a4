// SPDX-License-Identifier: GPL-3.0-or-later
// The e-mail settings dialog and the main window's e-mail commands.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/email/email_prop_form.h"
#include "app/email/email_settings.h"
#include "app_fixture.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace voltare::app {
namespace {

using platform::kEmailSettingsKey;
using platform::SettingsKey;
using platform::SettingValue;
using testing::FakeUser;

// The settings file's error, naming the test's own settings file.
std::string SettingsFileError() {
  return "error: KOVA Voltare could not open the settings file " +
         (testing::TestDir() / "config" / "settings.conf").string() +
         ".\n\nPlease check that you may read and write it.";
}

std::string Failure(const std::string& code, const std::string& text) {
  return "error: KOVA Voltare caused an unexpected system error.\n\nError code: " + code + "\nError message: " + text;
}

// The stored value, or nothing when it is missing.
std::optional<std::string> Stored(const char* name) {
  const auto key = SettingsKey::OpenReadOnly(kEmailSettingsKey);
  if (!key) return std::nullopt;
  const auto value = key->Find(name);
  if (!value) return std::nullopt;
  return value->text;
}

// A store that has the main key but no "E-mail" key.
void RemoveEmailKey() {
  const platform::StoredKey main{std::string(platform::kSettingsKey), {}};
  platform::SaveSettingsStore(std::span<const platform::StoredKey>(&main, 1));
}

void Fill(TEmailProp& form, const char* server, const char* port, const char* user, const char* name,
          const char* address) {
  form.SMTP.text = server;
  form.Port.text = port;
  form.UserName.text = user;
  form.Name.text = name;
  form.Email.text = address;
}

TEST(EmailPropTest, OkWritesTheFiveValuesAsTypedAndTheNextShowingReadsThemBack) {
  FakeUser user;
  TEmailProp form(user);
  form.Open();
  form.FormShow();
  EXPECT_TRUE(user.messages.empty()) << "the installer made the key";
  EXPECT_EQ(form.ActiveControl, &form.SMTP);
  EXPECT_EQ(CheckEmailSettings(), EmailSettingsState::Incomplete);

  // Nothing is trimmed or examined: any address and a port above 65535 pass.
  Fill(form, " mail.example.org ", "70000", "workstation", "Alice Sender", "not an address");
  form.OKButtonClick();
  EXPECT_FALSE(form.IsShowing());
  EXPECT_TRUE(user.messages.empty());
  EXPECT_EQ(Stored("Server"), " mail.example.org ");
  EXPECT_EQ(Stored("Port"), "70000");
  EXPECT_EQ(Stored("Username"), "workstation");
  EXPECT_EQ(Stored("Name"), "Alice Sender");
  EXPECT_EQ(Stored("Address"), "not an address");
  EXPECT_EQ(SettingsKey::OpenReadOnly(kEmailSettingsKey)->Find("Port")->type, platform::ValueType::String);
  EXPECT_EQ(CheckEmailSettings(), EmailSettingsState::Complete);

  TEmailProp again(user);
  again.FormShow();
  EXPECT_EQ(again.SMTP.text, " mail.example.org ");
  EXPECT_EQ(again.Port.text, "70000");
  EXPECT_EQ(again.UserName.text, "workstation");
  EXPECT_EQ(again.Name.text, "Alice Sender");
  EXPECT_EQ(again.Email.text, "not an address");
  EXPECT_EQ(again.Caption, "E-mail Preferences");
}

TEST(EmailPropTest, ThePortKeepsOnlyItsDigits) {
  FakeUser user;
  TEmailProp form(user);
  for (const auto& [typed, kept] : std::vector<std::pair<std::string, std::string>>{{"2a5", "25"},
                                                                                    {"-1 0", "10"},
                                                                                    {"port", ""},
                                                                                    {"0", "0"},
                                                                                    {"\xc2\xb2"
                                                                                     "5",
                                                                                     "5"}}) {
    form.Port.text = typed;
    form.PortChange();
    EXPECT_EQ(form.Port.text, kept) << typed;
  }
}

TEST(EmailPropTest, EachEmptyFieldStopsTheSaveAndNoValueOfTheChangeIsStored) {
  struct Case {
    const char* fields[5];
    const char* message;
    const Edit TEmailProp::*focus;
  };
  const std::vector<Case> cases{
      {{"", "25", "u", "n", "a"}, "No SMTP server set !", &TEmailProp::SMTP},
      {{"s", "", "u", "n", "a"}, "No port number set !", &TEmailProp::Port},
      {{"s", "25", "", "n", "a"}, "No username set !", &TEmailProp::UserName},
      {{"s", "25", "u", "", "a"}, "No name set !", &TEmailProp::Name},
      {{"s", "25", "u", "n", ""}, "No e-mail address set !", &TEmailProp::Email},
  };
  const char* const names[] = {"Server", "Port", "Username", "Name", "Address"};
  const char* const before[] = {"old.example", "2525", "old-pc", "Old Name", "old@example.org"};
  for (const bool hadValues : {false, true}) {
    for (const Case& c : cases) {
      RemoveEmailKey();
      FakeUser user;
      TEmailProp form(user);
      if (hadValues) {
        form.Open();
        Fill(form, before[0], before[1], before[2], before[3], before[4]);
        form.OKButtonClick();
        ASSERT_FALSE(form.IsShowing());
      }
      form.Open();
      Fill(form, c.fields[0], c.fields[1], c.fields[2], c.fields[3], c.fields[4]);
      form.OKButtonClick();
      EXPECT_EQ(user.MessageLog(), std::vector<std::string>{std::string("error: ") + c.message});
      EXPECT_TRUE(form.IsShowing());
      EXPECT_EQ(form.ActiveControl, &(form.*c.focus));
      for (int n = 0; n < 5; ++n) {
        const std::optional<std::string> expected = hadValues ? std::optional<std::string>(before[n]) : std::nullopt;
        EXPECT_EQ(Stored(names[n]), expected) << c.message << " " << names[n];
      }
      EXPECT_EQ(CheckEmailSettings(), hadValues ? EmailSettingsState::Complete : EmailSettingsState::Incomplete);
    }
  }
}

TEST(EmailPropTest, PortZeroPassesAndAPortBeyondThirtyTwoBitsIsAFailure) {
  FakeUser user;
  TEmailProp form(user);
  form.Open();
  Fill(form, "s", "0", "u", "n", "a");
  form.OKButtonClick();
  EXPECT_FALSE(form.IsShowing());
  EXPECT_EQ(Stored("Port"), "0");

  form.Open();
  Fill(form, "other", "99999999999", "u", "n", "a");
  form.OKButtonClick();
  EXPECT_TRUE(form.IsShowing());
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "'99999999999' is not a valid integer value")});
  EXPECT_EQ(Stored("Server"), "s") << "nothing of a refused change is stored";
  EXPECT_EQ(Stored("Port"), "0");
}

TEST(EmailPropTest, AMissingKeyIsReportedOnceOnShowingAndOkCreatesIt) {
  RemoveEmailKey();
  FakeUser user;
  TEmailProp form(user);
  form.SMTP.text = "kept";
  form.Open();
  form.FormShow();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{SettingsFileError()});
  EXPECT_EQ(form.SMTP.text, "kept") << "a failed load leaves the fields";
  EXPECT_EQ(CheckEmailSettings(), EmailSettingsState::KeyMissing);

  Fill(form, "s", "25", "u", "n", "a");
  form.OKButtonClick();
  EXPECT_FALSE(form.IsShowing());
  EXPECT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(CheckEmailSettings(), EmailSettingsState::Complete);
}

TEST(EmailPropTest, CancelWritesNothing) {
  FakeUser user;
  TEmailProp form(user);
  form.Open();
  form.FormShow();
  Fill(form, "s", "25", "u", "n", "a");
  form.CancelButtonClick();
  EXPECT_FALSE(form.IsShowing());
  EXPECT_FALSE(Stored("Server").has_value());
  EXPECT_TRUE(SettingsKey::OpenReadOnly(kEmailSettingsKey)->Values().empty());
}

TEST(EmailPropTest, AValueThatIsNotTextFailsTheLoadAndTheCheckWithItsName) {
  auto key = SettingsKey::OpenForWriting(kEmailSettingsKey);
  key.WriteString("Server", "mail.example.org");
  key.WriteDword("Port", 25);
  key.Write("Username", SettingValue::ExpandString("expanded"));
  FakeUser user;
  TEmailProp form(user);
  form.FormShow();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Invalid data type for 'Port'")});
  EXPECT_EQ(form.SMTP.text, "mail.example.org") << "read before the failure";
  EXPECT_THROW(CheckEmailSettings(), platform::SettingsError);

  key.WriteString("Port", "25");
  form.FormShow();
  EXPECT_EQ(form.UserName.text, "expanded") << "an expandable string is text too";
}

// --- The main window's commands ---------------------------------------------

void WriteCompleteSettings() {
  auto key = SettingsKey::OpenForWriting(kEmailSettingsKey);
  for (const char* name : {"Server", "Port", "Username", "Name", "Address"}) key.WriteString(name, "25");
}

TEST(EmailCommandsTest, SendMessageOpensTheComposerOnlyWhenTheSettingsAreComplete) {
  testing::AppFixture fixture;
  FakeUser& user = fixture.user;

  // Incomplete: the error, then the settings dialog instead of the composer.
  user.OnForm("EmailProp", [](ModalForm& form) {
    auto& prop = dynamic_cast<TEmailProp&>(form);
    prop.CancelButtonClick();
  });
  EXPECT_TRUE(fixture.form.Run("SendMessage1"));
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{"error: Your e-mail preferences are not filled in correctly."});

  // Complete: the composer, shown empty with the focus in the text.
  WriteCompleteSettings();
  user.OnForm("Email", [](ModalForm& form) {
    auto& email = dynamic_cast<TEmail&>(form);
    EXPECT_EQ(email.ActiveControl, &email.Message);
    email.Password.text = "typed but never sent";
    email.Exit1Click();
  });
  EXPECT_TRUE(fixture.form.Run("EmailMessage"));
  EXPECT_EQ(user.formsShown, (std::vector<std::string>{"EmailProp", "Email"}));
  EXPECT_TRUE(fixture.app.Email.Password.text.empty());

  // No key: only the settings file's error.
  RemoveEmailKey();
  fixture.form.SendMessage1Click();
  EXPECT_EQ("error: " + user.messages.back().text, SettingsFileError());

  // A value of another type: the shared error box, and no window.
  SettingsKey::OpenForWriting(kEmailSettingsKey).WriteDword("Address", 1);
  fixture.form.SendMessage1Click();
  EXPECT_EQ(user.MessageLog().back(), Failure("-1", "Invalid data type for 'Address'"));
  EXPECT_EQ(user.formsShown.size(), 2u);
}

TEST(EmailCommandsTest, PreferencesOpensTheSettingsDialogAndTheTableNamesTheCommands) {
  testing::AppFixture fixture;
  fixture.user.OnForm("EmailProp", [](ModalForm& form) {
    auto& prop = dynamic_cast<TEmailProp&>(form);
    EXPECT_EQ(prop.ActiveControl, &prop.SMTP);
    Fill(prop, "s", "2x5", "u", "n", "a");
    prop.PortChange();
    prop.OKButtonClick();
  });
  EXPECT_TRUE(fixture.form.Run("Preferences1"));
  EXPECT_EQ(Stored("Port"), "25");

  std::vector<std::string> rows;
  for (const Command& command : TMainForm::Commands()) {
    if (command.handler == &TMainForm::SendMessage1Click || command.handler == &TMainForm::Preferences1Click) {
      rows.push_back(std::string(command.control) + "|" + std::string(command.caption));
    }
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"SendMessage1|&Send Message", "EmailMessage|Send E-mail Message",
                                            "Preferences1|&Preferences"}));
}

}  // namespace
}  // namespace voltare::app
