// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The e-mail settings dialog ("E-mail Preferences") over its form object.

#include <QDialog>
#include <memory>

#include "app/email/email_prop_form.h"

class QLineEdit;

namespace Ui {
class EmailPropView;
}

namespace voltare::gui {

class EmailPropView final : public QDialog {
  Q_OBJECT

 public:
  EmailPropView(app::TEmailProp& form, QWidget* parent);
  ~EmailPropView() override;

  // Shows the dialog modally until one of the form's handlers closes it.
  void RunModal();
  // Copies the form's controls into the widgets.
  void Refresh();

 protected:
  // Escape is the Cancel button; the dialog has no other way out.
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BindEdit(QLineEdit& widget, app::Edit& edit);
  void PortEdited(const QString& text);
  // Runs a handler of the form, then shows what it changed.
  template <typename Handler>
  void Call(Handler handler);

  app::TEmailProp& form_;
  std::unique_ptr<Ui::EmailPropView> ui_;
};

}  // namespace voltare::gui
