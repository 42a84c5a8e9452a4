// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window that commands show modally (the password prompt, the preferences,
// the e-mail dialogs, the about box, ...). The form object keeps its controls'
// state and its handlers; the view presents it and feeds the user's actions to
// it until one of the form's handlers closes it.

#include <string_view>

namespace voltare::app {

class Interaction;

class ModalForm {
 public:
  virtual ~ModalForm() = default;

  // The form's object name ("PasswordBox", "PreferencesForm", ...), by which
  // views and test scripts recognise it.
  virtual std::string_view FormName() const = 0;

  // Brings the controls up to date as the window appears.
  virtual void FormShow() {}

  bool IsShowing() const noexcept { return showing_; }
  // Called by the view when the modal run starts, by a handler to end it.
  void Open() noexcept { showing_ = true; }
  void Close() noexcept { showing_ = false; }

 private:
  bool showing_ = false;
};

// Shows a form modally: opens it, runs its FormShow and lets the user work
// in it through the interaction until a handler closes it.
void ShowModal(Interaction& ui, ModalForm& form);

}  // namespace voltare::app
