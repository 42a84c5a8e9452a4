// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A strip painted from red (204, 0, 0) on the left to black on the right: the
// program's caption colours. The desktop keeps its own title bar, so the
// gradient lives inside the window, as the banner above the tool bars.

#include <QWidget>

namespace voltare::gui {

class GradientPanel : public QWidget {
  Q_OBJECT

 public:
  explicit GradientPanel(QWidget* parent = nullptr) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace voltare::gui
