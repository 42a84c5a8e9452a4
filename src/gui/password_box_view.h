// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The password prompt's window over its TPasswordBox.

#include <memory>

#include "app/dialogs/password_box.h"
#include "gui/form_dialog.h"

namespace Ui {
class PasswordBox;
}

namespace voltare::gui {

class PasswordBoxView : public FormDialog {
 public:
  PasswordBoxView(app::TPasswordBox& box, QWidget* parent);
  ~PasswordBoxView() override;

  void Refresh() override;

 protected:
  void CloseRequested() override;
  void FocusActiveControl() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WriteChecks();
  void ShowMeter();

  app::TPasswordBox& box_;
  std::unique_ptr<Ui::PasswordBox> ui_;
};

}  // namespace voltare::gui
