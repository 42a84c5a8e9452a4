// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/main_form.h"
#include "app/shared/application.h"

namespace voltare::app {

void TMainForm::AboutClick() { ShowModal(ui_, app_.AboutBox); }

}  // namespace voltare::app
