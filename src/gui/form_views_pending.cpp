// Stand-ins for the views not built yet: each answers as Cancel would, so a
// command that needs one ends without doing anything. Replace one function at
// a time by the real view (and delete it here).

#include "gui/form_views.h"

namespace voltare::gui {

std::unique_ptr<app::Printer> RunPrintDialogView(QWidget*) { return nullptr; }

void ShowHelpView(int, QWidget*) {}

}  // namespace voltare::gui
