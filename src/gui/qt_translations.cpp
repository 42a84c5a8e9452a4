// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <string>

#include "common/translate.h"

namespace voltare::gui {

namespace {

// "de", "pt_BR"; the variant after "@" names no translation of Qt's.
// Empty for English, Qt's own language, and its variants (en@pseudo).
QString QtLanguage() {
  std::string language = common::CatalogueLanguage();
  language = language.substr(0, language.find('@'));
  if (language.empty() || language == "en" || language.rfind("en_", 0) == 0) return {};
  return QString::fromStdString(language);
}

}  // namespace

QtTranslations::QtTranslations() {
  const QString language = QtLanguage();
  if (language.isEmpty()) return;
  // load() falls back from "qtbase_pt_BR" to "qtbase_pt" by itself.
  if (!translator_.load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return;
  }
  installed_ = QCoreApplication::installTranslator(&translator_);
}

QtTranslations::~QtTranslations() {
  if (installed_) QCoreApplication::removeTranslator(&translator_);
}

}  // namespace voltare::gui
