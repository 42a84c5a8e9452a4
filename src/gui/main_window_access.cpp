// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window_access.h"

#include "common/translate.h"
#include "gui/accessible_names.h"
#include "ui_main_window.h"

namespace voltare::gui {

void SetUpKeyboardAndScreenReaders(QMainWindow& window, Ui::MainWindow& ui) {
  ui.ListView->setAccessibleName(QString::fromUtf8(tr_("File list")));
  ui.ListView->setAccessibleDescription(QString::fromUtf8(tr_("The files that the commands work on")));
  NameControlsForScreenReaders(window);
  ChainButtonsForTab({ui.LeftBox, ui.ToolBar1, ui.ToolBar2}, ui.ListView);
}

}  // namespace voltare::gui
