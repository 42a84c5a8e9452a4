// The desktop clipboard as the clipboard commands use it.

#include <gtest/gtest.h>

#include <string>

#include "gui/qt_interaction.h"

namespace voltare::gui {
namespace {

TEST(DesktopClipboardTest, BytesThatAreNotUtf8AreRepairedAndTextIsKept) {
  QtInteraction interaction;
  // As a wrong password might leave them: a stray continuation byte, a cut
  // three-byte sequence, a byte that never occurs in UTF-8.
  interaction.SetClipboardText("ok \x80 \xE2\x82 \xFF end");
  EXPECT_EQ(interaction.ClipboardText(), "ok \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD end");
  interaction.SetClipboardText("caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(interaction.ClipboardText(), "caf\xC3\xA9 \xE2\x82\xAC");
}

}  // namespace
}  // namespace voltare::gui
