// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <exception>

#include "app/main_window/messages.h"
#include "app/main_window/start_verbs.h"
#include "app/main_window/window_layout.h"
#include "app/shared/application.h"
#include "common/translate.h"
#include "gui/file_list_model.h"
#include "gui/form_dialog.h"
#include "gui/main_window_access.h"
#include "gui/panel_captions.h"
#include "gui/qt_interaction.h"
#include "gui/qt_text.h"
#include "gui/sharp_pictures.h"
#include "platform/os_error.h"
#include "platform/result_codes.h"
#include "ui_main_window.h"

namespace voltare::gui {

namespace {

// How often a window stopped by a signal answers dialogs and looks whether
// its command has ended.
constexpr int kStopSignalPollMs = 20;

// MainFormWidth() is the width of the whole window, its border included; the
// client area is this much narrower (635 with the list's columns gives 624).
constexpr int kBorderAllowance = 11;
constexpr int kClientHeight = 359;
// Room beside a cell's text: the item's margins and the grid line.
constexpr int kCellPadding = 14;

// The list's paths are the file system's bytes; Qt shows them as text.
std::string LocalPath(const QUrl& url) { return QFile::encodeName(url.toLocalFile()).toStdString(); }

// A column at least as wide as `widest` needs in the list's font (a larger
// desktop font widens it). The Date column's widest is the longest date and
// time the locale writes: two-digit day and month, an afternoon hour.
int ColumnWidth(const QWidget& list, int column, const QString& widest) {
  const int fixed = app::kListColumns[static_cast<std::size_t>(column)].width;
  return std::max(fixed, list.fontMetrics().horizontalAdvance(widest) + kCellPadding);
}

}  // namespace

MainWindow::MainWindow(app::Application& application, QtInteraction& interaction, std::vector<std::string> arguments)
    : ui_(std::make_unique<Ui::MainWindow>()),
      program_(application),
      form_(application.MainForm),
      interaction_(interaction),
      arguments_(std::move(arguments)) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  SetUpStatusBar();
  SetUpCancelButton();
  SetUpList();
  SetUpPopupMenu();
  BindCommands();
  BindEvents();
  interaction_.Attach(this, statusPanel_, ui_->ProgressBar, cancelButton_);
  ShowForm();
  SetUpWindow();
  SetUpKeyboardAndScreenReaders(*this, *ui_);
  form_.CheckColorDepth(screen()->depth());
  ShowPicturesSharp(*this);
}

MainWindow::~MainWindow() = default;

void MainWindow::RunAtStart(app::StartVerb verb, std::vector<std::string> files) {
  startVerb_ = verb;
  arguments_ = std::move(files);
}

// ---------------------------------------------------------------------------
// Setting up

void MainWindow::SetUpWindow() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon::fromTheme("kova-voltare", QIcon(":/icons/kova-voltare.svg")));
  setAcceptDrops(true);
  const QMargins margins = ui_->LeftBoxLayout->contentsMargins();
  const int buttonFrame = 6;  // a flat button's border and padding, both sides
  const int captionWidth = ui_->LeftBox->maximumWidth() - margins.left() - margins.right() - buttonFrame;
  FitPanelCaptions({ui_->EmailMessage, ui_->EditClipboard, ui_->WipeFiles3, ui_->Help}, captionWidth);
  // The menu bar lies inside a Qt window's client area, above the 359 pixels.
  // The window opens at this size, and is never smaller: the left panel and
  // the tool bars are laid out for it; the list takes any room beyond.
  const QSize opening(app::MainFormWidth() - kBorderAllowance, kClientHeight + menuBar()->sizeHint().height());
  setMinimumSize(opening);
  resize(opening);
  RestoreLayout();
  move(screen()->availableGeometry().center() - rect().center());
}

