#include <gtest/gtest.h>

#include <QWidget>

TEST(QtEnvironment, WidgetsCanBeShownOffscreen) {
  QWidget widget;
  widget.show();
  EXPECT_TRUE(widget.isVisible());
}
