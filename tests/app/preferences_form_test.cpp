// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/preferences_form.h"

#include <gtest/gtest.h>

#include "fake_user.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace voltare::app {
namespace {

using platform::kSettingsKey;
using platform::SettingsKey;
using testing::FakeUser;

// The settings file's error, naming the test's own settings file.
std::string SettingsFileError() {
  return "error: KOVA Voltare could not open the settings file " +
         (testing::TestDir() / "config" / "settings.conf").string() +
         ".\n\nPlease check that you may read and write it.";
}

SettingsKey Store() { return *SettingsKey::OpenReadOnly(kSettingsKey); }

// The store as the dialog itself would leave it, minus whatever a test removes.
void WriteMain(std::initializer_list<std::pair<const char*, platform::SettingValue>> values) {
  platform::StoredKey key{std::string(kSettingsKey), {}};
  for (const auto& [name, value] : values) key.values.emplace_back(name, value);
  const platform::StoredKey keys[] = {key};
  platform::SaveSettingsStore(keys);
}

TEST(PreferencesFormTest, ShowingLoadsTheInstalledSettings) {
  FakeUser user;
  TPreferencesForm form(user);
  EXPECT_TRUE(form.DESButton.checked) << "design-time state";
  EXPECT_FALSE(form.Passes.enabled);
  form.ActivePage = TPreferencesForm::Page::Wipe;
  form.FormShow();
  EXPECT_TRUE(user.messages.empty());
  EXPECT_TRUE(form.BlowfishButton.checked);
  EXPECT_FALSE(form.DESButton.checked);
  EXPECT_EQ(form.Passes.text, "3");
  EXPECT_TRUE(form.NormalWipe.checked);
  EXPECT_FALSE(form.GovernmentWipe.checked);
  EXPECT_TRUE(form.Passes.enabled && form.UpDown.enabled);
  EXPECT_FALSE(form.Update.checked);
  EXPECT_FALSE(form.WipeFileAfterCrypto.checked);
  EXPECT_EQ(form.ActivePage, TPreferencesForm::Page::General);
}

TEST(PreferencesFormTest, OkWritesEveryControlAndTheNextShowingReadsThemBack) {
  FakeUser user;
  TPreferencesForm form(user);
  form.Open();
  form.FormShow();
  form.CAST5Button.checked = true;
  form.BlowfishButton.checked = false;
  form.Passes.text = "7";
  form.Update.checked = true;
  form.WipeFileAfterCrypto.checked = true;
  form.OKButtonClick();
  EXPECT_FALSE(form.IsShowing());
  EXPECT_EQ(Store().ReadString("Algorithm"), "1");
  EXPECT_EQ(Store().ReadString("Loop"), "7");
  EXPECT_EQ(Store().ReadString("TypeOfWipe"), "1");
  EXPECT_EQ(Store().ReadString("Wipe"), "1");
  EXPECT_EQ(Store().ReadDword("CheckUpdate"), 1u);

  TPreferencesForm again(user);
  again.FormShow();
  EXPECT_TRUE(again.CAST5Button.checked);
  EXPECT_EQ(again.Passes.text, "7");
  EXPECT_TRUE(again.Update.checked && again.WipeFileAfterCrypto.checked);
  EXPECT_TRUE(user.messages.empty());
}

TEST(PreferencesFormTest, GovernmentWipeLeavesLoopAndAMissingLoopFailsTheNextShowing) {
  WriteMain({{"Algorithm", platform::SettingValue::String("2")},
             {"TypeOfWipe", platform::SettingValue::String("1")},
             {"Wipe", platform::SettingValue::String("0")},
             {"CheckUpdate", platform::SettingValue::Dword(0)}});
  FakeUser user;
  TPreferencesForm form(user);
  form.GovernmentWipe.checked = true;
  form.NormalWipe.checked = false;
  form.GovernmentWipeClick();
  EXPECT_FALSE(form.Passes.enabled);
  form.Open();
  form.OKButtonClick();
  EXPECT_FALSE(Store().Find("Loop").has_value());
  EXPECT_EQ(Store().ReadString("TypeOfWipe"), "0");

  form.FormShow();
  EXPECT_EQ(user.MessageLog(),
            std::vector<std::string>{"error: KOVA Voltare caused an unexpected system error.\n\n"
                                     "Error code: -1\nError message: The setting \"Loop\" does not exist"});
}

constexpr std::string_view kPassesOutOfRange = "error: Please enter a number of passes from 1 to 100 !";

TEST(PreferencesFormTest, OnlyPassCountsFrom1To100AreStored) {
  struct Case {
    const char* typed;
    bool stored;
  };
  for (const Case& c : {Case{"-3", false}, Case{"0", false}, Case{"1", true}, Case{"100", true}, Case{"101", false},
                        Case{"many", false}}) {
    SCOPED_TRACE(c.typed);
    FakeUser user;
    TPreferencesForm form(user);
    form.Open();
    form.FormShow();
    const std::string before = Store().ReadString("Loop");
    form.Passes.text = c.typed;
    form.OKButtonClick();
    EXPECT_EQ(Store().ReadString("Loop"), c.stored ? c.typed : before);
    EXPECT_EQ(form.IsShowing(), !c.stored);
    EXPECT_EQ(user.MessageLog(),
              c.stored ? std::vector<std::string>{} : std::vector<std::string>{std::string(kPassesOutOfRange)});
    EXPECT_EQ(form.ActiveControl, c.stored ? nullptr : &form.Passes) << "the focus goes back to the count";
    EXPECT_EQ(form.ActivePage, c.stored ? TPreferencesForm::Page::General : TPreferencesForm::Page::Wipe);
  }
}

TEST(PreferencesFormTest, StoredPassCountsAreShownAsStoredAndOnlyTheUpperBoundFailsTheShowing) {
  FakeUser user;
  TPreferencesForm form(user);
  WriteMain({{"Loop", platform::SettingValue::String("-5")},
             {"Wipe", platform::SettingValue::String("0")},
             {"TypeOfWipe", platform::SettingValue::String("1")},
             {"CheckUpdate", platform::SettingValue::Dword(0)}});
  form.FormShow();
  EXPECT_EQ(form.Passes.text, "-5");
  EXPECT_TRUE(user.messages.empty());

  WriteMain({{"Loop", platform::SettingValue::String("150")},
             {"Wipe", platform::SettingValue::String("0")},
             {"TypeOfWipe", platform::SettingValue::String("1")},
             {"CheckUpdate", platform::SettingValue::Dword(0)}});
  form.Passes.text = "unchanged";
  form.FormShow();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{SettingsFileError()});
  EXPECT_EQ(form.Passes.text, "100") << "shown at its bound, so that OK repairs the store";
}

