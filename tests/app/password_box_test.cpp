// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/password_box.h"

#include <gtest/gtest.h>

#include "fake_user.h"

namespace voltare::app {
namespace {

using testing::FakeUser;

PasswordRequest FileRequest(std::string name, bool bundle) {
  return {.fileName = std::move(name),
          .algorithmCaption = "Blowfish",
          .maxLength = 0,
          .bundleVisible = bundle,
          .headerVisible = true,
          .algorithmVisible = true};
}

TEST(PasswordBoxTest, RequestFillsTheCaptionsAndOkRepliesWithThePassword) {
  FakeUser user;
  TPasswordBox box(user);
  user.EnterPassword("secret");
  const PasswordReply reply = box.Request({.fileName = "a.txt",
                                           .algorithmCaption = "CAST5",
                                           .maxLength = 12,
                                           .bundleVisible = false,
                                           .headerVisible = true,
                                           .algorithmVisible = false});
  EXPECT_EQ(reply.password, "secret");
  EXPECT_FALSE(reply.bundle);
  ASSERT_EQ(user.passwordPrompts.size(), 1u);
  EXPECT_EQ(user.passwordPrompts[0].fileName, "a.txt");
  EXPECT_EQ(user.passwordPrompts[0].algorithm, "CAST5");
  EXPECT_TRUE(user.passwordPrompts[0].headerVisible);
  EXPECT_FALSE(user.passwordPrompts[0].algorithmVisible);
  EXPECT_TRUE(user.passwordPrompts[0].masked);
  EXPECT_EQ(box.Password.maxLength, 12);
  EXPECT_TRUE(box.Password.text.empty()) << "not remembered";
  EXPECT_TRUE(user.messages.empty());
}

TEST(PasswordBoxTest, EmptyPasswordByOkOrEnterIsRefusedAndThePromptStaysOpen) {
  FakeUser user;
  TPasswordBox box(user);
  user.OnPasswordPrompt([](TPasswordBox& b) {
    b.ContinueClick();
    EXPECT_TRUE(b.IsShowing());
    b.PasswordKeyDown(kReturnKey);
    EXPECT_TRUE(b.IsShowing());
    EXPECT_EQ(b.ActiveControl, &b.Password);
    b.PasswordKeyDown('a');  // any other key does nothing
    EXPECT_TRUE(b.IsShowing());
    b.Password.text = "pw";
    b.PasswordKeyDown(kReturnKey);
  });
  EXPECT_EQ(box.Request(FileRequest("x", false)).password, "pw");
  EXPECT_EQ(user.MessageLog(), (std::vector<std::string>{"error: No characters found in the password field",
                                                         "error: No characters found in the password field"}));
  EXPECT_EQ(user.messages[0].caption, "Error");
}

TEST(PasswordBoxTest, RememberedPasswordIsOfferedAgainButCancelEmptiesIt) {
  FakeUser user;
  TPasswordBox box(user);
  user.OnPasswordPrompt([](TPasswordBox& b) {
        b.RemindPass.checked = true;
        b.Password.text = "kept";
        b.ContinueClick();
      })
      .OnPasswordPrompt([](TPasswordBox& b) { b.ContinueClick(); })
      .CancelPassword()
      .CancelPassword();
  EXPECT_EQ(box.Request(FileRequest("a", false)).password, "kept");
  EXPECT_EQ(box.Request(FileRequest("b", false)).password, "kept");
  EXPECT_EQ(user.passwordPrompts[1].passwordText, "kept");
  EXPECT_TRUE(user.passwordPrompts[1].remindChecked);

  const PasswordReply cancelled = box.Request(FileRequest("c", false));
  EXPECT_EQ(cancelled.password, "");
  EXPECT_EQ(user.passwordPrompts[2].passwordText, "kept");
  (void)box.Request(FileRequest("d", false));  // only the prompt it shows matters here
  EXPECT_EQ(user.passwordPrompts[3].passwordText, "") << "Cancel empties even a remembered password";
}

TEST(PasswordBoxTest, BundleIsRepliedOnlyWhileTheBoxIsVisible) {
  FakeUser user;
  TPasswordBox box(user);
  user.OnPasswordPrompt([](TPasswordBox& b) {
        b.PLX.checked = true;
        b.Password.text = "pw";
        b.ContinueClick();
      })
      .EnterPassword("pw")
      .EnterPassword("pw");
  EXPECT_TRUE(box.Request(FileRequest("first", true)).bundle);
  EXPECT_FALSE(box.Request(FileRequest("second", false)).bundle);
  EXPECT_TRUE(user.passwordPrompts[1].bundleChecked) << "the box keeps its state";
  EXPECT_FALSE(user.passwordPrompts[1].bundleVisible);
  EXPECT_TRUE(box.Request(FileRequest("third", true)).bundle);
}

TEST(PasswordBoxTest, CancelRepliesEmptyWithoutBundle) {
  FakeUser user;
  TPasswordBox box(user);
  user.OnPasswordPrompt([](TPasswordBox& b) {
    b.PLX.checked = true;
    b.Password.text = "typed";
    b.CancelClick();
  });
  const PasswordReply reply = box.Request(FileRequest("f", true));
  EXPECT_EQ(reply.password, "");
  EXPECT_FALSE(reply.bundle);
}

TEST(PasswordBoxTest, MaskEditSwitchesBetweenStarsAndPlainText) {
  FakeUser user;
  TPasswordBox box(user);
  box.MaskEdit.checked = false;
  box.MaskEditClick();
  EXPECT_EQ(box.Password.passwordChar, '\0');
  box.MaskEdit.checked = true;
  box.MaskEditClick();
  EXPECT_EQ(box.Password.passwordChar, '*');

  // The state carries over to the next prompt.
  box.MaskEdit.checked = false;
  box.MaskEditClick();
  user.EnterPassword("x");
  (void)box.Request(FileRequest("f", false));  // only the prompt it shows matters here
  EXPECT_FALSE(user.passwordPrompts[0].masked);
}

}  // namespace
}  // namespace voltare::app