void MainWindow::SetUpStatusBar() {
  // One panel of plain text; a label keeps it when menus show their tips.
  statusPanel_ = new QLabel(ui_->StatusBar);
  statusPanel_->setTextFormat(Qt::PlainText);  // it names the files being worked on
  statusPanel_->setObjectName("StatusPanel");
  ui_->StatusBar->addWidget(statusPanel_, 1);
  ui_->StatusBar->setToolTip(QString::fromUtf8(tr_("Visit KOVA Software on the web: ")) +
                             ToQString(app::messages::kHomePage));
}

// Cancel sits at the right end of the status line, under the end of the bar:
// shown only while a file step runs, it never moves the list or the bar.
void MainWindow::SetUpCancelButton() {
  cancelButton_ = new QToolButton(ui_->StatusBar);
  cancelButton_->setObjectName("CancelButton");
  cancelButton_->setText(ToQString(app::messages::kCancelCaption));
  cancelButton_->setToolTip(ToQString(app::messages::kCancelHint));
  cancelButton_->setFocusPolicy(Qt::NoFocus);
  ui_->StatusBar->addPermanentWidget(cancelButton_);
  cancelButton_->hide();
  connect(cancelButton_, &QToolButton::clicked, this, [this] { StopClicked(); });
}

void MainWindow::SetUpList() {
  QTableView& list = *ui_->ListView;
  listModel_ = new FileListModel(form_.ListView, interaction_, this);
  list.setModel(listModel_);
  // The end of a path names the file, its start the folder: the middle goes.
  list.setTextElideMode(Qt::ElideMiddle);
  QHeaderView& header = *list.horizontalHeader();
  header.setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // A larger desktop font widens a column to its caption, never narrower than before.
  for (int column = 0; const app::ListColumn& listColumn : app::kListColumns) {
    list.setColumnWidth(column, ColumnWidth(list, column, ToQString(listColumn.caption)));
    ++column;
  }
  const QString widestDate = QLocale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58)), QLocale::ShortFormat);
  list.setColumnWidth(FileListModel::kDateColumn, ColumnWidth(list, FileListModel::kDateColumn, widestDate));
  list.setColumnWidth(FileListModel::kSizeColumn, ColumnWidth(list, FileListModel::kSizeColumn, "99999KB"));
  // Rows as high as the list's font needs (a large desktop font), never
  // lower than before; all alike, so a long list costs no measuring.
  QHeaderView& rows = *list.verticalHeader();
  rows.setDefaultSectionSize(std::max(rows.defaultSectionSize(), list.fontMetrics().height() + 4));
  rows.setSectionResizeMode(QHeaderView::Fixed);
  // File Name takes whatever the other columns leave, as the window grows.
  header.setSectionResizeMode(FileListModel::kFileNameColumn, QHeaderView::Stretch);
  header.setStretchLastSection(false);
}

void MainWindow::RestoreLayout() {
  const std::optional<app::WindowLayout> kept = app::LoadWindowLayout();
  if (!kept) return;
  // Kept on a larger screen than this one, it still fits.
  const QSize fits = QSize(kept->width, kept->height).boundedTo(screen()->availableGeometry().size());
  resize(fits.expandedTo(minimumSize()));
  for (int column = 0; const int width : kept->columnWidths) {
    if (column != FileListModel::kFileNameColumn) ui_->ListView->setColumnWidth(column, width);
    ++column;
  }
}

void MainWindow::SaveLayout() const {
  app::WindowLayout layout{width(), height(), {}};
  if (isMaximized() || isFullScreen()) {
    layout.width = normalGeometry().width();
    layout.height = normalGeometry().height();
  }
  for (int column = 0; column < listModel_->columnCount(); ++column) {
    layout.columnWidths.push_back(ui_->ListView->columnWidth(column));
  }
  static_cast<void>(app::SaveWindowLayout(layout));
}

void MainWindow::SetUpPopupMenu() {
  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName("PopupMenu");
  popupMenu_->addActions({ui_->DeleteFile2, ui_->EncryptFiles2, ui_->WipeFiles1});
  popupMenu_->addSeparator();
  popupMenu_->addAction(ui_->ClearList2);
}

