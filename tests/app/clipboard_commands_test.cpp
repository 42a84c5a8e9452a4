// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard commands and the clipboard editor, driven by the scripted
// user; the about box as the Help menu shows it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/about_box.h"
#include "app/dialogs/klembord_form.h"
#include "app_fixture.h"
#include "transforms/text_crypt.h"

namespace voltare::app {
namespace {

using testing::FakeUser;
using testing::TestDir;

// The fake user, also counting how often the clipboard was written.
class ClipboardUser : public FakeUser {
 public:
  void SetClipboardText(std::string_view text) override {
    ++clipboardWrites;
    FakeUser::SetClipboardText(text);
  }
  int clipboardWrites = 0;
};

struct ClipboardFixture {
  ClipboardUser user;
  Application app{user, TestDir()};
  TMainForm& form = app.MainForm;

  // Puts `text` on the clipboard and runs a command with `password` typed in.
  std::string Run(const std::string& command, const std::string& text, const std::string& password) {
    user.clipboard = text;
    user.EnterPassword(password);
    form.Run(command);
    return user.clipboard.value_or("<no text>");
  }
};

TEST(ClipboardCommandsTest, EncryptedFormIsOneBase64LineOfFourCharactersPerThreeBytes) {
  ClipboardFixture fixture;
  EXPECT_EQ(fixture.Run("EncryptClipboard1", "abc", "secret").size(), 4u);
  EXPECT_EQ(fixture.Run("EncryptClipboard1", "abcd", "secret").size(), 8u);
  // Bytes, not characters: "é" is two bytes, so three of them make 8 characters.
  EXPECT_EQ(fixture.Run("EncryptClipboard1", "\xC3\xA9\xC3\xA9\xC3\xA9", "secret").size(), 8u);
  const std::string encrypted = fixture.Run("EncryptClipboard1", "hello", "secret");
  EXPECT_EQ(encrypted, transforms::BlowfishEncryptString("hello", "secret"));
  EXPECT_TRUE(fixture.user.messages.empty());

  // The prompt asks for nothing but the password.
  ASSERT_EQ(fixture.user.passwordPrompts.size(), 4u);
  const auto& prompt = fixture.user.passwordPrompts.front();
  EXPECT_EQ(prompt.fileName, "");
  EXPECT_EQ(prompt.algorithm, "");
  EXPECT_FALSE(prompt.bundleVisible);
  EXPECT_FALSE(prompt.headerVisible);
  EXPECT_FALSE(prompt.algorithmVisible);
}

TEST(ClipboardCommandsTest, DecryptingGivesBackTheTextExactlyWithOrWithoutLineEndsAround) {
  ClipboardFixture fixture;
  const std::string text = "Dear Ann,\r\nthe key is under the mat.\r\n\xE2\x82\xAC 12\n";
  const std::string encrypted = fixture.Run("EncryptClipboard1", text, "pw");
  EXPECT_EQ(encrypted.find_first_of("\r\n"), std::string::npos);

  EXPECT_EQ(fixture.Run("DecryptClipboard1", encrypted, "pw"), text);
  EXPECT_EQ(fixture.Run("DecryptClipboard1", "\r\n" + encrypted, "pw"), text);
  EXPECT_EQ(fixture.Run("DecryptClipboard1", encrypted + "\r\n", "pw"), text);
  EXPECT_EQ(fixture.Run("DecryptClipboard1", "\r\n\r\n" + encrypted + "\r\n", "pw"), text);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(ClipboardCommandsTest, AnEmptyTextStillAsksForThePasswordAndStaysEmpty) {
  ClipboardFixture fixture;
  EXPECT_EQ(fixture.Run("EncryptClipboard1", "", "pw"), "");
  EXPECT_EQ(fixture.Run("DecryptClipboard1", "", "pw"), "");
  EXPECT_EQ(fixture.user.passwordPrompts.size(), 2u);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(ClipboardCommandsTest, NoTextOrMoreThan65535BytesIsRefusedBeforeThePasswordIsAsked) {
  ClipboardFixture fixture;
  const std::vector<std::string> refused = {"error: No text found on clipboard !"};

  fixture.user.clipboard.reset();
  fixture.form.Run("EncryptClipboard1");
  EXPECT_EQ(fixture.user.MessageLog(), refused);
  EXPECT_FALSE(fixture.user.clipboard.has_value());

  fixture.user.messages.clear();
  const std::string tooLong(65536, 'a');
  fixture.user.clipboard = tooLong;
  fixture.form.Run("DecryptClipboard1");
  EXPECT_EQ(fixture.user.MessageLog(), refused);
  EXPECT_EQ(fixture.user.clipboard, tooLong);

  // The limit counts bytes: 32768 two-byte characters are too many.
  fixture.user.messages.clear();
  std::string twoByteCharacters;
  for (int i = 0; i < 32768; ++i) twoByteCharacters += "\xC3\xA9";
  fixture.user.clipboard = twoByteCharacters;
  fixture.form.Run("EncryptClipboard1");
  EXPECT_EQ(fixture.user.MessageLog(), refused);
  EXPECT_TRUE(fixture.user.passwordPrompts.empty());
  EXPECT_EQ(fixture.user.clipboardWrites, 0);

  // 65535 bytes are taken.
  fixture.user.messages.clear();
  const std::string longest(65535, 'a');
  const std::string encrypted = fixture.Run("EncryptClipboard1", longest, "pw");
  EXPECT_EQ(encrypted.size(), 87380u);
  EXPECT_TRUE(fixture.user.messages.empty());
  // Its encrypted form is longer than the limit, so decrypting it is refused too.
  fixture.user.clipboard = encrypted;
  fixture.form.Run("DecryptClipboard1");
  EXPECT_EQ(fixture.user.MessageLog(), refused);
}

TEST(ClipboardCommandsTest, CancelInThePasswordPromptLeavesTheClipboardAlone) {
  ClipboardFixture fixture;
  for (const char* command : {"EncryptClipboard1", "DecryptClipboard1"}) {
    fixture.user.clipboard = "AAAA";
    fixture.user.CancelPassword();
    fixture.form.Run(command);
    EXPECT_EQ(fixture.user.clipboard, "AAAA") << command;
  }
  EXPECT_EQ(fixture.user.clipboardWrites, 0);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(ClipboardCommandsTest, AWrongPasswordGivesGarbageWithoutAMessage) {
  ClipboardFixture fixture;
  const std::string text = "meet me at noon by the old mill";
  const std::string encrypted = fixture.Run("EncryptClipboard1", text, "right");
  const std::string garbage = fixture.Run("DecryptClipboard1", encrypted, "wrong");
  EXPECT_NE(garbage, text);
  EXPECT_FALSE(garbage.empty());
  EXPECT_TRUE(fixture.user.messages.empty());

  // Text that is no encrypted form at all (length not a multiple of 4) empties it.
  EXPECT_EQ(fixture.Run("DecryptClipboard1", "hello", "pw"), "");
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(ClipboardCommandsTest, DecryptedBytesReachTheClipboardExactly) {
  ClipboardFixture fixture;
  // A Latin-1 text, or what a wrong password gives: not UTF-8. The desktop
  // clipboard repairs it for itself; a clipboard of bytes gets it whole.
  const std::string bytes = "ok \x80 \xE2\x82 \xFF end";
  const std::string encrypted = transforms::BlowfishEncryptString(bytes, "pw");
  EXPECT_EQ(fixture.Run("DecryptClipboard1", encrypted, "pw"), bytes);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(ClipboardCommandsTest, TheCommandReadsTheClipboardAgainAfterThePrompt) {
  ClipboardFixture fixture;
  fixture.user.clipboard = "first";
  fixture.user.OnPasswordPrompt([&](TPasswordBox& box) {
    fixture.user.clipboard = "changed meanwhile";  // another program wrote it
    box.Password.text = "pw";
    box.ContinueClick();
  });
  fixture.form.Run("EncryptClipboard1");
  EXPECT_EQ(fixture.user.clipboard, transforms::BlowfishEncryptString("changed meanwhile", "pw"));
}

TEST(ClipboardEditorTest, CloseLeavesTheClipboardAndSaveReplacesItEvenUnchanged) {
  ClipboardFixture fixture;
  fixture.user.clipboard = "line one\r\nline two";
  std::string shown;
  fixture.user.OnForm("KlembordForm", [&](ModalForm& form) {
    auto& editor = dynamic_cast<TKlembordForm&>(form);
    shown = editor.KlembordText.text;
    editor.KlembordText.text = "edited";
    editor.SpeedButton1Click();
  });
  fixture.form.Run("EditClipboard1");
  EXPECT_EQ(shown, "line one\r\nline two");
  EXPECT_EQ(fixture.user.clipboard, "line one\r\nline two");
  EXPECT_EQ(fixture.user.clipboardWrites, 0);

  fixture.user.OnForm("KlembordForm", [](ModalForm& form) { dynamic_cast<TKlembordForm&>(form).SaveClick(); });
  fixture.form.Run("EditClipboard");  // the left-panel button
  EXPECT_EQ(fixture.user.clipboard, "line one\r\nline two");
  EXPECT_EQ(fixture.user.clipboardWrites, 1);

  fixture.user.OnForm("KlembordForm", [](ModalForm& form) {
    auto& editor = dynamic_cast<TKlembordForm&>(form);
    editor.KlembordText.text += "\r\nline three";
    editor.SaveClick();
  });
  fixture.form.Run("EditClipboard1");
  EXPECT_EQ(fixture.user.clipboard, "line one\r\nline two\r\nline three");
  EXPECT_EQ(fixture.user.formsShown, (std::vector<std::string>{"KlembordForm", "KlembordForm", "KlembordForm"}));
  EXPECT_EQ(fixture.app.KlembordForm.Caption, "Edit Clipboard");
}

TEST(ClipboardEditorTest, EachShowingLoadsTheClipboardAfresh) {
  ClipboardFixture fixture;
  fixture.user.clipboard.reset();
  std::vector<std::string> shown;
  const auto look = [&](ModalForm& form) {
    auto& editor = dynamic_cast<TKlembordForm&>(form);
    shown.push_back(editor.KlembordText.text);
    editor.KlembordText.text = "left behind";
    editor.SpeedButton1Click();
  };
  fixture.user.OnForm("KlembordForm", look).OnForm("KlembordForm", look);
  fixture.form.EditClipboard1Click();
  fixture.user.clipboard = "now there is text";
  fixture.form.EditClipboard1Click();
  EXPECT_EQ(shown, (std::vector<std::string>{"", "now there is text"}));
  EXPECT_FALSE(fixture.app.KlembordForm.IsShowing());
}

TEST(AboutCommandTest, TheHelpMenuShowsTheAboutBoxUntilOk) {
  ClipboardFixture fixture;
  std::vector<std::string> lines;
  fixture.user.OnForm("AboutBox", [&](ModalForm& form) {
    auto& about = dynamic_cast<TAboutBox&>(form);
    lines = about.Lines();
    about.OKButtonClick();
  });
  EXPECT_TRUE(fixture.form.Run("About"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "KOVA Voltare");
  EXPECT_EQ(lines[1], "Version 2.50");
  EXPECT_EQ(lines[5].rfind("Total Physical Memory: ", 0), 0u);
}

}  // namespace
}  // namespace voltare::app
