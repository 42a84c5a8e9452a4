// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/email/email_form.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

#include "app/email/email_messages.h"
#include "app/email/email_settings.h"
#include "app/email/net_failure.h"
#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"
#include "app/shared/sealed_texts.h"
#include "crypto/burn.h"
#include "net/attachment_source.h"
#include "net/messages.h"
#include "net/net_error.h"
#include "platform/file.h"
#include "platform/settings_store.h"
#include "transforms/sealed_key.h"
#include "transforms/text_crypt.h"

namespace voltare::app {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Controls

std::string Memo::Text() const {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

void Memo::SetText(std::string_view text) {
  lines.clear();
  if (text.empty()) return;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back(std::exchange(line, {}));
  }
  lines.push_back(std::move(line));
}

std::optional<std::size_t> AttachmentListView::SelectedIndex() const {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].selected) return i;
  }
  return std::nullopt;
}

std::string MessageFooter() {
  return std::string(email_messages::kFooterText) + std::string(email_messages::kDownloadAddress);
}

std::string SealedMessageFooter() {
  return std::string(email_messages::kSealedFooterText) + std::string(email_messages::kDownloadAddress);
}

namespace {

// Inside a catch block: true when the failure leaves nothing to say to the
// server (the user cancelled a wait, or the server fell silent).
bool ServerUnresponsive() noexcept {
  try {
    throw;
  } catch (const net::ESocketAborted&) {
    return true;
  } catch (const net::NetError& failure) {
    const std::string_view text = failure.what();
    return text == net::messages::kReadlnTimedOut || text == net::messages::kSendTimedOut;
  } catch (...) {
    return false;
  }
}

// A regular file, or a stream (a named pipe, a shell's <(...)) that is read
// to its end when the message is built.
bool CanBeRead(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  return fs::is_regular_file(status) || fs::is_fifo(status);
}

}  // namespace

// ---------------------------------------------------------------------------

class TEmail::SendInProgress {
 public:
  explicit SendInProgress(TEmail& form) : form_(form) {
    form_.sending_ = true;
    form_.SendButton.enabled = false;
  }
  ~SendInProgress() {
    form_.sending_ = false;
    form_.SendButton.enabled = true;
  }
  SendInProgress(const SendInProgress&) = delete;
  SendInProgress& operator=(const SendInProgress&) = delete;

 private:
  TEmail& form_;
};

TEmail::TEmail(Interaction& ui)
    : Caption(email_messages::kComposerCaption), StatusBar{std::string(email_messages::kNotConnected)}, ui_(ui) {
  Password.passwordChar = '*';
  Splitter.visible = false;
  Attachments.visible = false;
  OpenDialog.title = email_messages::kAttachmentTitle;
  OpenDialog.filter = email_messages::kAllFilesFilter;
  OpenDialog.options = OpenAllowMultiSelect | OpenHideReadOnly;

  Emailer.Port = 25;
  Emailer.ReportLevel = 0;
  Emailer.EncodeType = net::encMime;
  Emailer.ClearParams = true;
  Emailer.SubType = net::stPlain;
  Emailer.TimeOut = 0;
  Emailer.MailMessage.LocalProgram = std::string(email_messages::kMailerPrefix) + std::string(messages::kHomePage);
  Emailer.OnConnect = [this] { EmailerConnect(); };
  Emailer.OnDisconnect = [this] { EmailerDisconnect(); };
  Emailer.OnPacketSent = [this] { EmailerPacketSent(); };
  Emailer.OnSuccess = [this] { EmailerSuccess(); };
}

TEmail::~TEmail() {
  ForgetPassword();
  ForgetMessage();
}

std::vector<NamedControl> TEmail::Controls() {
  return {{"SendButton", &SendButton},
          {"AttachMentButton", &AttachMentButton},
          {"CancelButton", &CancelButton},
          {"Naar", &Naar},
          {"Copy", &Copy},
          {"BCopy", &BCopy},
          {"Subject", &Subject},
          {"Password", &Password},
          {"Message", &Message},
          {"Splitter", &Splitter},
          {"Attachments", &Attachments},
          {"Remove1", &Remove1},
          {"Exit1", &Exit1},
          {"StatusBar", &StatusBar},
          {"StrengthStep", &Meter.Step},
          {"StrengthBar", &Meter.Bar},
          {"StrengthTime", &Meter.TimeLine}};
}

