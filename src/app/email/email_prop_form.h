// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The e-mail settings dialog ("E-mail Preferences"): the SMTP server, its
// port and the name sent after HELO, the sender's name and address. Every
// showing reloads the fields from the settings store; OK checks and writes
// them one by one.

#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "common/translate.h"

namespace voltare::app {

class TEmailProp : public ModalForm {
 public:
  explicit TEmailProp(Interaction& ui);

  std::string_view FormName() const override { return "EmailProp"; }

  // Handlers.
  void FormShow() override;
  // After every change of Port: keeps only its digits.
  void PortChange();
  void OKButtonClick();
  void CancelButtonClick();

  // Every control below, by its member name.
  std::vector<NamedControl> Controls();

  // Controls, in tab order; each edit's caption is its label.
  std::string Caption;
  Label GroupBox2{tr_("Server Options:")};
  Edit SMTP;
  Edit Port;
  Edit UserName;
  Label GroupBox1{tr_("User Options:")};
  Edit Name;
  Edit Email;
  Button OKButton{tr_("OK")};
  Button CancelButton{tr_("Cancel")};
  // The control that has the input focus.
  const Control* ActiveControl = nullptr;

 private:
  void LoadSettings();
  // True when all five fields passed their checks and were written.
  bool SaveSettings();

  Interaction& ui_;
};

}  // namespace voltare::app
