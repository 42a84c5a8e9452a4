#include "gui/qt_progress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <algorithm>
#include <limits>

namespace voltare::gui {

namespace {

// A QProgressBar counts in int; larger maxima (sizes of big files) are shown
// on this scale instead.
constexpr int kScaledRange = 1 << 20;

}  // namespace

void QtProgress::Attach(QProgressBar* bar) {
  bar_ = bar;
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
  bar_->repaint();
  // Paint events and the window manager's pings, but no clicks or keys: a
  // command must not start inside another.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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
