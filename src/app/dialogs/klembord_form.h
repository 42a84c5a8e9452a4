// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clipboard editor ("Edit Clipboard"): shows the clipboard's text in a
// multi-line edit and writes it back on request. It keeps nothing between
// showings; every showing loads the clipboard afresh.

#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "common/translate.h"

namespace voltare::app {

class TKlembordForm : public ModalForm {
 public:
  explicit TKlembordForm(Interaction& ui);

  std::string_view FormName() const override { return "KlembordForm"; }

  // The main window's request: load the clipboard's text and show the editor
  // modally; returns when the editor is closed.
  void EditClipboard();

  // Handlers.
  void SaveClick();
  void SpeedButton1Click();

  // Every control, by its member name.
  std::vector<NamedControl> Controls();

  // Controls.
  std::string Caption{tr_("Edit Clipboard")};
  Edit KlembordText;  // multi-line, with a vertical scroll bar
  Button Save{tr_("&Save To Clipboard")};
  Button SpeedButton1{tr_("&Close")};

 private:
  Interaction& ui_;
};

}  // namespace voltare::app
