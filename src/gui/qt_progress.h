// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's progress bar as the file work sees it. Commands run on the
// user-interface thread, so repaint() also lets the window paint: the desktop
// must never see a window that stopped answering while a large file is worked.
// It is also where a stop is heard: the Cancel button beside the bar (and Esc)
// work while a file step runs, and nothing else of the window does.

#include <QPointer>
#include <QProgressBar>
#include <cstdint>

#include "platform/progress.h"

class QAbstractButton;

namespace voltare::gui {

class QtProgress : public platform::Progress {
 public:
  // The bar shown from now on, and the button that stops a file step; either
  // may be nullptr (before the window exists, or a bar without Cancel).
  void Attach(QProgressBar* bar, QAbstractButton* cancelButton = nullptr);

  void setMax(std::int64_t max) override;
  void setPosition(std::int64_t position) override;
  std::int64_t position() const override { return position_; }
  void repaint() override;
  bool cancelRequested() const override { return stopRequested_; }

  // A file step starts or ends (the span of the busy cursor): Cancel shows
  // while one moves the bar.
  void SetStepRunning(bool running);
  bool StepRunning() const { return stepRunning_; }
  // The user stopped the step, and the form agreed: it ends at its next piece,
  // and the rest of the command does not run.
  void RequestStop() { stopRequested_ = true; }
  // The command is over: the next one starts without a stop pending.
  void CommandEnded();

 private:
  void Show();

  QPointer<QProgressBar> bar_;
  QPointer<QAbstractButton> cancel_;
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
  bool stepRunning_ = false;
  bool stopRequested_ = false;
};

}  // namespace voltare::gui