void TEmail::FormShow() {
  AttachmentPaths.clear();
  Naar.text.clear();
  Copy.text.clear();
  BCopy.text.clear();
  Subject.text.clear();
  ForgetPassword();
  ForgetMessage();
  Attachments.items.clear();
  Splitter.visible = false;
  Attachments.visible = false;
  for (const std::string& path : std::exchange(StartAttachments, {})) Attach(path);
  // The message goes out under the password, protected as texts are.
  Meter.Start(TextProtectionAlgorithm(RunOverrides{}));
  ActiveControl = &Message;
}

bool TEmail::FormCloseQuery() {
  AttachmentPaths.clear();
  // Nothing entered here is kept: not the password, not the clear text.
  ForgetPassword();
  ForgetMessage();
  return true;
}

void TEmail::Exit1Click() { CloseWindow(); }

void TEmail::CloseWindow() {
  if (FormCloseQuery()) Close();
}

// ---------------------------------------------------------------------------
// Attachments

void TEmail::AttachMentButtonClick() {
  const std::vector<fs::path> chosen = ui_.ChooseOpenFiles(OpenDialog);
  for (const fs::path& path : chosen) Attach(path);
}

void TEmail::Attach(const fs::path& path) {
  if (const std::string refusal = net::AttachmentRefusal(path); !refusal.empty()) {
    ui_.Error(refusal);
    return;
  }
  if (!CanBeRead(path)) return;
  Splitter.visible = true;
  Attachments.visible = true;
  const std::string full = path.string();
  if (std::find(AttachmentPaths.begin(), AttachmentPaths.end(), full) != AttachmentPaths.end()) return;
  Attachments.items.push_back({path.filename().string(), ui_.GetFileInfo(path).iconIndex, false});
  AttachmentPaths.push_back(full);
}

void TEmail::Remove1Click() {
  const std::optional<std::size_t> index = Attachments.SelectedIndex();
  if (!index) return;
  Attachments.items.erase(Attachments.items.begin() + static_cast<std::ptrdiff_t>(*index));
  if (*index < AttachmentPaths.size()) {
    AttachmentPaths.erase(AttachmentPaths.begin() + static_cast<std::ptrdiff_t>(*index));
  }
  if (Attachments.items.empty()) {
    Splitter.visible = false;
    Attachments.visible = false;
  }
}

// ---------------------------------------------------------------------------
// Sending

void TEmail::SendButtonClick() {
  // The client's waits let the window run, so "Send" can be pressed again
  // while a send is under way; that press must not disturb the running send.
  if (sending_) return;
  if (Naar.text.empty()) {
    ui_.Error(email_messages::kNoRecipient);
    ActiveControl = &Naar;
    return;
  }
  if (Password.text.empty()) {
    ui_.Error(email_messages::kNoPassword);
    ActiveControl = &Password;
    return;
  }
  const SendInProgress running(*this);
  try {
    Send();
  } catch (...) {
    ReportSendFailure();
  }
}

void TEmail::Send() {
  std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(platform::kEmailSettingsKey);
  if (!key) {
    ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
    return;
  }
  ReadSettingsIntoEmailer(*key);
  key.reset();
  // The composer has no algorithm of its own: it follows the files' setting.
  const std::optional<bool> sealed = TextsAreSealed(ui_, RunOverrides{});
  if (!sealed) return;
  busy_.emplace(ui_);
  FillMessage(*sealed);
  Emailer.MailMessage.Attachments.clear();
  if (!AttachmentPaths.empty()) {
    Emailer.MailMessage.Attachments = AttachmentPaths;
    ui_.Information(email_messages::kAttachmentsNotEncrypted);
  }
  Emailer.Connect();
  Emailer.SendMail();  // ends in EmailerSuccess when the server took the message
  busy_.reset();
}

