// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of every dialog view: a QDialog over one modal form object. The
// view copies the form's controls into its widgets, writes the user's input
// back, and runs the form's handlers; a handler that closes the form ends the
// dialog, any other leaves it open with the form's new state shown.

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <string>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/modal_form.h"
#include "gui/qt_text.h"

class QAbstractButton;
class QCloseEvent;
class QShowEvent;

namespace voltare::gui {

class FormDialog : public QDialog {
 public:
  FormDialog(app::ModalForm& form, QWidget* parent);

  // Shows the dialog modally until a handler closes the form; returns at once
  // when the form is already closed.
  void RunModal();

  // Copies the state of the form's controls into the widgets.
  virtual void Refresh() = 0;

 protected:
  // Runs one of the form's handlers, then ends the dialog if the handler
  // closed the form, otherwise shows what the handler changed.
  void Handle(const std::function<void()>& handler);
  // Runs `handler` through Handle at every click of `button`.
  void HandleClicks(QAbstractButton* button, std::function<void()> handler);

  // The handler that closing the window stands for (Escape, the window
  // manager): Cancel or Close, as each dialog's buttons offer.
  virtual void CloseRequested() = 0;
  // Moves the input focus to where the form put it after a handler.
  virtual void FocusActiveControl() {}

  // Caption, visibility and enabled state of every control, onto the child
  // widget or action of the control's name.
  void ShowControls(const std::vector<app::NamedControl>& controls);
  // Gives the input focus to the widget of the form's active control.
  void FocusControl(const std::vector<app::NamedControl>& controls, const app::Control* active);

  void reject() override;
  void showEvent(QShowEvent* event) override;

 private:
  app::ModalForm& form_;
};

// Every label of `window` shows its text as it is: file and member names and
// a server's words may hold "<" and "&", which must not become markup or links.
void ShowLabelsAsPlainText(QWidget& window);

// Without a close button in the title bar: the dialog's own buttons are the
// ways out. A window manager that closes it anyway runs CloseRequested.
void RemoveCloseButton(QWidget& window);

// Checks or unchecks a button even when it is one of an exclusive group
// (where Qt refuses to uncheck the last checked one), as the form may leave
// every radio button of a group unchecked.
void SetChecked(QAbstractButton& button, bool checked);

// One of the program's pictures (":/pictures/<file>"), drawn at `size`
// device-independent pixels for the screen `target` is on, so that it stays
// sharp at 200 % scaling.
QPixmap Picture(const QWidget& target, const QString& file, int size);

}  // namespace voltare::gui
