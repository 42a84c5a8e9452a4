// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/email_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeDatabase>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "common/translate.h"
#include "gui/accessible_names.h"
#include "gui/dialog_fit.h"
#include "gui/form_dialog.h"
#include "gui/qt_text.h"
#include "gui/view_binding.h"
#include "ui_email_view.h"

namespace voltare::gui {

namespace {

// The composer's client area: tool bar, fields, message, progress, status.
constexpr QSize kClientSize{491, 377};
// The attachment list's height when it appears: one row of large icons.
constexpr int kListHeight = 76;
constexpr int kAddressChars = 40;
constexpr int kMessageLines = 4;
constexpr int kAttachmentChars = 13;

// Room for an address, a few lines of the message and two lines of an
// attachment's name under its icon, in any font.
void SizeFieldsToFont(Ui::EmailView& ui) {
  ui.Naar->setMinimumWidth(ui.Naar->fontMetrics().averageCharWidth() * kAddressChars);
  ui.Message->setMinimumHeight(ui.Message->fontMetrics().lineSpacing() * kMessageLines);
  const QFontMetrics names = ui.Attachments->fontMetrics();
  const QSize grid = ui.Attachments->gridSize();
  ui.Attachments->setGridSize(grid.expandedTo(QSize(
      names.averageCharWidth() * kAttachmentChars, ui.Attachments->iconSize().height() + 2 * names.lineSpacing() + 4)));
  ui.Attachments->setMinimumHeight(ui.Attachments->gridSize().height() + 2 * ui.Attachments->frameWidth());
  // The list appears later, in a window that no longer grows: its room is kept.
  ui.MessageArea->setMinimumHeight(ui.Message->minimumHeight() + ui.MessageArea->handleWidth() +
                                   ui.Attachments->minimumHeight());
}

QIcon Picture(const char* themeName, const char* file) {
  return QIcon::fromTheme(QString::fromLatin1(themeName), QIcon(QStringLiteral(":/pictures/") + QLatin1String(file)));
}

// The desktop's icon for a file: its type's theme icon, else the file
// icon provider's.
QIcon FileIcon(const QString& path) {
  const QFileInfo file(path);
  const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
  const QIcon fallback = QFileIconProvider().icon(file);
  return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
}

// The memo's text as the form holds it: lines joined by CR LF.
std::string MemoText(const QString& text) {
  std::string joined;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += "\r\n";
    joined += ToUtf8(lines[i]);
  }
  return joined;
}

}  // namespace

EmailView::EmailView(app::TEmail& form, QWidget* parent)
    : QMainWindow(parent), form_(form), ui_(std::make_unique<Ui::EmailView>()) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  ui_->Message->setAccessibleName(QString::fromUtf8(tr_("Message")));
  NameControlsForScreenReaders(*this);
  // A fixed single border with the window menu only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  ui_->SendButton->setIcon(Picture("mail-send", "composer-send.svg"));
  ui_->AttachMentButton->setIcon(Picture("mail-attachment", "composer-attachment.svg"));
  ui_->CancelButton->setIcon(Picture("process-stop", "composer-cancel.svg"));

  // The splitter's handle shows the form's Splitter: it appears with the
  // attachment list.
  ui_->MessageArea->setStretchFactor(0, 1);
  ui_->MessageArea->setStretchFactor(1, 0);
  ui_->MessageArea->handle(1)->setObjectName(QStringLiteral("Splitter"));

  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName(QStringLiteral("PopupMenu"));
  popupMenu_->addAction(ui_->Remove1);
  statusText_ = new QLabel(this);
  statusText_->setTextFormat(Qt::PlainText);
  statusText_->setObjectName(QStringLiteral("StatusText"));
  ui_->StatusBar->addWidget(statusText_, 1);

  BindControls();
  ui_->StrengthTime->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ui_->StrengthTime->installEventFilter(this);
  Refresh();
  ShowProgress();
  const int menuHeight = ui_->MainMenu->sizeHint().height();
  // Today's size, or larger where a larger font needs it; then fixed.
  resize(kClientSize.width(), kClientSize.height() + menuHeight);
  SizeFieldsToFont(*ui_);
  FitToContents(*this);
  setFixedSize(size());
  if (const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  view_binding::FocusControl(*this, form_.Controls(), form_.ActiveControl);
}

EmailView::~EmailView() {
  // The form outlives this window: nothing of it may call back here.
  form_.Emailer.EventPump = nullptr;
  form_.ProgressBar.OnRepaint = nullptr;
  form_.OnStatusChange = nullptr;
  view_binding::WipePasswordEdit(*ui_->Password);
}