// Every entry of the command table runs its handler from the widget or
// action of the same name; captions and shortcuts come from the table.
void MainWindow::BindCommands() {
  for (const app::Command& command : app::TMainForm::Commands()) {
    const QString name = ToQString(command.control);
    const std::string control(command.control);
    if (auto* action = findChild<QAction*>(name)) {
      const bool onToolBar = std::ranges::any_of(
          action->associatedObjects(), [](QObject* object) { return qobject_cast<QToolBar*>(object) != nullptr; });
      if (onToolBar) {
        action->setToolTip(ToQString(command.caption));
      } else {
        action->setText(ToQString(command.caption));
        action->setShortcut(QKeySequence(ToQString(command.shortcut)));
      }
      connect(action, &QAction::triggered, this, [this, control] { Handle([&] { form_.Run(control); }); });
    } else if (auto* button = findChild<QAbstractButton*>(name)) {
      button->setText(ToQString(command.caption));
      connect(button, &QAbstractButton::clicked, this, [this, control] { Handle([&] { form_.Run(control); }); });
    }
  }
}

void MainWindow::BindEvents() {
  // The enabling rules run as a menu opens; they change enabled states only.
  connect(ui_->Edit1, &QMenu::aboutToShow, this, [this] {
    form_.Edit1Click();
    ShowControls();
  });
  connect(ui_->Actions1, &QMenu::aboutToShow, this, [this] {
    form_.Actions1Click();
    ShowControls();
  });
  // A disabled action ignores its shortcut too, and the states above stay as
  // the menu last left them: a shortcut runs the same rules before it counts.
  QCoreApplication::instance()->installEventFilter(this);
  connect(popupMenu_, &QMenu::aboutToShow, this, [this] {
    form_.PopupMenuPopup();
    ShowControls();
  });

  QTableView* list = ui_->ListView;
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (showingList_) return;
    TakeSelection();
    form_.ListViewSelectItem();
    ShowControls();
  });
  connect(list, &QTableView::doubleClicked, this, [this] { Handle([&] { form_.ListViewDblClick(); }); });
  connect(list, &QWidget::customContextMenuRequested, this,
          [this, list](const QPoint& at) { popupMenu_->popup(list->viewport()->mapToGlobal(at)); });
  ui_->Pijl->installEventFilter(this);
}

// ---------------------------------------------------------------------------
// Handlers and the form's state

template <typename Handler>
void MainWindow::Handle(Handler&& handler) {
  ++runningHandlers_;
  try {
    handler();
  } catch (const std::exception& failure) {
    // The forms report their own failures; this is the last line, so that
    // nothing unexpected ends the program with the user's list in it.
    interaction_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
  if (--runningHandlers_ == 0) interaction_.StoppableProgress().CommandEnded();
  ShowForm();
  if (form_.Closed) {
    closeAllowed_ = true;
    close();
  }
}

// Qt offers a key to the focus widget as a ShortcutOverride before it looks
// the key up among the shortcuts; that is the moment to run the rules.
void MainWindow::RefreshBeforeShortcut(QObject* receiver, const QKeyEvent& key) {
  auto* widget = qobject_cast<QWidget*>(receiver);
  if (runningHandlers_ > 0 || widget == nullptr || widget->window() != this) return;
  const QKeySequence pressed(key.keyCombination());
  const QList<QAction*> actions = findChildren<QAction*>();
  const bool isShortcut = std::ranges::any_of(actions, [&](const QAction* action) {
    return !action->shortcut().isEmpty() && action->shortcut().matches(pressed) == QKeySequence::ExactMatch;
  });
  if (!isShortcut) return;
  form_.Edit1Click();
  form_.Actions1Click();
  ShowControls();
}

void MainWindow::StopClicked() {
  QtProgress& progress = interaction_.StoppableProgress();
  if (!progress.StepRunning() || progress.cancelRequested()) return;
  // The form asks first where a stop would leave a batch half done.
  if (form_.ConfirmStop()) progress.RequestStop();
}

void MainWindow::CloseForStopSignal() {
  interaction_.StoppableProgress().RequestStop();
  auto* closer = new QTimer(this);
  connect(closer, &QTimer::timeout, this, [this] {
    // Dialogs a command opens after the stop are answered too.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(widget);
      if (dialog != nullptr && dialog->isVisible()) dialog->reject();
    }
    if (runningHandlers_ > 0) return;
    closeAllowed_ = true;
    close();
    QApplication::quit();
  });
  closer->start(kStopSignalPollMs);
}

