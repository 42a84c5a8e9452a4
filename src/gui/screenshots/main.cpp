// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-screenshots [--scale-2] [DIRECTORY]: renders every window of the
// program into DIRECTORY/<window>.png (default "screenshots"), then again on a
// dark palette into DIRECTORY/dark/ and with a 16 pt application font into
// DIRECTORY/large-font/. With --scale-2, run with QT_SCALE_FACTOR=2 in the
// environment, it renders only the main window and the password prompt, into
// DIRECTORY/scale-2/. With --language CODE (de, en@pseudo, ...) it renders
// every window in that language, into DIRECTORY/CODE/ ("en@pseudo" into
// DIRECTORY/pseudo/). Run it under a display, a virtual one will do:
// xvfb-run -a voltare-screenshots build/screenshots

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QPalette>
#include <QStringList>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "common/translate.h"
#include "gui/qt_translations.h"
#include "gui/screenshots/captures.h"

namespace {

int failedPictures = 0;

}  // namespace

namespace voltare::gui {

bool SaveWindowPicture(QWidget& window, const QDir& out, const QString& name) {
  window.show();
  window.raise();
  window.activateWindow();
  // Layout, style polish and painting happen in the event loop.
  QEventLoop loop;
  QTimer::singleShot(300, &loop, &QEventLoop::quit);
  loop.exec();
  const QString path = out.filePath(name + ".png");
  const bool saved = window.grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  if (!saved) ++failedPictures;
  return saved;
}

}  // namespace voltare::gui

namespace {

// The pictures must show what a fresh installation shows, whatever the
// user's own settings are: settings and temporary files go to a scratch place.
bool UseScratchEnvironment(const QTemporaryDir& scratch) {
  if (!scratch.isValid() || !QDir(scratch.path()).mkpath("tmp") || !QDir(scratch.path()).mkpath("config")) {
    return false;
  }
  ::setenv("TMPDIR", qPrintable(scratch.filePath("tmp")), 1);
  ::setenv("VOLTARE_CONFIG_DIR", qPrintable(scratch.filePath("config")), 1);
  return true;
}

void CaptureAll(const QDir& out) {
  voltare::gui::CaptureMainWindow(out);
  voltare::gui::CaptureDialogs(out);
  voltare::gui::CaptureMailPrintHelp(out);
}

// The texts in `language`, whatever the desktop's language is; English
// unless asked otherwise.
void UseLanguage(const QString& language) {
  ::setenv("LANGUAGE", qPrintable(language), 1);
  ::setenv("LC_ALL", "C.UTF-8", 1);
  voltare::common::StartTranslations();
}

// "--language CODE" taken out of `arguments`; empty when not given.
QString TakeLanguage(QStringList& arguments) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--language"));
  if (at < 0 || at + 1 >= arguments.size()) return {};
  const QString language = arguments.at(at + 1);
  arguments.remove(at, 2);
  return language;
}

bool MakeDirectory(const QString& path) {
  if (QDir().mkpath(path)) return true;
  std::fprintf(stderr, "voltare-screenshots: cannot make %s\n", qPrintable(path));
  return false;
}

// A dark desktop theme as many users have one: Fusion with dark colours.
void UseDarkPalette() {
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QPalette dark;
  const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(127, 127, 127);
  dark.setColor(QPalette::Window, window);
  dark.setColor(QPalette::WindowText, text);
  dark.setColor(QPalette::Base, base);
  dark.setColor(QPalette::AlternateBase, window);
  dark.setColor(QPalette::ToolTipBase, base);
  dark.setColor(QPalette::ToolTipText, text);
  dark.setColor(QPalette::Text, text);
  dark.setColor(QPalette::Button, window);
  dark.setColor(QPalette::ButtonText, text);
  dark.setColor(QPalette::BrightText, Qt::red);
  dark.setColor(QPalette::Link, QColor(110, 170, 255));
  dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
  dark.setColor(QPalette::HighlightedText, Qt::black);
  dark.setColor(QPalette::PlaceholderText, disabled);
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    dark.setColor(QPalette::Disabled, role, disabled);
  }
  QApplication::setPalette(dark);
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir scratch;
  if (!UseScratchEnvironment(scratch)) {
    std::fprintf(stderr, "voltare-screenshots: cannot make a scratch directory\n");
    return 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("KOVA Voltare");

  QStringList arguments = QApplication::arguments().mid(1);
  const bool scaled = arguments.removeAll(QStringLiteral("--scale-2")) > 0;
  const QString language = TakeLanguage(arguments);
  UseLanguage(language.isEmpty() ? QStringLiteral("en") : language);
  // Qt's own texts (the print dialog's, the standard buttons') in it too.
  const voltare::gui::QtTranslations qtTranslations;
  const QDir out(arguments.isEmpty() ? QStringLiteral("screenshots") : arguments.first());
  if (!language.isEmpty()) {
    const QString folder = out.filePath(QString(language).remove(QStringLiteral("en@")));
    if (!MakeDirectory(folder)) return 1;
    CaptureAll(QDir(folder));
    return failedPictures == 0 ? 0 : 1;
  }
  if (scaled) {
    // QT_SCALE_FACTOR=2 is read when QApplication starts: the caller sets it.
    if (!MakeDirectory(out.filePath("scale-2"))) return 1;
    voltare::gui::CaptureMainWindow(QDir(out.filePath("scale-2")));
    voltare::gui::CapturePasswordPrompt(QDir(out.filePath("scale-2")));
    return failedPictures == 0 ? 0 : 1;
  }
  if (!MakeDirectory(out.path()) || !MakeDirectory(out.filePath("dark")) ||
      !MakeDirectory(out.filePath("large-font"))) {
    return 1;
  }
  const QString lightStyle = QApplication::style()->name();
  const QPalette lightPalette = QApplication::palette();
  CaptureAll(out);
  // Again on a dark palette, where fixed colours must stay readable.
  UseDarkPalette();
  CaptureAll(QDir(out.filePath("dark")));
  // Again on the light palette with a large font, where nothing may be cut off.
  QApplication::setStyle(QStyleFactory::create(lightStyle));
  QApplication::setPalette(lightPalette);
  QFont large = QApplication::font();
  large.setPointSize(16);
  QApplication::setFont(large);
  CaptureAll(QDir(out.filePath("large-font")));
  return failedPictures == 0 ? 0 : 1;
}
