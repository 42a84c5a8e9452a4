// voltare-screenshots [DIRECTORY]: renders every window of the program into
// DIRECTORY/<window>.png (default "screenshots"). Run it under a display, a
// virtual one will do: xvfb-run -a voltare-screenshots build/screenshots

#include <QApplication>
#include <QDir>
#include <QEventLoop>
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
  voltare::gui::CaptureMainWindow(out);
  voltare::gui::CaptureDialogs(out);
  voltare::gui::CaptureMailPrintHelp(out);
  return failedPictures == 0 ? 0 : 1;
}
