// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Qt views of the program's modal windows, as the Qt interaction runs
// them. Each function shows its form's window modally over `parent` and
// returns when one of the form's handlers has closed the form.

#include <memory>

#include "app/dialogs/password_box.h"
#include "app/dialogs/plx_archiver.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "app/shared/printer.h"

class QWidget;

namespace voltare::gui {

void RunPasswordPromptView(app::TPasswordBox& box, QWidget* parent);
void RunArchiveViewerView(app::TPLXArchiver& viewer, QWidget* parent);
// Any other modal form, found by its FormName(); false when it has no view.
bool RunFormView(app::ModalForm& form, QWidget* parent);

// The print dialog; a printer on the device the user confirmed, or nothing.
std::unique_ptr<app::Printer> RunPrintDialogView(QWidget* parent);
// The program's guide at a topic (10 contents, 20 the algorithms).
void ShowHelpView(int context, QWidget* parent);

}  // namespace voltare::gui
