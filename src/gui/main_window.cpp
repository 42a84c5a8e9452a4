// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <exception>

#include "app/main_window/messages.h"
#include "app/main_window/start_verbs.h"
#include "app/shared/application.h"
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

// MainFormWidth() is the width of the whole window, its border included; the
// client area is this much narrower (635 with the list's columns gives 624).
constexpr int kBorderAllowance = 11;
constexpr int kClientHeight = 359;
// The full path, by which the batch commands know an entry.
constexpr int kFileNameColumn = 1;

// The list's paths are the file system's bytes; Qt shows them as text.
std::string LocalPath(const QUrl& url) { return QFile::encodeName(url.toLocalFile()).toStdString(); }

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
  // A fixed single border with a minimise box but no maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon::fromTheme("kova-voltare", QIcon(":/icons/kova-voltare.svg")));
  setAcceptDrops(true);
  const QMargins margins = ui_->LeftBoxLayout->contentsMargins();
  const int buttonFrame = 6;  // a flat button's border and padding, both sides
  const int captionWidth = ui_->LeftBox->maximumWidth() - margins.left() - margins.right() - buttonFrame;
  FitPanelCaptions({ui_->EmailMessage, ui_->EditClipboard, ui_->WipeFiles3, ui_->Help}, captionWidth);
  // The menu bar lies inside a Qt window's client area, above the 359 pixels.
  setFixedSize(app::MainFormWidth() - kBorderAllowance, kClientHeight + menuBar()->sizeHint().height());
  move(screen()->availableGeometry().center() - rect().center());
}

void MainWindow::SetUpStatusBar() {
  // One panel of plain text; a label keeps it when menus show their tips.
  statusPanel_ = new QLabel(ui_->StatusBar);
  statusPanel_->setTextFormat(Qt::PlainText);  // it names the files being worked on
  statusPanel_->setObjectName("StatusPanel");
  ui_->StatusBar->addWidget(statusPanel_, 1);
  ui_->StatusBar->setToolTip("Visit KOVA Software on the web: " + ToQString(app::messages::kHomePage));
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
  QTableWidget& list = *ui_->ListView;
  list.setColumnCount(static_cast<int>(app::kListColumns.size()));
  for (int column = 0; const app::ListColumn& listColumn : app::kListColumns) {
    auto* header = new QTableWidgetItem(ToQString(listColumn.caption));
    header->setTextAlignment((listColumn.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    list.setHorizontalHeaderItem(column, header);
    list.setColumnWidth(column, listColumn.width);
    ++column;
  }
  list.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
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

  QTableWidget* list = ui_->ListView;
  connect(list, &QTableWidget::itemSelectionChanged, this, [this] {
    if (showingList_) return;
    TakeSelection();
    form_.ListViewSelectItem();
    ShowControls();
  });
  connect(list, &QTableWidget::cellDoubleClicked, this, [this] { Handle([&] { form_.ListViewDblClick(); }); });
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
  if (!ListShowsTheFormsEntries()) FillList();
  // The selection is the form's, row for row.
  QTableWidget& list = *ui_->ListView;
  QItemSelection selection;
  for (int row = 0; const app::ListItem& item : form_.ListView.Items()) {
    if (item.selected) selection.select(list.model()->index(row, 0), list.model()->index(row, list.columnCount() - 1));
    ++row;
  }
  list.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  showingList_ = false;
}

bool MainWindow::ListShowsTheFormsEntries() const {
  const QTableWidget& list = *ui_->ListView;
  const std::vector<app::ListItem>& items = form_.ListView.Items();
  if (static_cast<std::size_t>(list.rowCount()) != items.size()) return false;
  for (int row = 0; const app::ListItem& item : items) {
    const QTableWidgetItem* cell = list.item(row++, kFileNameColumn);
    if (!cell || cell->text() != ToQString(item.fileName)) return false;
  }
  return true;
}

void MainWindow::FillList() {
  QTableWidget& list = *ui_->ListView;
  const std::vector<app::ListItem>& items = form_.ListView.Items();
  list.setRowCount(static_cast<int>(items.size()));
  for (int row = 0; const app::ListItem& item : items) {
    for (int column = 0; const app::ListColumn& listColumn : app::kListColumns) {
      auto* cell = new QTableWidgetItem(ToQString(item.Column(static_cast<std::size_t>(column))));
      cell->setTextAlignment((listColumn.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
      if (column == 0) cell->setIcon(interaction_.Icon(item.imageIndex));
      list.setItem(row, column, cell);
      ++column;
    }
    ++row;
  }
}

void MainWindow::TakeSelection() {
  const std::vector<app::ListItem>& items = form_.ListView.Items();
  if (static_cast<std::size_t>(ui_->ListView->rowCount()) != items.size()) return;
  const QItemSelectionModel& selection = *ui_->ListView->selectionModel();
  std::vector<std::pair<std::string, bool>> states;
  for (int row = 0; const app::ListItem& item : items) {
    states.emplace_back(item.fileName, selection.isRowSelected(row++));
  }
  for (const auto& [fileName, selected] : states) form_.ListView.Select(fileName, selected);
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