void MainWindow::ShowForm() {
  setWindowTitle(ToQString(form_.Caption));
  ui_->BannerCaption->setText(ToQString(form_.Caption));
  ShowList();
  ShowControls();
  if (form_.ActiveControl == &form_.ListView) {
    ui_->ListView->setFocus();
    form_.ActiveControl = nullptr;
  }
}

void MainWindow::ShowControls() {
  for (const app::NamedControl& named : form_.Controls()) {
    const QString name = ToQString(named.name);
    if (auto* action = findChild<QAction*>(name)) {
      action->setEnabled(named.control->enabled);
      action->setVisible(named.control->visible);
    } else if (auto* widget = findChild<QWidget*>(name)) {
      widget->setEnabled(named.control->enabled);
      widget->setVisible(named.control->visible);
    }
  }
  ui_->Head->setText(ToQString(form_.Head.caption));
}

void MainWindow::ShowList() {
  showingList_ = true;
  listModel_->Refresh();
  ui_->ListView->selectionModel()->select(FormsSelection(), QItemSelectionModel::ClearAndSelect);
  showingList_ = false;
}

// The form's selection, row for row, as runs of rows: Select All on a long
// list is one range.
QItemSelection MainWindow::FormsSelection() const {
  QItemSelection selection;
  const std::vector<app::ListItem>& items = form_.ListView.Items();
  const int lastColumn = listModel_->columnCount() - 1;
  for (std::size_t row = 0; row < items.size();) {
    if (!items[row].selected) {
      ++row;
      continue;
    }
    std::size_t end = row;
    while (end < items.size() && items[end].selected) ++end;
    selection.select(listModel_->index(static_cast<int>(row), 0),
                     listModel_->index(static_cast<int>(end - 1), lastColumn));
    row = end;
  }
  return selection;
}

void MainWindow::TakeSelection() {
  if (static_cast<std::size_t>(listModel_->rowCount()) != form_.ListView.Count()) return;
  form_.ListView.SetAllSelected(false);
  for (const QItemSelectionRange& range : ui_->ListView->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row)
      form_.ListView.SelectRow(static_cast<std::size_t>(row), true);
  }
}

// ---------------------------------------------------------------------------
// Window events

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (activated_) return;
  activated_ = true;
  // Once the window is on the screen, so that what the command line starts
  // (a password prompt, a message) appears over it.
  QTimer::singleShot(0, this, [this] {
    if (!startVerb_) return Handle([&] { form_.FormActivate(arguments_); });
    Handle([&] { form_.FormActivate({}); });
    if (!form_.Closed) Handle([&] { app::RunStartVerb(program_, *startVerb_, arguments_); });
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a command works (the progress bar lets the window paint), closing
  // would delete the temporary files it is writing: the close waits.
  if (!closeAllowed_ && runningHandlers_ > 0) {
    event->ignore();
    return;
  }
  if (closeAllowed_ || form_.FormCloseQuery()) {
    SaveLayout();
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (std::ranges::any_of(urls, &QUrl::isLocalFile)) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (runningHandlers_ > 0) return;  // one command at a time
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(LocalPath(url));
  }
  event->acceptProposedAction();
  Handle([&] { form_.DropFiles(paths); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) RefreshBeforeShortcut(watched, *static_cast<QKeyEvent*>(event));
  // The arrow beside the heading opens the list's menu where it is clicked.
  if (watched == ui_->Pijl && event->type() == QEvent::MouseButtonRelease) {
    popupMenu_->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace voltare::gui
