// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own texts (the file and print dialogs, the message boxes' standard
// buttons, a text field's context menu) in the language of the program's
// catalogue. They come from the translations Qt ships (qtbase_<lang>.qm, the
// package qt6-translations-l10n): Qt's catalogue for Qt's texts, never ours.

#include <QTranslator>

namespace voltare::gui {

// Installs Qt's translation for common::CatalogueLanguage() while it lives.
// Nothing is installed when our texts are English, or when Qt has no
// translation for the language (or it is not installed): Qt's texts are
// then English like ours, rather than in a language our window does not
// speak.
class QtTranslations {
 public:
  QtTranslations();
  ~QtTranslations();
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;

  bool installed() const { return installed_; }

 private:
  QTranslator translator_;
  bool installed_ = false;
};

}  // namespace voltare::gui
