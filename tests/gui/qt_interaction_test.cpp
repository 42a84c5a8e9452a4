// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces of the Qt interaction that translate between the forms' terms
// and Qt's.

#include <gtest/gtest.h>

#include <QProgressBar>
#include <string>

#include "gui/file_dialog_filters.h"
#include "gui/qt_interaction.h"
#include "gui/qt_progress.h"
#include "support/test_env.h"

namespace voltare::gui {
namespace {

TEST(FileDialogFiltersTest, EveryPairBecomesOneQtFilterAndStarDotStarMatchesNamesWithoutADot) {
  EXPECT_EQ(NameFilters("All Files (*.*)|*.*"), QStringList{"All Files (*)"});
  EXPECT_EQ(NameFilters("KOVA Voltare Save Files (*.vls)|*.vls|Texts|*.txt;*.log"),
            (QStringList{"KOVA Voltare Save Files (*.vls)", "Texts (*.txt *.log)"}));
  EXPECT_TRUE(NameFilters("").isEmpty());
}

TEST(QtProgressTest, PositionsBeyondTheBarsIntRangeAreScaled) {
  QProgressBar bar;
  QtProgress progress;
  progress.Attach(&bar);
  EXPECT_EQ(bar.maximum(), 100) << "the bar starts at 0 to 100";
  progress.setMax(std::int64_t{10} << 32);
  progress.setPosition(std::int64_t{5} << 32);
  EXPECT_EQ(bar.value() * 2, bar.maximum());
  progress.setMax(0);  // a range of 0 to 0 would make the bar a busy animation
  EXPECT_GT(bar.maximum(), 0);
  EXPECT_EQ(progress.position(), std::int64_t{5} << 32);
}

// Type names are looked up once per type where a file's name decides it;
// where the name decides nothing, each file is looked at on its own.
TEST(QtInteractionTest, FileTypesComeFromTheNameWhereItDecidesAndFromTheContentElsewhere) {
  QtInteraction interaction;
  const auto info = [&](const std::string& name, const std::string& content) {
    testing::WriteFileText(testing::TestDir() / name, content);
    return interaction.GetFileInfo(testing::TestDir() / name);
  };
  const app::FileInfo first = info("first.txt", "%PDF-1.4\n");
  const app::FileInfo second = info("second.txt", "just words");
  EXPECT_EQ(second.typeName, first.typeName);
  EXPECT_EQ(second.iconIndex, first.iconIndex);
  EXPECT_EQ(second.displayName, "second.txt");

  const app::FileInfo pdf = info("no-extension", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
  const app::FileInfo text = info("another", "just words\n");
  EXPECT_NE(pdf.typeName, text.typeName);
  EXPECT_NE(pdf.typeName, "File");
}

}  // namespace
}  // namespace voltare::gui
