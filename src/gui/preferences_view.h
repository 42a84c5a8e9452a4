// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preferences dialog's window over its TPreferencesForm.

#include <memory>

#include "app/dialogs/preferences_form.h"
#include "gui/form_dialog.h"

namespace Ui {
class PreferencesForm;
}

namespace voltare::gui {

class PreferencesView : public FormDialog {
 public:
  PreferencesView(app::TPreferencesForm& form, QWidget* parent);
  ~PreferencesView() override;

  void Refresh() override;

 protected:
  void CloseRequested() override;
  void FocusActiveControl() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WriteChecks();

  app::TPreferencesForm& form_;
  std::unique_ptr<Ui::PreferencesForm> ui_;
};

}  // namespace voltare::gui
