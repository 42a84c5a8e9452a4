// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_translations.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPushButton>
#include <clocale>

#include "common/translate.h"
#include "support/scoped_env.h"

namespace voltare::gui {
namespace {

QString CancelText() {
  const QDialogButtonBox buttons(QDialogButtonBox::Cancel);
  return buttons.button(QDialogButtonBox::Cancel)->text();
}

// Under a German desktop Qt's own buttons are German too, and English again
// once the translation is gone; under English ones Qt's stay untouched.
TEST(QtTranslations, QtsOwnTextsSpeakTheCataloguesLanguage) {
  const QString qm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm");
  if (!QFileInfo::exists(qm)) GTEST_SKIP() << qm.toStdString() << " is not installed (qt6-translations-l10n)";
  {
    const voltare::testing::ScopedEnv language{"LANGUAGE", ""};
    const voltare::testing::ScopedEnv all{"LC_ALL", ""};
    const voltare::testing::ScopedEnv messages{"LC_MESSAGES", ""};
    const voltare::testing::ScopedEnv lang{"LANG", "C.UTF-8"};
    common::StartTranslations();
    EXPECT_FALSE(QtTranslations().installed()) << "English texts need no translation of Qt's";

    ::setenv("LANG", "de_DE.UTF-8", 1);
    common::StartTranslations();
    ASSERT_EQ(common::CatalogueLanguage(), "de");
    const QtTranslations german;
    EXPECT_TRUE(german.installed());
    EXPECT_EQ(CancelText(), QStringLiteral("Abbrechen"));
  }
  EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace voltare::gui
