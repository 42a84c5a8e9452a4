// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/gradient_panel.h"

#include <QLinearGradient>
#include <QPainter>

namespace voltare::gui {

void GradientPanel::paintEvent(QPaintEvent*) {
  QLinearGradient gradient(rect().topLeft(), rect().topRight());
  gradient.setColorAt(0.0, QColor(204, 0, 0));
  gradient.setColorAt(1.0, Qt::black);
  QPainter painter(this);
  painter.fillRect(rect(), gradient);
}

}  // namespace voltare::gui
