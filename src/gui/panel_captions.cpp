// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/panel_captions.h"

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

namespace voltare::gui {

namespace {

// The smallest caption size: this far below the desktop's font, never below
// 6 pt.
constexpr qreal kMostShrink = 2.0;
constexpr qreal kLeastPointSize = 6.0;
constexpr qreal kStep = 0.5;

int WidestCaption(std::initializer_list<QAbstractButton*> buttons, const QFont& font) {
  const QFontMetrics metrics(font);
  int widest = 0;
  for (const QAbstractButton* button : buttons) widest = std::max(widest, metrics.horizontalAdvance(button->text()));
  return widest;
}

}  // namespace

void FitPanelCaptions(std::initializer_list<QAbstractButton*> buttons, int width) {
  if (buttons.size() == 0) return;
  QFont font = (*buttons.begin())->font();
  const qreal least = std::max(kLeastPointSize, font.pointSizeF() - kMostShrink);
  font.setFamilies({"Liberation Sans", font.family()});
  while (WidestCaption(buttons, font) > width && font.pointSizeF() - kStep >= least) {
    font.setPointSizeF(font.pointSizeF() - kStep);
  }
  for (QAbstractButton* button : buttons) button->setFont(font);
  const int lacking = WidestCaption(buttons, font) - width;
  QWidget* panel = (*buttons.begin())->parentWidget();
  if (lacking > 0 && panel != nullptr) {
    panel->setMinimumWidth(panel->minimumWidth() + lacking);
    panel->setMaximumWidth(std::max(panel->maximumWidth() + lacking, panel->minimumWidth()));
  }
}

}  // namespace voltare::gui
