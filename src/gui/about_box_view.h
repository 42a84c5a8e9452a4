// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box's window over its TAboutBox.

#include <memory>

#include "app/dialogs/about_box.h"
#include "gui/form_dialog.h"

namespace Ui {
class AboutBox;
}

namespace voltare::gui {

class AboutBoxView : public FormDialog {
 public:
  AboutBoxView(app::TAboutBox& box, QWidget* parent);
  ~AboutBoxView() override;

  void Refresh() override;

 protected:
  void CloseRequested() override;

 private:
  app::TAboutBox& box_;
  std::unique_ptr<Ui::AboutBox> ui_;
};

}  // namespace voltare::gui
