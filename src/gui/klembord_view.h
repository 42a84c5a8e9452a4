// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clipboard editor's window over its TKlembordForm.

#include <memory>

#include "app/dialogs/klembord_form.h"
#include "gui/form_dialog.h"

namespace Ui {
class KlembordForm;
}

namespace voltare::gui {

class KlembordView : public FormDialog {
 public:
  KlembordView(app::TKlembordForm& form, QWidget* parent);
  ~KlembordView() override;

  void Refresh() override;

 protected:
  void CloseRequested() override;

 private:
  app::TKlembordForm& form_;
  std::unique_ptr<Ui::KlembordForm> ui_;
};

}  // namespace voltare::gui
