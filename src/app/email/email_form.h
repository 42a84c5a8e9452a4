// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The composer ("KOVA E-mail Encrypt"): recipients, subject, a password and
// a message text. The text goes out encrypted under the password as one
// line of Base64, followed by a footer in clear; attachments go out as they
// are, and the user is told so before the send.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "app/shared/password_meter.h"
#include "common/translate.h"
#include "net/smtp_client.h"
#include "platform/progress.h"
#include "platform/settings_store.h"

namespace voltare::app {

// A multi-line text control: its lines, without their line breaks.
struct Memo : Control {
  std::vector<std::string> lines;

  // The lines joined by CR LF, without a line break after the last one.
  std::string Text() const;
  // Splits a text at its line breaks (CR LF, LF or CR).
  void SetText(std::string_view text);
};

// One attachment as the list shows it.
struct AttachmentItem {
  std::string caption;  // the file name without its directory
  int imageIndex = -1;  // the desktop's icon for the file
  bool selected = false;
};

struct AttachmentListView : Control {
  std::vector<AttachmentItem> items;
  // The first selected item's index, if any.
  std::optional<std::size_t> SelectedIndex() const;
};

// The composer's own progress bar. A view that must show a new position at
// once sets OnRepaint.
class FormProgressBar final : public platform::Progress {
 public:
  void setMax(std::int64_t max) override { max_ = max; }
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override {
    if (OnRepaint) OnRepaint();
  }
  std::int64_t max() const noexcept { return max_; }

  std::function<void()> OnRepaint;

 private:
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
};

class TEmail : public ModalForm {
 public:
  explicit TEmail(Interaction& ui);
  ~TEmail() override;
  TEmail(const TEmail&) = delete;
  TEmail& operator=(const TEmail&) = delete;

  std::string_view FormName() const override { return "Email"; }

  // Handlers.
  void FormShow() override;
  // Forgets the attachments, the password and the text; closing is always allowed.
  bool FormCloseQuery();
  void SendButtonClick();
  void AttachMentButtonClick();
  void Remove1Click();
  void CancelButtonClick();
  void Exit1Click();
  void EmailerConnect();
  void EmailerDisconnect();
  void EmailerPacketSent();
  void EmailerSuccess();
  // The password's text changed: the meter follows it.
  void PasswordChange();

  // Every control below, by its member name (the progress bar is not a
  // Control: the view reads it through OnRepaint).
  std::vector<NamedControl> Controls();

  // True from the press of "Send" until that send has ended.
  bool Sending() const noexcept { return sending_; }

  // Controls.
  std::string Caption;
  Button SendButton{tr_("Send")};
  Button AttachMentButton{tr_("Attachment")};
  Button CancelButton{tr_("Cancel")};
  Edit Naar;
  Edit Copy;
  Edit BCopy;
  Edit Subject;
  PasswordEdit Password;
  // How long the password would hold against guessing, as it is typed.
  PasswordMeter Meter;
  Memo Message;
  Control Splitter;
  AttachmentListView Attachments;
  MenuItem Remove1{tr_("&Remove")};
  MenuItem Exit1{tr_("E&xit")};
  FormProgressBar ProgressBar;
  Label StatusBar;
  OpenDialogRequest OpenDialog;
  // The control that has the input focus.
  const Control* ActiveControl = nullptr;
  // A view that shows the status line sets this; it runs after each change.
  std::function<void()> OnStatusChange;

  // The SMTP client. A view sets its EventPump, so that the window (and its
  // "Cancel") stays alive while the client waits for the network.
  net::TSmtpClient Emailer;

  // The full path of each attachment, in the order of Attachments.items.
  std::vector<std::string> AttachmentPaths;
  // Attached when the composer next opens (voltare --mail FILE...).
  std::vector<std::string> StartAttachments;

 private:
  // Marks a send as running and keeps "Send" disabled until it ends.
  class SendInProgress;

  void Send();
  void Attach(const std::filesystem::path& path);
  void ReadSettingsIntoEmailer(const platform::SettingsKey& key);
  // The message to send: the text encrypted, in the sealed form when `sealed`.
  void FillMessage(bool sealed);
  // The sealed line of `text`, with "Deriving the key..." shown meanwhile.
  std::string SealedBody(std::string_view text);
  void ReportSendFailure();
  void SetStatus(std::string_view text);
  void ResetProgress();
  void ForgetPassword();
  void ForgetMessage();
  void CloseWindow();

  Interaction& ui_;
  std::optional<BusyCursor> busy_;
  bool sending_ = false;
};

// The clear text that follows the encrypted body of every message: for a
// sealed body, it names the first release that opens it.
std::string MessageFooter();
std::string SealedMessageFooter();

}  // namespace voltare::app
