// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the desktop program talks to the user: Qt message boxes and file
// dialogs, the main window's status line and progress bar, the desktop
// clipboard, and the views of the modal forms (form_views.h).

#include <QIcon>
#include <QPointer>
#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/shared/interaction.h"
#include "gui/qt_progress.h"

class QAbstractButton;
class QFileInfo;
class QLabel;
class QMimeType;
class QWidget;

namespace voltare::gui {

class QtInteraction : public app::Interaction {
 public:
  // The window that owns the dialogs and shows the status text and progress;
  // until it is attached, texts and positions are only remembered.
  void Attach(QWidget* window, QLabel* statusPanel, QProgressBar* progressBar, QAbstractButton* cancelButton);
  QWidget* Window() const { return window_; }

  app::MessageButton ShowMessage(app::MessageKind kind, std::string_view caption, std::string_view text,
                                 app::MessageButtons buttons) override;
  app::MessageButton ShowQuestion(app::MessageKind kind, std::string_view caption, std::string_view text,
                                  app::EnterAnswers enter) override;
  std::vector<std::filesystem::path> ChooseOpenFiles(const app::OpenDialogRequest& request) override;
  std::optional<std::filesystem::path> ChooseSaveFile(const app::SaveDialogRequest& request) override;
  std::optional<std::filesystem::path> ChooseDirectory(const app::DirectoryRequest& request) override;

  void RunPasswordPrompt(app::TPasswordBox& box) override;
  void RunModal(app::ModalForm& form) override;
  void RunArchiveViewer(app::TPLXArchiver& viewer) override;
  std::unique_ptr<app::Printer> RunPrintDialog() override;
  void ShowHelp(int context) override;

  void SetStatusText(std::string_view text) override;
  std::string StatusText() const override { return status_; }
  platform::Progress& ProgressBar() override { return progress_; }
  // The same bar with its Cancel button, for the window.
  QtProgress& StoppableProgress() { return progress_; }
  void SetBusyCursor(bool busy) override;

  std::optional<std::string> ClipboardText() override;
  void SetClipboardText(std::string_view text) override;
  void ClearClipboard() override;
  void SetSecretClipboardText(std::string_view text) override;

  bool ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) override;
  // Display name, the MIME type's description and an index into Icons().
  app::FileInfo GetFileInfo(const std::filesystem::path& path) override;
  // The small icon of a FileInfo's iconIndex; a null icon for -1.
  QIcon Icon(int index) const;

 private:
  int IconIndex(const QString& mimeName, const QIcon& icon);
  // The type name and icon index of a MIME type, looked up once each.
  std::pair<std::string, int> TypeOf(const QMimeType& mime, const QFileInfo& file);

  QPointer<QWidget> window_;
  QPointer<QLabel> statusPanel_;
  std::string status_;
  QtProgress progress_;
  int busyDepth_ = 0;
  // One icon per MIME type, as a system image list holds one per file type.
  std::vector<QIcon> icons_;
  std::map<QString, int> iconIndexByMime_;
  // For MIME types a file's name alone decides: their type names and icons.
  std::map<QString, std::pair<std::string, int>> typeByMime_;
};

}  // namespace voltare::gui
