// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/password_box.h"
#include "common/translate.h"

#include <utility>

namespace voltare::app {

namespace {
constexpr char kMaskCharacter = '*';
constexpr common::Text kEmptyPassword = N_("No characters found in the password field");
}  // namespace

TPasswordBox::TPasswordBox(Interaction& ui) : ui_(ui) {
  Password.passwordChar = kMaskCharacter;
  MaskEdit.caption = tr_("&Mask edit");
  MaskEdit.checked = true;
  RemindPass.caption = tr_("&Remind password");
  PLX.caption = tr_("&Bundle files to one file");
  PLX.visible = false;
  Meter.Start(-1);  // until a request asks for a new password
}

TPasswordBox::~TPasswordBox() { ClearPassword(); }

PasswordReply TPasswordBox::Request(const PasswordRequest& request) {
  PLX.visible = request.bundleVisible;
  AlgoHeader.visible = request.headerVisible;
  Algorithm.visible = request.algorithmVisible;
  Password.maxLength = request.maxLength;
  FileName.caption = request.fileName;
  Algorithm.caption = request.algorithmCaption;
  NewPassword = request.newPassword;
  Meter.Start(request.newPassword ? request.protectionAlgorithm : -1);
  Meter.Follow(Password.text);  // a remembered password is offered again

  reply_ = PasswordReply{};
  Open();
  FormShow();
  ui_.RunPasswordPrompt(*this);
  if (IsShowing()) CancelClick();  // a view that gave up counts as Cancel
  return std::exchange(reply_, PasswordReply{});
}

std::vector<NamedControl> TPasswordBox::Controls() {
  return {{"Label1", &Label1},
          {"FileName", &FileName},
          {"AlgoHeader", &AlgoHeader},
          {"Algorithm", &Algorithm},
          {"Continue", &Continue},
          {"Cancel", &Cancel},
          {"Password", &Password},
          {"MaskEdit", &MaskEdit},
          {"RemindPass", &RemindPass},
          {"PLX", &PLX},
          {"StrengthStep", &Meter.Step},
          {"StrengthBar", &Meter.Bar},
          {"StrengthTime", &Meter.TimeLine}};
}

void TPasswordBox::FormShow() { ActiveControl = &Password; }

void TPasswordBox::ContinueClick() {
  if (Password.text.empty()) {
    ui_.Error(kEmptyPassword);
    ActiveControl = &Password;
    return;
  }
  Close();
  Reply(Password.text, PLX.visible && PLX.checked);
  if (!RemindPass.checked) ClearPassword();
}

void TPasswordBox::CancelClick() {
  ClearPassword();
  Close();
  Reply({}, false);
}

void TPasswordBox::MaskEditClick() { Password.passwordChar = MaskEdit.checked ? kMaskCharacter : '\0'; }

void TPasswordBox::PasswordKeyDown(int key) {
  if (key == kReturnKey) ContinueClick();
}

void TPasswordBox::PasswordChange() { Meter.Follow(Password.text); }

void TPasswordBox::Reply(common::SecretString password, bool bundle) {
  reply_.password = std::move(password);
  reply_.bundle = bundle;
}

void TPasswordBox::ClearPassword() { Password.text.clear(); }

}  // namespace voltare::app
