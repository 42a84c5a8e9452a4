// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a user sees it after dropping a folder on it, making
// the window larger and selecting one of its files.

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window/batch_messages.h"
#include "app/shared/application.h"
#include "gui/main_window.h"
#include "gui/qt_interaction.h"
#include "gui/screenshots/captures.h"

namespace voltare::gui {

namespace {

// A folder of ordinary documents in the scratch temporary directory.
QString MakeSampleFolder() {
  const QString folder = QDir::temp().filePath("Documents");
  QDir().mkpath(folder);
  const char* const names[] = {"notes.txt",  "tax return 2025.pdf", "holiday.png",
                               "budget.ods", "letter to Anna.odt",  "passwords.txt"};
  for (int n = 0; const char* name : names) {
    QFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(1500 + 3000 * n++, 'x'));
  }
  return folder;
}

}  // namespace

void CaptureMainWindow(const QDir& out) {
  QtInteraction interaction;
  app::Application program(interaction, std::filesystem::current_path());
  MainWindow window(program, interaction, {});
  SaveWindowPicture(window, out, "main-window-empty");

  const std::string folder = QFile::encodeName(MakeSampleFolder()).toStdString();
  program.MainForm.DropFiles(std::vector<std::string>{folder});
  program.MainForm.ListView.Select(folder + "/notes.txt");
  program.MainForm.ListViewSelectItem();
  window.ShowForm();
  // Grown beyond its opening size, as a user would for long paths: the list
  // and its File Name column take the room.
  window.resize(window.size() + QSize(300, 80));
  SaveWindowPicture(window, out, "main-window");

  // In the middle of a file step: the bar part way, Cancel beside it.
  interaction.SetBusyCursor(true);
  interaction.SetStatusText(app::messages::FormatCount(app::messages::kEncryptingStatus, 2, 3));
  interaction.ProgressBar().setMax(100);
  interaction.ProgressBar().setPosition(60);
  interaction.ProgressBar().repaint();
  SaveWindowPicture(window, out, "main-window-working");
  interaction.SetBusyCursor(false);
  interaction.ProgressBar().setPosition(0);

  // Each menu as it drops down, for checking captions, shortcuts and order.
  for (QMenu* menu : window.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
    if (menu->objectName().isEmpty()) continue;  // the bar's own overflow menu
    menu->popup(window.mapToGlobal(QPoint(0, 0)));
    SaveWindowPicture(*menu, out, "main-window-menu-" + menu->objectName());
    menu->close();
  }
  auto* popup = window.findChild<QMenu*>("PopupMenu");
  popup->popup(window.mapToGlobal(QPoint(200, 150)));
  SaveWindowPicture(*popup, out, "main-window-menu-PopupMenu");
  popup->close();
}

}  // namespace voltare::gui