// A value above its bound keeps the dialog's error, and OK then stores a
// sound store, whatever the wipe method: the next showing is quiet.
TEST(PreferencesFormTest, OkRepairsAStoreWithAValueAboveItsBound) {
  struct Case {
    const char* typeOfWipe;
    const char* loop;
    const char* wipe;
    const char* loopAfter;
    const char* wipeAfter;
  };
  for (const Case& c : {Case{"1", "101", "0", "100", "0"}, Case{"0", "101", "0", "100", "0"},
                        Case{"1", "7", "5", "7", "1"}, Case{"3", "7", "0", "7", "0"}}) {
    SCOPED_TRACE(std::string(c.typeOfWipe) + "/" + c.loop + "/" + c.wipe);
    WriteMain({{"Algorithm", platform::SettingValue::String("1")},
               {"TypeOfWipe", platform::SettingValue::String(c.typeOfWipe)},
               {"Loop", platform::SettingValue::String(c.loop)},
               {"Wipe", platform::SettingValue::String(c.wipe)},
               {"CheckUpdate", platform::SettingValue::Dword(1)}});
    FakeUser user;
    TPreferencesForm form(user);
    form.Open();
    form.FormShow();
    EXPECT_EQ(user.MessageLog(), std::vector<std::string>{SettingsFileError()});
    form.OKButtonClick();
    EXPECT_FALSE(form.IsShowing());
    EXPECT_EQ(Store().ReadString("Loop"), c.loopAfter);
    EXPECT_EQ(Store().ReadString("Wipe"), c.wipeAfter);
    EXPECT_EQ(Store().ReadString("Algorithm"), "1") << "the sound values stay";
    form.FormShow();
    EXPECT_EQ(user.messages.size(), 1u) << "repaired";
  }
}