void EmailView::BindControls() {
  BindEdit(*ui_->Naar, form_.Naar);
  BindEdit(*ui_->Copy, form_.Copy);
  BindEdit(*ui_->BCopy, form_.BCopy);
  BindEdit(*ui_->Subject, form_.Subject);
  connect(ui_->Password, &QLineEdit::textEdited, this, [this](const QString& text) {
    view_binding::ReadPasswordText(text, form_.Password.text);
    form_.PasswordChange();
    ShowMeter();
  });
  view_binding::ShowPasswordChar(*ui_->Password, form_.Password.passwordChar);
  connect(ui_->Message, &QPlainTextEdit::textChanged, this, &EmailView::MessageEdited);
  connect(ui_->Attachments, &QListWidget::itemSelectionChanged, this, &EmailView::SelectionChanged);
  connect(ui_->Attachments, &QWidget::customContextMenuRequested, this, &EmailView::ShowAttachmentMenu);

  connect(ui_->SendButton, &QAction::triggered, this, [this] { Call(&app::TEmail::SendButtonClick); });
  connect(ui_->AttachMentButton, &QAction::triggered, this, [this] { Call(&app::TEmail::AttachMentButtonClick); });
  connect(ui_->CancelButton, &QAction::triggered, this, [this] { Call(&app::TEmail::CancelButtonClick); });
  connect(ui_->Remove1, &QAction::triggered, this, [this] { Call(&app::TEmail::Remove1Click); });
  connect(ui_->Exit1, &QAction::triggered, this, [this] { Call(&app::TEmail::Exit1Click); });

  BindKeys();

  // The client's waits run the window's events, user input included, so
  // that "Cancel" is heard while the client waits for the server.
  form_.Emailer.EventPump = [this] { PumpEvents(); };
  form_.ProgressBar.OnRepaint = [this] { ShowProgress(); };
  form_.OnStatusChange = [this] { ShowStatus(); };
}

// The composer works without the mouse: Ctrl+Return sends, Alt with the
// underlined letter presses a tool button, and Esc stops a send or, when
// none runs, closes the window as its close box does, asking nothing.
void EmailView::BindKeys() {
  ui_->SendButton->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setObjectName(QStringLiteral("EscapeShortcut"));
  connect(escape, &QShortcut::activated, this,
          [this] { Call(form_.Sending() ? &app::TEmail::CancelButtonClick : &app::TEmail::Exit1Click); });
}

void EmailView::PumpEvents() {
  // "Send" turns grey as soon as a send starts, not only when it ends.
  if (form_.Sending() != showsSending_) {
    showsSending_ = form_.Sending();
    view_binding::ApplyControlStates(*this, form_.Controls());
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EmailView::BindEdit(QLineEdit& widget, app::Edit& edit) {
  connect(&widget, &QLineEdit::textEdited, this, [&edit](const QString& text) { edit.text = ToUtf8(text); });
}

void EmailView::MessageEdited() {
  if (refreshing_) return;
  form_.Message.SetText(MemoText(ui_->Message->toPlainText()));
}

void EmailView::SelectionChanged() {
  if (refreshing_) return;
  std::vector<app::AttachmentItem>& items = form_.Attachments.items;
  for (int row = 0; row < ui_->Attachments->count() && row < static_cast<int>(items.size()); ++row) {
    items[static_cast<std::size_t>(row)].selected = ui_->Attachments->item(row)->isSelected();
  }
}

void EmailView::ShowAttachmentMenu(const QPoint& position) {
  // A right click selects the attachment under the pointer, as the list's
  // own click would.
  if (QListWidgetItem* item = ui_->Attachments->itemAt(position)) ui_->Attachments->setCurrentItem(item);
  popupMenu_->popup(ui_->Attachments->viewport()->mapToGlobal(position));
}

template <typename Handler>
void EmailView::Call(Handler handler) {
  form_.ActiveControl = nullptr;
  (form_.*handler)();
  Refresh();
  view_binding::FocusControl(*this, form_.Controls(), form_.ActiveControl);
  EndWhenClosed();
}

void EmailView::EndWhenClosed() {
  if (form_.IsShowing() || loop_ == nullptr) return;
  // Closed in the middle of a send: the send must end before the window can.
  if (form_.Sending()) form_.CancelButtonClick();
  loop_->quit();
}

void EmailView::Refresh() {
  refreshing_ = true;
  setWindowTitle(ToQString(form_.Caption));
  ui_->SendButton->setText(ToQString(form_.SendButton.caption));
  ui_->AttachMentButton->setText(ToQString(form_.AttachMentButton.caption));
  ui_->CancelButton->setText(ToQString(form_.CancelButton.caption));
  // A tool button shows an action's icon text, and its '&' gives the mnemonic.
  // Each is a text of its own so that a language can pick letters that do not
  // clash with one another or with the menus.
  ui_->SendButton->setIconText(ToQString(tr_("&Send")));
  ui_->AttachMentButton->setIconText(ToQString(tr_("&Attachment")));
  ui_->CancelButton->setIconText(ToQString(tr_("&Cancel")));
  view_binding::ApplyControlStates(*this, form_.Controls());
  showsSending_ = form_.Sending();
  view_binding::ShowEditText(*ui_->Naar, form_.Naar.text);
  view_binding::ShowEditText(*ui_->Copy, form_.Copy.text);
  view_binding::ShowEditText(*ui_->BCopy, form_.BCopy.text);
  view_binding::ShowEditText(*ui_->Subject, form_.Subject.text);
  view_binding::ShowPasswordText(*ui_->Password, form_.Password.text);
  ShowMessageText();
  ShowAttachments();
  // The list comes in low, leaving the message most of the room.
  if (form_.Attachments.visible && !listShown_) {
    ui_->MessageArea->setSizes({1000, std::max(kListHeight, ui_->Attachments->minimumHeight())});
  }
  listShown_ = form_.Attachments.visible;
  ShowStatus();
  ShowMeter();
  refreshing_ = false;
}

void EmailView::ShowMeter() {
  const app::PasswordMeter& meter = form_.Meter;
  ui_->StrengthStep->setText(ToQString(meter.Step.caption));
  ui_->StrengthTime->setText(ToQString(meter.TimeLine.caption));
  ui_->StrengthBar->setValue(meter.level);
  FitTimeLine();
}

// The panel above the message does not grow for a wrapped label by itself:
// the time line gets the lines its text needs at the label's width, and at
// least three: two at the window's usual width, and one for languages whose
// words run longer, so that the message below does not move while the user
// types.
void EmailView::FitTimeLine() {
  QLabel& time = *ui_->StrengthTime;
  const int threeLines = 3 * time.fontMetrics().lineSpacing() + 2;
  // Before the window is laid out the label has no width of its own yet.
  const int needed = time.isVisible() ? time.heightForWidth(time.width()) : 0;
  if (time.minimumHeight() == std::max(threeLines, needed)) return;
  time.setMinimumHeight(std::max(threeLines, needed));
  // The window keeps its size once shown: it grows, and never shrinks while
  // the user types, where a longer text needs another line.
  if (!isVisible()) return;
  centralWidget()->layout()->activate();
  const int wanted = minimumSizeHint().height();
  if (wanted > height()) setFixedHeight(wanted);
}

// The label has its width only once the shown window is laid out.
void EmailView::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  QTimer::singleShot(0, this, [this] { FitTimeLine(); });
}

bool EmailView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->StrengthTime && event->type() == QEvent::Resize) FitTimeLine();
  return QMainWindow::eventFilter(watched, event);
}

