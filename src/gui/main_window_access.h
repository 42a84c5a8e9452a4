// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window for keyboard and screen reader users.

class QMainWindow;

namespace Ui {
class MainWindow;
}

namespace voltare::gui {

// Names the window's controls for screen readers (the list, which shows no
// caption of its own, included), and lets Tab reach the left panel's
// buttons, the tool bars' buttons and the list, in that reading order.
void SetUpKeyboardAndScreenReaders(QMainWindow& window, Ui::MainWindow& ui);

}  // namespace voltare::gui
