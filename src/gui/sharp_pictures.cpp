// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/sharp_pictures.h"

#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace voltare::gui {

namespace {

// A picture loaded from a file keeps no name; its source is found by loading
// each candidate the same way, which QPixmap's cache makes cheap, and comparing.
QString SourceOf(const QPixmap& shown, const QStringList& sources) {
  const QImage shownImage = shown.toImage();
  for (const QString& source : sources) {
    const QPixmap candidate(source);
    if (candidate.cacheKey() == shown.cacheKey()) return source;
    if (candidate.size() == shown.size() && candidate.toImage() == shownImage) return source;
  }
  return {};
}

}  // namespace

void ShowPicturesSharp(QWidget& window) { ShowPicturesSharp(window, window.devicePixelRatioF()); }

void ShowPicturesSharp(QWidget& window, double ratio) {
  if (ratio <= 1.0) return;  // the loaded picture is as sharp as the screen
  QStringList sources;
  for (const QString& file : QDir(QStringLiteral(":/pictures")).entryList({QStringLiteral("*.svg")}, QDir::Files)) {
    sources << QStringLiteral(":/pictures/") + file;
  }
  for (QLabel* label : window.findChildren<QLabel*>()) {
    const QPixmap shown = label->pixmap();
    if (shown.isNull() || shown.devicePixelRatio() >= ratio) continue;
    const QString source = SourceOf(shown, sources);
    if (!source.isEmpty()) label->setPixmap(QIcon(source).pixmap(shown.deviceIndependentSize().toSize(), ratio));
  }
}

}  // namespace voltare::gui
