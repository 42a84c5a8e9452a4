// SPDX-License-Identifier: GPL-3.0-or-later
// Help: the guide opens in a window of the program rather than in the
// desktop's browser. The window can be told which section to show (a file
// address with a fragment is not passed on reliably by every desktop
// handler), it works without any browser installed, and it keeps its own
// back and forward history beside the program.

#include "gui/help_view.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/main_window/messages.h"
#include "common/translate.h"
#include "gui/form_views.h"

namespace voltare::gui {

namespace {

const char* const kGuideDirVariable = "VOLTARE_GUIDE_DIR";
const char* const kHelpCaption = N_("KOVA Voltare Help");
// "%1": the places looked at, one per line.
const char* const kGuideMissing = N_("Cannot find the help file.\n\nLooked for:\n%1");

QPointer<HelpWindow>& TheHelpWindow() {
  static QPointer<HelpWindow> window;
  return window;
}

QIcon Picture(const char* themeName, const char* file) {
  return QIcon::fromTheme(QString::fromLatin1(themeName), QIcon(QStringLiteral(":/pictures/") + QLatin1String(file)));
}

}  // namespace

GuideLocation FindGuide() {
  QStringList candidates;
  const QString overridden = qEnvironmentVariable(kGuideDirVariable);
  if (!overridden.isEmpty()) {
    candidates << QDir(overridden).filePath(QStringLiteral("index.html"));
  } else {
    candidates << QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                  QStringLiteral("/../share/doc/kova-voltare/guide/index.html"));
#ifdef VOLTARE_SOURCE_GUIDE_DIR
    candidates << QDir(QStringLiteral(VOLTARE_SOURCE_GUIDE_DIR)).filePath(QStringLiteral("index.html"));
#endif
  }
  GuideLocation location;
  for (const QString& candidate : candidates) {
    location.lookedAt << QDir::toNativeSeparators(candidate);
    if (QFileInfo(candidate).isFile()) {
      location.indexFile = candidate;
      break;
    }
  }
  return location;
}

QString HelpAnchor(int context) {
  return context == app::messages::kHelpAlgorithms ? QStringLiteral("algorithms") : QStringLiteral("contents");
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QString::fromUtf8(tr_(kHelpCaption)));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(720, 560);

  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  // Pages of the guide open here; web addresses go to the desktop's browser.
  browser_->setOpenExternalLinks(true);

  auto* toolBar = new QToolBar(this);
  toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  QAction* back = toolBar->addAction(Picture("go-previous", "help-back.svg"), QString::fromUtf8(tr_("&Back")));
  QAction* forward = toolBar->addAction(Picture("go-next", "help-forward.svg"), QString::fromUtf8(tr_("&Forward")));
  QAction* contents =
      toolBar->addAction(Picture("help-contents", "help-contents.svg"), QString::fromUtf8(tr_("&Contents")));
  back->setShortcut(QKeySequence::Back);
  forward->setShortcut(QKeySequence::Forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(contents, &QAction::triggered, this, [this] { ShowPage(home_); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolBar);
  layout->addWidget(browser_);
}

void HelpWindow::ShowPage(const QUrl& page) {
  if (home_.isEmpty()) {
    home_ = page;
    home_.setFragment(HelpAnchor(app::messages::kHelpContents));
  }
  browser_->setSource(page);
  // The same page again at another section: setSource alone would not move.
  if (page.hasFragment()) browser_->scrollToAnchor(page.fragment());
}

HelpWindow* OpenHelpWindow() { return TheHelpWindow().data(); }

void ShowHelpView(int context, QWidget* parent) {
  const GuideLocation guide = FindGuide();
  if (guide.indexFile.isEmpty()) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(tr_("Error")),
                    QString::fromUtf8(tr_(kGuideMissing)).arg(guide.lookedAt.join(QLatin1Char('\n'))), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);  // the places looked at are paths
    box.exec();
    return;
  }
  // Qt blocks every window outside an open modal dialog except the dialog's
  // own: help asked for from one (Preferences) must belong to it to take input.
  QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : parent;
  QPointer<HelpWindow>& window = TheHelpWindow();
  if (window.isNull()) {
    window = new HelpWindow(owner);
  } else if (window->parentWidget() != owner) {
    window->setParent(owner, window->windowFlags());
  }
  // Help outlives the dialog it was asked from: it goes back to `parent`
  // before the dialog, and its children with it, are destroyed.
  if (auto* dialog = qobject_cast<QDialog*>(owner); dialog != nullptr && owner != parent) {
    HelpWindow* help = window.data();
    QObject::connect(dialog, &QDialog::finished, help, [help, parent] {
      const bool shown = help->isVisible();
      help->setParent(parent, help->windowFlags());
      if (shown) help->show();
    });
  }
  QUrl page = QUrl::fromLocalFile(guide.indexFile);
  page.setFragment(HelpAnchor(context));
  window->ShowPage(page);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace voltare::gui