TEST(PreferencesFormTest, ABadPassCountChangesNothingAndKeepsTheDialogOpen) {
  FakeUser user;
  TPreferencesForm form(user);
  form.Open();
  form.FormShow();
  form.BlowfishButton.checked = false;
  form.DESButton.checked = true;
  form.Passes.text = "many";
  form.OKButtonClick();
  EXPECT_TRUE(form.IsShowing());
  EXPECT_EQ(Store().ReadString("Algorithm"), "0");
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{std::string(kPassesOutOfRange)});
}

TEST(PreferencesFormTest, NoWipeTypeCheckedStoresGovernmentWipe) {
  FakeUser user;
  TPreferencesForm form(user);
  form.NormalWipe.checked = false;
  form.GovernmentWipe.checked = false;
  form.NormalWipeClick();
  EXPECT_FALSE(form.Passes.enabled);
  form.OKButtonClick();
  EXPECT_EQ(Store().ReadString("TypeOfWipe"), "0");
  EXPECT_EQ(Store().ReadString("Algorithm"), "2") << "the design-time DES";
  EXPECT_EQ(Store().ReadString("Loop"), "3") << "not written, the installer's value stays";
}

TEST(PreferencesFormTest, WrongTypesAndOddAlgorithmsOnShowing) {
  WriteMain({{"Algorithm", platform::SettingValue::String("7")},
             {"Loop", platform::SettingValue::String("4")},
             {"TypeOfWipe", platform::SettingValue::String("0")},
             {"Wipe", platform::SettingValue::String("1")},
             {"CheckUpdate", platform::SettingValue::Dword(1)}});
  FakeUser user;
  TPreferencesForm form(user);
  form.BlowfishButton.checked = true;
  form.FormShow();
  EXPECT_TRUE(form.DESButton.checked) << "an algorithm other than 0, 1 or 2 shows DES";
  EXPECT_FALSE(form.BlowfishButton.checked);
  EXPECT_TRUE(form.GovernmentWipe.checked);
  EXPECT_FALSE(form.Passes.enabled);
  EXPECT_TRUE(user.messages.empty());

  SettingsKey::OpenForWriting(kSettingsKey).WriteString("CheckUpdate", "1");
  form.FormShow();
  EXPECT_EQ(user.MessageLog(),
            std::vector<std::string>{"error: KOVA Voltare caused an unexpected system error.\n\nError code: -1\n"
                                     "Error message: The setting \"CheckUpdate\" is a string, not a 32-bit number"});
}

TEST(PreferencesFormTest, AnAlgorithmOfAnotherTypeIsReportedAndNotShownAsDes) {
  SettingsKey::OpenForWriting(kSettingsKey).WriteDword("Algorithm", 1);
  FakeUser user;
  TPreferencesForm form(user);
  form.CAST5Button.checked = true;
  form.DESButton.checked = false;
  form.FormShow();
  EXPECT_EQ(user.MessageLog(),
            std::vector<std::string>{"error: KOVA Voltare caused an unexpected system error.\n\nError code: -1\n"
                                     "Error message: The setting \"Algorithm\" is a 32-bit number, not a string"});
  EXPECT_TRUE(form.CAST5Button.checked && !form.DESButton.checked) << "the controls stay as they were";
}

TEST(PreferencesFormTest, AMissingKeyOrADamagedStoreIsReportedOnShowing) {
  platform::StoredKey other{"\\Software\\Other", {}};
  platform::SaveSettingsStore(std::span<const platform::StoredKey>(&other, 1));
  FakeUser user;
  TPreferencesForm form(user);
  form.FormShow();
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{SettingsFileError()});

  // OK creates the key and writes the values.
  form.OKButtonClick();
  EXPECT_EQ(Store().ReadString("Algorithm"), "2");

  testing::WriteFileText(platform::SettingsFilePath(), "garbage\n");
  form.FormShow();
  ASSERT_EQ(user.messages.size(), 2u);
  EXPECT_EQ(user.messages[1].text,
            "KOVA Voltare caused an unexpected system error.\n\nError code: -5\n"
            "Error message: The settings file " +
                platform::SettingsFilePath().string() +
                " is damaged (line 1: neither a [key] nor a \"name\" = value line).");
}

TEST(PreferencesFormTest, MoreInfoOpensTheAlgorithmTopic) {
  FakeUser user;
  TPreferencesForm form(user);
  form.MoreInfoButtonClick();
  EXPECT_EQ(user.helpContexts, std::vector<int>{20});
}

}  // namespace
}  // namespace voltare::app
