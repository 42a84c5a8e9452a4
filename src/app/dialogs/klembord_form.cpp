// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/klembord_form.h"

namespace voltare::app {

TKlembordForm::TKlembordForm(Interaction& ui) : ui_(ui) {}

void TKlembordForm::EditClipboard() {
  KlembordText.text.clear();
  if (const auto clipboard = ui_.ClipboardText()) KlembordText.text = *clipboard;
  ShowModal(ui_, *this);
}

std::vector<NamedControl> TKlembordForm::Controls() {
  return {{"KlembordText", &KlembordText}, {"Save", &Save}, {"SpeedButton1", &SpeedButton1}};
}

void TKlembordForm::SaveClick() {
  // Replaces the clipboard even when the text is unchanged.
  ui_.SetClipboardText(KlembordText.text);
  Close();
}

void TKlembordForm::SpeedButton1Click() { Close(); }

}  // namespace voltare::app
