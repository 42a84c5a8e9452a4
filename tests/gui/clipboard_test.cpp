// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop clipboard as the clipboard commands use it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <string>

#include "app/shared/application.h"
#include "gui/qt_interaction.h"
#include "support/test_env.h"

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

// Decrypted text is marked for clipboard managers to keep out of their
// history; the Base64 line of an encryption is no secret and is not marked.
TEST(DesktopClipboardTest, OnlyDecryptedTextIsMarkedAsASecret) {
  QtInteraction interaction;
  app::Application program{interaction, testing::TestDir()};
  QTimer user;  // types the password into every prompt
  QObject::connect(&user, &QTimer::timeout, [] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* edit = modal ? modal->findChild<QLineEdit*>("Password") : nullptr) {
      QTest::keyClicks(edit, "pw");
      QTest::keyClick(edit, Qt::Key_Return);
    }
  });
  user.start(20);
  const auto hint = [] {
    return QGuiApplication::clipboard()->mimeData()->data("x-kde-passwordManagerHint").toStdString();
  };

  interaction.SetClipboardText("the plan");
  program.MainForm.EncryptClipboard1Click();
  EXPECT_NE(interaction.ClipboardText(), "the plan");
  EXPECT_EQ(hint(), "");
  program.MainForm.DecryptClipboard1Click();
  EXPECT_EQ(interaction.ClipboardText(), "the plan");
  EXPECT_EQ(hint(), "secret");
}

}  // namespace
}  // namespace voltare::gui
