// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The composer ("KOVA E-mail Encrypt") over its form object. While a send
// runs, the SMTP client's waits run this window's events, so the status
// line, the progress bar and "Cancel" stay alive.

#include <QMainWindow>
#include <memory>

#include "app/email/email_form.h"

class QEventLoop;
class QLabel;
class QLineEdit;
class QMenu;

namespace Ui {
class EmailView;
}

namespace voltare::gui {

class EmailView final : public QMainWindow {
  Q_OBJECT

 public:
  EmailView(app::TEmail& form, QWidget* parent);
  ~EmailView() override;

  // Shows the window modally until one of the form's handlers closes it.
  void RunModal();
  // Copies the form's controls into the widgets.
  void Refresh();

 protected:
  // The window's close box is "E&xit".
  void closeEvent(QCloseEvent* event) override;
  // A new width of the time to guess may wrap it onto more lines.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BindControls();
  void BindKeys();
  void BindEdit(QLineEdit& widget, app::Edit& edit);
  void MessageEdited();
  void SelectionChanged();
  void ShowAttachmentMenu(const QPoint& position);
  void ShowStatus();
  void ShowMeter();
  void FitTimeLine();
  void ShowProgress();
  void ShowMessageText();
  void ShowAttachments();
  // Runs a handler of the form, then shows what it changed.
  template <typename Handler>
  void Call(Handler handler);
  void EndWhenClosed();
  // Between the polls of a network wait: runs the window's events.
  void PumpEvents();

  app::TEmail& form_;
  std::unique_ptr<Ui::EmailView> ui_;
  QMenu* popupMenu_ = nullptr;
  QLabel* statusText_ = nullptr;
  QEventLoop* loop_ = nullptr;
  bool refreshing_ = false;
  // Whether the attachment list was on screen at the last refresh.
  bool listShown_ = false;
  // Whether the controls on screen show a running send.
  bool showsSending_ = false;
};

}  // namespace voltare::gui