void TEmail::ReadSettingsIntoEmailer(const platform::SettingsKey& key) {
  Emailer.UserID = ReadEmailValue(key, kUsernameValue);
  Emailer.Host = ReadEmailValue(key, kServerValue);
  Emailer.Port = platform::ParseInteger(ReadEmailValue(key, kPortValue));
  Emailer.MailMessage.FromAddress = ReadEmailValue(key, kAddressValue);
  Emailer.MailMessage.FromName = ReadEmailValue(key, kNameValue);
}

void TEmail::FillMessage(bool sealed) {
  net::TMailMessage& mail = Emailer.MailMessage;
  // Each field is one entry as typed, even an empty one; the client takes
  // the address out of each entry and skips empty ones.
  mail.ToAddress = {Naar.text};
  mail.ToCarbonCopy = {Copy.text};
  mail.ToBlindCarbonCopy = {BCopy.text};
  mail.Subject = Subject.text;

  std::string plaintext = Message.Text();
  const crypto::BurnOnExit burnPlaintext(plaintext);
  std::string encrypted = sealed ? SealedBody(plaintext) : transforms::BlowfishEncryptString(plaintext, Password.text);
  mail.Body.clear();
  mail.Body.push_back(std::move(encrypted));
  mail.Body.push_back(sealed ? SealedMessageFooter() : MessageFooter());
}

std::string TEmail::SealedBody(std::string_view text) {
  if (text.empty()) return {};     // as the compatible form: no text, an empty line
  transforms::SealedKeyRing ring;  // a fresh salt for every message
  const std::string shown = StatusBar.caption;
  ring.Observe([this, shown](bool deriving) { SetStatus(deriving ? messages::kDerivingKeyStatus.str() : shown); },
               &ProgressBar);
  std::string line = transforms::SealText(text, ring.ForEncryption(Password.text));
  ResetProgress();
  return line;
}

void TEmail::EmailerSuccess() {
  busy_.reset();
  try {
    Emailer.Disconnect();
  } catch (...) {
    // The server has the message; a failed goodbye does not undo that, and
    // reporting the send as failed would only invite sending it twice.
  }
  ui_.Information(email_messages::kSent);
  ResetProgress();
  CloseWindow();
}

void TEmail::ReportSendFailure() {
  const FailureReport failure = CurrentFailure();
  const bool unresponsive = ServerUnresponsive();
  if (Emailer.Connected()) {
    try {
      // A cancelled or silent conversation is dropped at once: a QUIT would
      // only start another wait on the same server.
      if (unresponsive) Emailer.TSocketClient::Disconnect();
      else Emailer.Disconnect();
    } catch (...) {
      // The first failure is the one the user needs to see.
    }
  }
  busy_.reset();
  ui_.Error(platform::ErrorFormat(failure.code, failure.text));
}

void TEmail::CancelButtonClick() {
  Emailer.Abort();
  ResetProgress();
}

// ---------------------------------------------------------------------------
// Events of the SMTP client

void TEmail::EmailerConnect() { SetStatus(email_messages::kConnected); }

void TEmail::EmailerDisconnect() {
  ResetProgress();
  SetStatus(email_messages::kNotConnected);
}

void TEmail::EmailerPacketSent() {
  ProgressBar.setMax(static_cast<std::int64_t>(Emailer.BytesTotal()));
  ProgressBar.setPosition(static_cast<std::int64_t>(Emailer.BytesSent()));
  ProgressBar.repaint();
}

// ---------------------------------------------------------------------------

void TEmail::SetStatus(std::string_view text) {
  StatusBar.caption = std::string(text);
  if (OnStatusChange) OnStatusChange();
}

void TEmail::ResetProgress() {
  ProgressBar.setPosition(0);
  ProgressBar.repaint();
}

void TEmail::ForgetPassword() {
  Password.text.clear();
  Meter.Follow({});
}

void TEmail::PasswordChange() { Meter.Follow(Password.text); }

void TEmail::ForgetMessage() {
  for (std::string& line : Message.lines) crypto::Burn(line);
  Message.lines.clear();
}

}  // namespace voltare::app
