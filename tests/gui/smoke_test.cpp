// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QWidget>

TEST(QtEnvironment, WidgetsCanBeShownOffscreen) {
  QWidget widget;
  widget.show();
  EXPECT_TRUE(widget.isVisible());
}
