// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// While a command works on the user-interface thread, the progress bar's
// repaint lets the window handle its events, so that it paints and Cancel can
// be pressed. For as long as a guard lives, nothing else of that window acts:
// clicks, keys and shortcuts aimed at it are dropped, except those for the
// Cancel button, and Esc presses Cancel. Other windows (a question the command
// asks meanwhile) are left alone.

#include <QObject>
#include <QPointer>

class QAbstractButton;

namespace voltare::gui {

class StepInputGuard final : public QObject {
 public:
  // Installs itself on the application; `cancelButton` lies in the window guarded.
  explicit StepInputGuard(QAbstractButton& cancelButton);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QAbstractButton> cancel_;
};

}  // namespace voltare::gui