void EmailView::ShowMessageText() {
  if (MemoText(ui_->Message->toPlainText()) == form_.Message.Text()) return;
  QStringList lines;
  for (const std::string& line : form_.Message.lines) lines << ToQString(line);
  ui_->Message->setPlainText(lines.join(QLatin1Char('\n')));
}

void EmailView::ShowAttachments() {
  QListWidget& list = *ui_->Attachments;
  const std::vector<app::AttachmentItem>& items = form_.Attachments.items;
  bool same = list.count() == static_cast<int>(items.size());
  for (int row = 0; same && row < list.count(); ++row) {
    same = list.item(row)->text() == ToQString(items[static_cast<std::size_t>(row)].caption);
  }
  if (!same) {
    list.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const QString path = i < form_.AttachmentPaths.size() ? ToQString(form_.AttachmentPaths[i]) : QString();
      auto* item = new QListWidgetItem(FileIcon(path), ToQString(items[i].caption), &list);
      // A tool tip that looks like markup is shown as markup: escape the name.
      item->setToolTip(Qt::convertFromPlainText(path, Qt::WhiteSpaceNoWrap));
    }
  }
  for (int row = 0; row < list.count(); ++row) {
    list.item(row)->setSelected(items[static_cast<std::size_t>(row)].selected);
  }
}

void EmailView::ShowStatus() { statusText_->setText(ToQString(form_.StatusBar.caption)); }

void EmailView::ShowProgress() {
  const app::FormProgressBar& progress = form_.ProgressBar;
  // QProgressBar counts in int; the body's bytes are scaled to a thousandth.
  const std::int64_t max = std::max<std::int64_t>(progress.max(), 1);
  ui_->ProgressBar->setRange(0, 1000);
  ui_->ProgressBar->setValue(static_cast<int>(std::clamp<std::int64_t>(progress.position(), 0, max) * 1000 / max));
  ui_->ProgressBar->repaint();
}

void EmailView::closeEvent(QCloseEvent* event) {
  if (form_.IsShowing()) Call(&app::TEmail::Exit1Click);
  if (form_.IsShowing()) event->ignore();
  else event->accept();
}

void EmailView::RunModal() {
  if (!form_.IsShowing()) return;
  QEventLoop loop;
  loop_ = &loop;
  show();
  loop.exec();
  loop_ = nullptr;
  hide();
}

}  // namespace voltare::gui
