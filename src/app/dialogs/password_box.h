// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The password prompt: the one dialog through which every password of the
// program is asked for. One instance lives for the whole run, and what the
// user left in it (the remembered password, the mask and bundle boxes) is
// offered again at the next request.

#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "app/shared/password_meter.h"
#include "common/translate.h"

namespace voltare::app {

inline constexpr int kReturnKey = 13;

class TPasswordBox : public ModalForm {
 public:
  explicit TPasswordBox(Interaction& ui);
  ~TPasswordBox() override;
  TPasswordBox(const TPasswordBox&) = delete;
  TPasswordBox& operator=(const TPasswordBox&) = delete;

  std::string_view FormName() const override { return "PasswordBox"; }

  // Fills the prompt from the request, runs it modally through the
  // interaction and returns the reply it made. Whatever the previous prompt
  // left in Password, MaskEdit, RemindPass and PLX is kept.
  PasswordReply Request(const PasswordRequest& request);

  // Handlers.
  void FormShow() override;
  void ContinueClick();
  void CancelClick();
  void MaskEditClick();
  void PasswordKeyDown(int key);
  // The password's text changed: the meter follows it.
  void PasswordChange();

  // Every control, by its member name.
  std::vector<NamedControl> Controls();

  // Controls, in the dialog's order.
  Label Label1{tr_("Please enter a password:")};
  Label FileName{tr_("FileName")};
  Label AlgoHeader{tr_("Algorithm:")};
  Label Algorithm{tr_("Algorithm")};
  Button Continue{tr_("OK")};
  Button Cancel{tr_("Cancel")};
  PasswordEdit Password;
  CheckBox MaskEdit;
  CheckBox RemindPass;
  CheckBox PLX;
  // Shown only while a new password is chosen, never when one opens a file.
  PasswordMeter Meter;

  std::string Caption{tr_("Password")};
  // The request's newPassword: this password is about to encrypt.
  bool NewPassword = false;
  // The control that has the input focus.
  const Control* ActiveControl = nullptr;

 private:
  void Reply(common::SecretString password, bool bundle);
  void ClearPassword();

  Interaction& ui_;
  PasswordReply reply_;
};

}  // namespace voltare::app
