// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-screenshots [DIRECTORY]: renders every window of the program into
// DIRECTORY/<window>.png (default "screenshots"), then again on a dark
// palette into DIRECTORY/dark/. Run it under a display, a
// virtual one will do: xvfb-run -a voltare-screenshots build/screenshots

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPalette>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

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

  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("screenshots"));
  if (!out.mkpath(".")) {
    std::fprintf(stderr, "voltare-screenshots: cannot make %s\n", qPrintable(out.path()));
    return 1;
  }
  CaptureAll(out);
  // Again on a dark palette, where fixed colours must stay readable.
  const QDir dark(out.filePath("dark"));
  if (!dark.mkpath(".")) {
    std::fprintf(stderr, "voltare-screenshots: cannot make %s\n", qPrintable(dark.path()));
    return 1;
  }
  UseDarkPalette();
  CaptureAll(dark);
  return failedPictures == 0 ? 0 : 1;
}
