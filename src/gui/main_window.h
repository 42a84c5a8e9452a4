// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window. It shows the main form's controls (caption, heading, file
// list, enabled states) and hands every menu entry, tool button, left-panel
// button and window event to the form's handlers; the commands themselves
// live in the form.

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QItemSelection;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolButton;

namespace Ui {
class MainWindow;
}

namespace voltare::app {
class Application;
class TMainForm;
enum class StartVerb;
}  // namespace voltare::app

namespace voltare::gui {

class FileListModel;
class QtInteraction;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `arguments`: the program's arguments without its name; the first showing
  // of the window hands them to the form.
  MainWindow(app::Application& application, QtInteraction& interaction, std::vector<std::string> arguments);
  ~MainWindow() override;

  // Copies the form's state into the widgets: after every handler.
  void ShowForm();
  // Before the first showing: the first activation runs `verb` on `files`
  // instead of handling the arguments (voltare --encrypt FILE...).
  void RunAtStart(app::StartVerb verb, std::vector<std::string> files);
  // SIGINT or SIGTERM: the running step stops as after Cancel, every open
  // dialog is answered as Esc answers it, and the window closes without a
  // question once no command runs, leaving nothing half-made.
  void CloseForStopSignal();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetUpWindow();
  void SetUpStatusBar();
  void SetUpCancelButton();
  void SetUpList();
  // The size and column widths the user left the window with, if any.
  void RestoreLayout();
  void SaveLayout() const;
  void SetUpPopupMenu();
  void BindCommands();
  void BindEvents();

  // Runs one of the form's handlers, then shows what it changed. A handler
  // that closed the form closes the window.
  template <typename Handler>
  void Handle(Handler&& handler);
  void ShowControls();
  // Runs the menus' enabling rules when `key` is the shortcut of an action.
  void RefreshBeforeShortcut(QObject* receiver, const QKeyEvent& key);
  // The form's entries and their selection; rows are taken anew only when
  // the entries changed, so the user keeps the scroll position.
  void ShowList();
  QItemSelection FormsSelection() const;
  // The user's selection in the list, written into the form.
  void TakeSelection();
  // Cancel or Esc while a file step runs (heard inside the bar's repaint).
  void StopClicked();

  std::unique_ptr<Ui::MainWindow> ui_;
  app::Application& program_;
  app::TMainForm& form_;
  QtInteraction& interaction_;
  std::vector<std::string> arguments_;
  std::optional<app::StartVerb> startVerb_;
  FileListModel* listModel_ = nullptr;
  QMenu* popupMenu_ = nullptr;
  QLabel* statusPanel_ = nullptr;
  QToolButton* cancelButton_ = nullptr;
  int runningHandlers_ = 0;
  bool activated_ = false;
  bool closeAllowed_ = false;
  bool showingList_ = false;
};

}  // namespace voltare::gui
