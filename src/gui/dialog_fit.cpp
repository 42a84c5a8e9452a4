// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialog_fit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QWidget>
#include <algorithm>

namespace voltare::gui {

namespace {

// A minimum width given in a layout file keeps a caption's place at the
// default font; it must not cut the caption off at a larger one. (Qt lets an
// explicit minimum take the place of the widget's own.)
void WidenMinimumsToCaptions(QWidget& window) {
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    const bool caption = qobject_cast<QAbstractButton*>(widget) != nullptr ||
                         (qobject_cast<QLabel*>(widget) != nullptr && !static_cast<QLabel*>(widget)->wordWrap());
    // A width fixed in code was already made for the font.
    if (!caption || widget->minimumWidth() == 0 || widget->maximumWidth() != QWIDGETSIZE_MAX) continue;
    widget->setMinimumWidth(std::max(widget->minimumWidth(), widget->sizeHint().width()));
  }
}

}  // namespace

void FitToContents(QWidget& window) {
  QLayout* layout = window.layout();
  if (layout == nullptr) return;
  WidenMinimumsToCaptions(window);
  layout->activate();
  // The widest line that cannot wrap sets the width; wrapped text then takes
  // the height it needs at that width.
  const int width = std::max(window.width(), layout->totalMinimumSize().width());
  const int needed =
      layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalMinimumSize().height();
  const int height = std::max(window.height(), needed);
  window.setMinimumSize(std::max(window.minimumWidth(), width), std::max(window.minimumHeight(), needed));
  window.resize(width, height);
}

}  // namespace voltare::gui
