// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_interaction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

#include "app/shared/utf8_text.h"
#include "common/translate.h"
#include "crypto/burn.h"
#include "gui/file_dialog_filters.h"
#include "gui/form_views.h"
#include "gui/qt_text.h"

namespace voltare::gui {

namespace {

QMessageBox::Icon IconOf(app::MessageKind kind) {
  switch (kind) {
    case app::MessageKind::Warning:
      return QMessageBox::Warning;
    case app::MessageKind::Error:
      return QMessageBox::Critical;
    case app::MessageKind::Information:
      return QMessageBox::Information;
    case app::MessageKind::Confirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// The buttons in the user's language, from the program's own catalogue.
void NameButtons(QMessageBox& box) {
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setText(QString::fromUtf8(tr_("OK")));
  if (QAbstractButton* yes = box.button(QMessageBox::Yes)) yes->setText(QString::fromUtf8(tr_("&Yes")));
  if (QAbstractButton* no = box.button(QMessageBox::No)) no->setText(QString::fromUtf8(tr_("&No")));
}

QString PathText(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

std::filesystem::path PathOf(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace

void QtInteraction::Attach(QWidget* window, QLabel* statusPanel, QProgressBar* progressBar,
                           QAbstractButton* cancelButton) {
  window_ = window;
  statusPanel_ = statusPanel;
  progress_.Attach(progressBar, cancelButton);
  SetStatusText(status_);
}

// ---------------------------------------------------------------------------
// Messages and dialogs

app::MessageButton QtInteraction::ShowMessage(app::MessageKind kind, std::string_view caption, std::string_view text,
                                              app::MessageButtons buttons) {
  if (buttons == app::MessageButtons::YesNo) return ShowQuestion(kind, caption, text, app::EnterAnswers::Yes);
  QMessageBox box(IconOf(kind), ToQString(caption), ToQString(text), QMessageBox::Ok, window_);
  NameButtons(box);
  // The text quotes file names and a server's words: never markup or links.
  box.setTextFormat(Qt::PlainText);
  box.exec();
  return app::MessageButton::Ok;
}

app::MessageButton QtInteraction::ShowQuestion(app::MessageKind kind, std::string_view caption, std::string_view text,
                                               app::EnterAnswers enter) {
  QMessageBox box(IconOf(kind), ToQString(caption), ToQString(text), QMessageBox::Yes | QMessageBox::No, window_);
  NameButtons(box);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(enter == app::EnterAnswers::Yes ? QMessageBox::Yes : QMessageBox::No);
  // Closing the box by the window manager answers No, the safe choice.
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes ? app::MessageButton::Yes : app::MessageButton::No;
}

std::vector<std::filesystem::path> QtInteraction::ChooseOpenFiles(const app::OpenDialogRequest& request) {
  QFileDialog dialog(window_, ToQString(request.title));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode((request.options & app::OpenAllowMultiSelect) != 0 ? QFileDialog::ExistingFiles
                                                                        : QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFilters(request.filter));
  std::vector<std::filesystem::path> paths;
  if (dialog.exec() != QDialog::Accepted) return paths;
  for (const QString& file : dialog.selectedFiles()) paths.push_back(PathOf(file));
  return paths;
}

std::optional<std::filesystem::path> QtInteraction::ChooseSaveFile(const app::SaveDialogRequest& request) {
  QFileDialog dialog(window_, ToQString(request.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(NameFilters(request.filter));
  // The commands ask themselves before they replace a file.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return PathOf(dialog.selectedFiles().front());
}

std::optional<std::filesystem::path> QtInteraction::ChooseDirectory(const app::DirectoryRequest& request) {
  const QString chosen =
      QFileDialog::getExistingDirectory(window_, ToQString(request.caption), PathText(request.start));
  if (chosen.isEmpty()) return std::nullopt;
  return PathOf(chosen);
}

// ---------------------------------------------------------------------------
// The program's other windows

void QtInteraction::RunPasswordPrompt(app::TPasswordBox& box) { RunPasswordPromptView(box, window_); }

void QtInteraction::RunModal(app::ModalForm& form) {
  // A form without a view yet shows nothing; ShowModal closes it again.
  RunFormView(form, window_);
}

void QtInteraction::RunArchiveViewer(app::TPLXArchiver& viewer) { RunArchiveViewerView(viewer, window_); }

std::unique_ptr<app::Printer> QtInteraction::RunPrintDialog() { return RunPrintDialogView(window_); }

void QtInteraction::ShowHelp(int context) { ShowHelpView(context, window_); }

// ---------------------------------------------------------------------------
// Status, progress, cursor

void QtInteraction::SetStatusText(std::string_view text) {
  status_ = std::string(text);  // `text` may be status_ itself: use only the copy from here
  if (statusPanel_) {
    statusPanel_->setText(ToQString(status_));
    statusPanel_->repaint();
  }
}

void QtInteraction::SetBusyCursor(bool busy) {
  // Commands nest (a batch wipe inside a batch encryption): the cursor goes
  // back only when the outermost one ends. That span is a file step: Cancel
  // is offered for as long, so the cursor says the window still listens.
  if (busy) {
    if (busyDepth_++ == 0) {
      QApplication::setOverrideCursor(Qt::BusyCursor);
      progress_.SetStepRunning(true);
    }
  } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
    QApplication::restoreOverrideCursor();
    progress_.SetStepRunning(false);
  }
}

// ---------------------------------------------------------------------------
// Clipboard and desktop

std::optional<std::string> QtInteraction::ClipboardText() {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty()) return std::nullopt;
  return ToUtf8(text);
}

void QtInteraction::SetClipboardText(std::string_view text) {
  // The desktop clipboard holds text: bytes that are not UTF-8 become U+FFFD
  // rather than being refused.
  std::string repaired = app::ValidUtf8(text);
  QGuiApplication::clipboard()->setText(ToQString(repaired));
  crypto::Burn(repaired);
}

void QtInteraction::SetSecretClipboardText(std::string_view text) {
  std::string repaired = app::ValidUtf8(text);
  auto* data = new QMimeData;
  data->setText(ToQString(repaired));
  crypto::Burn(repaired);
  // The hint clipboard managers read to leave an entry out of their history.
  data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
  QGuiApplication::clipboard()->setMimeData(data);  // the clipboard owns it from here
}

void QtInteraction::ClearClipboard() { QGuiApplication::clipboard()->clear(); }

bool QtInteraction::ShellOpen(std::string_view target, const std::filesystem::path&) {
  // The desktop's handler starts in its own directory; an address opens as
  // itself, anything else as a local file.
  const QString text = ToQString(target);
  const QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  return QDesktopServices::openUrl(url);
}

// A file whose name matches exactly one MIME type is of that type whatever
// it holds, so the description and icon found for one such file hold for all
// (the list asks for thousands at a time). Other names need a look inside.
app::FileInfo QtInteraction::GetFileInfo(const std::filesystem::path& path) {
  const QFileInfo file(PathText(path));
  const QMimeDatabase types;
  const QList<QMimeType> byName = types.mimeTypesForFileName(file.fileName());
  std::pair<std::string, int> type;
  if (byName.size() == 1) {
    auto known = typeByMime_.find(byName.front().name());
    if (known == typeByMime_.end())
      known = typeByMime_.emplace(byName.front().name(), TypeOf(byName.front(), file)).first;
    type = known->second;
  } else {
    type = TypeOf(types.mimeTypeForFile(file), file);
  }
  app::FileInfo info = app::PlainFileInfo(path);
  if (!type.first.empty()) info.typeName = type.first;
  info.iconIndex = type.second;
  return info;
}

// An empty type name where the type has no description.
std::pair<std::string, int> QtInteraction::TypeOf(const QMimeType& mime, const QFileInfo& file) {
  const QIcon fallback = QFileIconProvider().icon(file);
  const QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), fallback));
  return {ToUtf8(mime.comment()), IconIndex(mime.name(), icon)};
}

QIcon QtInteraction::Icon(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= icons_.size()) return {};
  return icons_[static_cast<std::size_t>(index)];
}

int QtInteraction::IconIndex(const QString& mimeName, const QIcon& icon) {
  if (const auto found = iconIndexByMime_.find(mimeName); found != iconIndexByMime_.end()) return found->second;
  icons_.push_back(icon);
  const int index = static_cast<int>(icons_.size() - 1);
  iconIndexByMime_.emplace(mimeName, index);
  return index;
}

}  // namespace voltare::gui
