// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_progress.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QProgressBar>
#include <algorithm>
#include <limits>

#include "gui/step_input_guard.h"

namespace voltare::gui {

namespace {

// A QProgressBar counts in int; larger maxima (sizes of big files) are shown
// on this scale instead.
constexpr int kScaledRange = 1 << 20;

}  // namespace

void QtProgress::Attach(QProgressBar* bar, QAbstractButton* cancelButton) {
  bar_ = bar;
  cancel_ = cancelButton;
  Show();
}

void QtProgress::setMax(std::int64_t max) {
  max_ = std::max<std::int64_t>(max, 0);
  Show();
}

void QtProgress::setPosition(std::int64_t position) {
  position_ = position;
  Show();
}

void QtProgress::repaint() {
  if (!bar_) return;
  if (stepRunning_ && cancel_ && cancel_->isHidden()) cancel_->show();
  bar_->repaint();
  if (!cancel_) {
    // Paint events and the window manager's pings, but no clicks or keys: a
    // command must not start inside another.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return;
  }
  // Everything, so that Cancel and Esc are heard; the guard drops what would
  // act on the rest of the window.
  const StepInputGuard guard(*cancel_);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtProgress::SetStepRunning(bool running) {
  stepRunning_ = running;
  if (!running && cancel_) cancel_->hide();
}

void QtProgress::CommandEnded() {
  SetStepRunning(false);
  stopRequested_ = false;
}

void QtProgress::Show() {
  if (!bar_) return;
  // A range of 0 to 0 would make the bar an endless "busy" animation.
  const std::int64_t max = std::max<std::int64_t>(max_, 1);
  const std::int64_t position = std::clamp<std::int64_t>(position_, 0, max);
  if (max <= std::numeric_limits<int>::max()) {
    bar_->setRange(0, static_cast<int>(max));
    bar_->setValue(static_cast<int>(position));
  } else {
    bar_->setRange(0, kScaledRange);
    bar_->setValue(static_cast<int>(static_cast<double>(position) / static_cast<double>(max) * kScaledRange));
  }
}

}  // namespace voltare::gui
