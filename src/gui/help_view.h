// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's guide (HTML) in a help window of its own: back and forward
// through the pages read, internal links followed, outside addresses handed
// to the desktop's browser.

#include <QStringList>
#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace voltare::gui {

// Where the guide's index.html was found, and every place looked at.
struct GuideLocation {
  QString indexFile;  // empty when none exists
  QStringList lookedAt;
};

// VOLTARE_GUIDE_DIR alone when it is set (the tests point it at a guide of
// their own); otherwise the installed guide beside the program, then the
// guide in the source tree the program was built from.
GuideLocation FindGuide();

// The anchor in index.html of a help context: 10 the contents, 20 the
// algorithms; any other context opens the contents.
QString HelpAnchor(int context);

class HelpWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent);

  void ShowPage(const QUrl& page);
  QTextBrowser& Browser() const { return *browser_; }

 private:
  QTextBrowser* browser_;
  QUrl home_;
};

// The one help window, if it is open.
HelpWindow* OpenHelpWindow();

}  // namespace voltare::gui
