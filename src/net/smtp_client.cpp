// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/smtp_client.h"

#include <ctime>
#include <filesystem>

#include "net/attachment_source.h"
#include "net/messages.h"
#include "net/mime_header.h"
#include "net/net_error.h"
#include "net/quoted_printable.h"
#include "platform/file.h"
#include "platform/os_error.h"

namespace voltare::net {
namespace {

constexpr char kTextPlainType[] = "Content-Type: text/plain;                        charset=us-ascii";
constexpr char kMultipartType[] = "Content-Type: multipart/mixed;                   boundary=\"";
// The text part travels quoted-printable: a Base64 line of a long message
// would otherwise be longer than relays pass on unfolded.
constexpr char kTextEncoding[] = "Content-Transfer-Encoding: quoted-printable";
constexpr char kAttachmentType[] = "Content-Type: application/octet-stream;          ";
constexpr char kAttachmentEncoding[] = "Content-Transfer-Encoding: base64";
constexpr char kAttachmentDisposition[] = "Content-Disposition: attachment;                 ";
constexpr char kBoundaryStart[] = "====================54535";
constexpr char kBoundaryEnd[] = "====";

// Replies from this code on refuse a command.
constexpr int kRefused = 400;

// The most continuation lines one reply may have. The longest replies real
// servers give (a greeting banner, a list of extensions) have a few dozen
// lines at most; a hundred leaves room for them and still ends, at once, a
// server that sends them without end. The number is in the message too.
constexpr int kMaxContinuationLines = 100;

bool HasEntries(const std::vector<std::string>& list) { return !list.empty(); }

// An entry of the form "word:address" with a word outside ASCII becomes
// "word <address>" with the word encoded: a reader would take the raw
// form for a group, and its bytes are not 7-bit.
std::string EncodedEntry(const std::string& entry) {
  const std::size_t colon = entry.find(':');
  if (IsPlainAscii(entry) || entry.find('<') != std::string::npos || colon == std::string::npos)
    return EncodeRecipientEntry(entry);
  return EncodeDisplayName(entry.substr(0, colon)) + " <" + TSmtpClient::ExtractAddress(entry) + ">";
}

std::vector<std::string> EncodedEntries(const std::vector<std::string>& entries) {
  std::vector<std::string> encoded;
  for (const std::string& entry : entries) encoded.push_back(EncodedEntry(entry));
  return encoded;
}

// A name in plain ASCII keeps the form the program always wrote; an encoded
// one needs a blank before the address to stay a word of its own.
std::string FromLine(const TMailMessage& m) {
  if (IsPlainAscii(m.FromName)) return "From: " + m.FromName + "<" + m.FromAddress + ">";
  return "From: " + EncodeDisplayName(m.FromName) + " <" + m.FromAddress + ">";
}

void RequireAsciiAddress(const std::string& address) {
  if (!IsPlainAscii(address)) throw NetError(FormatText(messages::kNonAsciiAddress, address));
}

std::string Join(const std::vector<std::string>& entries, std::string_view separator) {
  std::string joined;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) joined += separator;
    joined += entries[i];
  }
  return joined;
}

// The time of day as the system shows it, for a boundary that is new each send.
std::string TimeOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return std::string(text, length);
}

std::string FileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// SMTP transparency: a line that starts with "." gets one more in front.
void AppendDotStuffed(std::string_view lines, std::string& out) {
  bool lineStart = true;
  for (const char c : lines) {
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = c == '\n';
  }
}

// Runs a cleanup at the end of a scope, on every path out.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F action) : action_(std::move(action)) {}
  ~ScopeExit() { action_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F action_;
};

}  // namespace

TSmtpClient::TSmtpClient() { Port = 25; }

std::string TSmtpClient::ExtractAddress(std::string_view entry) {
  if (const auto open = entry.find('<'); open != std::string_view::npos) {
    const auto close = entry.find('>', open + 1);
    return std::string(
        entry.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
  }
  if (const auto colon = entry.find(':'); colon != std::string_view::npos) {
    const auto next = entry.find(':', colon + 1);
    return std::string(
        entry.substr(colon + 1, next == std::string_view::npos ? std::string_view::npos : next - colon - 1));
  }
  return std::string(entry);
}

// --- Connect, Disconnect, Abort ----------------------------------------------

void TSmtpClient::Connect() {
  RequireSingleLine(UserID, "HELO");
  const bool wasBusy = busy_;
  busy_ = true;
  {
    const ScopeExit restoreBusy([this, wasBusy] { busy_ = wasBusy; });
    inMessageData_ = false;
    TSocketClient::Connect();
    try {
      ReadGreeting();
      SayHelo();
    } catch (const ESocketAborted&) {
      // Cancelled: the user wants the wait over, not a QUIT and a new wait.
      TSocketClient::Disconnect();
      throw;
    } catch (...) {
      try {
        Disconnect();
      } catch (...) {
        // The first failure is the one the caller needs to see.
      }
      throw;
    }
  }
  if (OnConnect) OnConnect();
}

void TSmtpClient::ReadGreeting() {
  InactivityLimit = Waits.greeting;
  std::string line = ReadLn();
  SetReplyNumber(ParseReplyCode(line));
  line = SkipContinuationLines(std::move(line));
  if (ReplyNumber() >= kRefused) throw NetError(line);
}

void TSmtpClient::SayHelo() {
  for (int attempt = 1;; ++attempt) {
    SkipContinuationLines(TimedTransaction("HELO " + UserID, Waits.command));
    if (ReplyNumber() < 300) return;
    if (attempt > 1 || !OnAuthenticationFailed) throw NetError(messages::kAuthenticationFailed);
    bool handled = false;
    OnAuthenticationFailed(handled);
    if (!handled) throw NetError(messages::kAuthenticationFailed);
    RequireSingleLine(UserID, "HELO");
  }
}

std::string TSmtpClient::SkipContinuationLines(std::string line) {
  for (int skipped = 0; line.size() >= 4 && (line[0] == ' ' || line[3] == '-'); ++skipped) {
    if (skipped == kMaxContinuationLines) throw NetError(FormatText(messages::kTooManyReplyLines, Host));
    // Lines that come faster than they are read never make ReadLn wait, and
    // so never let the user's Cancel in by themselves.
    HeedCancel();
    line = ReadLn();
  }
  return line;
}

void TSmtpClient::Disconnect() {
  ProcessPendingEvents();  // a server that already left gets no QUIT
  ClearCancel();
  if (!Connected() || inMessageData_) {
    // Nobody to say goodbye to, or a server in the middle of message text
    // that would take QUIT for part of the message.
    inMessageData_ = false;
    TSocketClient::Disconnect();
    return;
  }
  std::string reply;
  try {
    reply = TimedTransaction("QUIT", Waits.command);
  } catch (...) {
    TSocketClient::Disconnect();
    throw;
  }
  const int code = ReplyNumber();
  TSocketClient::Disconnect();
  if (code >= 340) throw NetError(reply);
}

void TSmtpClient::Abort() {
  Report(messages::kLevelBuildingBlock, messages::kStatusCanceling);
  if (CancelRequested()) return;
  if (busy_) {
    // Also before the connection stands, so a lookup or connect can be cancelled.
    RequestCancel();
    return;
  }
  if (!Connected()) return;
  inMessageData_ = false;
  CloseSocket(true);
  DropReceived();
}

// --- SendMail ----------------------------------------------------------------

void TSmtpClient::SendMail() {
  if (busy_) return;
  busy_ = true;
  const ScopeExit clearBusy([this] { busy_ = false; });

  const std::string body = BuildMessage();
  RequireConnection();
  RequireSenderAndRecipient();
  RequireSingleLineFields();  // again: a handler may have filled in fields
  if (OnSendStart) OnSendStart();

  SendEnvelope();
  CheckedTransaction("DATA", Waits.dataCommand);
  inMessageData_ = true;
  InactivityLimit = Waits.dataBlock;
  Write(FinalHeader.Text());
  Write("\r\n\r\n");
  SendStream(body);
  inMessageData_ = false;
  const std::string reply = TimedTransaction(".", Waits.dataEnd);
  if (ReplyNumber() >= kRefused) {
    if (OnFailure) OnFailure();
    throw NetError(reply);
  }

  if (ClearParams) {
    MailMessage.ToAddress.clear();
    MailMessage.ToCarbonCopy.clear();
    MailMessage.ToBlindCarbonCopy.clear();
    MailMessage.Attachments.clear();
  }
  busy_ = false;
  if (OnSuccess) OnSuccess();
}

void TSmtpClient::RequireConnection() {
  ProcessPendingEvents();  // notice a server that left while we were idle
  if (Connected()) return;
  bool handled = false;
  if (OnConnectionRequired) OnConnectionRequired(handled);
  if (!handled || !Connected()) throw NetError(messages::kNotConnected);
}

void TSmtpClient::RequireSenderAndRecipient() {
  const auto missing = [this] {
    if (MailMessage.FromAddress.empty()) return 1;
    if (!HasEntries(MailMessage.ToAddress) && !HasEntries(MailMessage.ToCarbonCopy) &&
        !HasEntries(MailMessage.ToBlindCarbonCopy))
      return 2;
    return 0;
  };
  const int kind = missing();
  if (kind == 0) return;
  bool handled = false;
  if (OnHeaderIncomplete) OnHeaderIncomplete(handled, kind);
  if (!handled || missing() != 0) throw NetError(messages::kIncompleteHeader);
}

void TSmtpClient::SendEnvelope() {
  CheckedTransaction("RSET", Waits.command);
  CheckedTransaction("MAIL FROM:<" + MailMessage.FromAddress + ">", Waits.command);
  for (const auto* list : {&MailMessage.ToAddress, &MailMessage.ToCarbonCopy, &MailMessage.ToBlindCarbonCopy}) {
    for (const std::string& entry : *list) {
      const std::string address = ExtractAddress(entry);
      if (address.empty()) continue;
      TimedTransaction("RCPT TO:<" + address + ">", Waits.command);
      if (ReplyNumber() > 300 && OnRecipientNotFound) OnRecipientNotFound(entry);
    }
  }
}

std::string TSmtpClient::CheckedTransaction(std::string_view command, std::chrono::milliseconds wait) {
  std::string reply = TimedTransaction(command, wait);
  if (ReplyNumber() >= kRefused) throw NetError(reply);
  return reply;
}

std::string TSmtpClient::TimedTransaction(std::string_view command, std::chrono::milliseconds wait) {
  InactivityLimit = wait;
  return Transaction(command);
}

void TSmtpClient::RequireSingleLineFields() const {
  const TMailMessage& m = MailMessage;
  RequireSingleLine(m.FromAddress, "From");
  RequireSingleLine(m.FromName, "From");
  for (const auto& entry : m.ToAddress) RequireSingleLine(entry, "To");
  for (const auto& entry : m.ToCarbonCopy) RequireSingleLine(entry, "CC");
  for (const auto& entry : m.ToBlindCarbonCopy) RequireSingleLine(entry, "BCC");
  RequireSingleLine(m.Subject, "Subject");
  RequireSingleLine(m.LocalProgram, "X-Mailer");
  RequireSingleLine(m.ReplyTo, "Reply-To");
  RequireSingleLine(m.Date, "Date");
  for (const auto& path : m.Attachments) RequireSingleLine(FileNameOf(path), "filename");
}

void TSmtpClient::RequireAsciiAddresses() const {
  const TMailMessage& m = MailMessage;
  RequireAsciiAddress(m.FromAddress);
  for (const auto* list : {&m.ToAddress, &m.ToCarbonCopy, &m.ToBlindCarbonCopy}) {
    for (const std::string& entry : *list) RequireAsciiAddress(ExtractAddress(entry));
  }
  RequireAsciiAddress(ExtractAddress(m.ReplyTo));
}

// --- Building the message ----------------------------------------------------

std::string TSmtpClient::BuildMessage() {
  RequireSingleLineFields();
  RequireAsciiAddresses();
  BuildHeader();
  return BuildBody();
}

void TSmtpClient::BuildHeader() {
  const TMailMessage& m = MailMessage;
  FinalHeader.Clear();
  FinalHeader.Add(FromLine(m));
  if (HasEntries(m.ToAddress)) FinalHeader.Add("To: " + Join(EncodedEntries(m.ToAddress), ","));
  if (HasEntries(m.ToCarbonCopy)) FinalHeader.Add("CC: " + Join(EncodedEntries(m.ToCarbonCopy), ","));
  FinalHeader.SetHeader("Subject", EncodeHeaderText(m.Subject));
  FinalHeader.SetHeader("X-Mailer", EncodeHeaderText(m.LocalProgram));
  FinalHeader.SetHeader("Reply-To", EncodeRecipientEntry(m.ReplyTo));
  FinalHeader.SetHeader("Date", m.Date);
  FinalHeader.Add("Mime-Version: 1.0");
  if (m.Attachments.empty()) {
    FinalHeader.Add(kTextPlainType);
    FinalHeader.Add(kTextEncoding);
  } else {
    boundary_ = kBoundaryStart + TimeOfDay() + kBoundaryEnd;
    FinalHeader.Add(kMultipartType + boundary_ + "\"");
  }
}

std::string TSmtpClient::BuildBody() const {
  std::string out;
  if (MailMessage.Attachments.empty()) {
    AppendBodyLines(out);
    return out;
  }
  out += "--" + boundary_ + "\r\n" + kTextPlainType + "\r\n" + kTextEncoding + "\r\n\r\n";
  AppendBodyLines(out);
  for (const std::string& path : MailMessage.Attachments) AppendAttachment(path, out);
  out += "--" + boundary_ + "--\r\n";
  return out;
}

void TSmtpClient::AppendBodyLines(std::string& out) const {
  // Quoted-printable never starts a line with ".", so no dot-stuffing is needed.
  for (const std::string& entry : MailMessage.Body) out += EncodeQuotedPrintable(entry);
}

void TSmtpClient::AppendAttachment(const std::string& path, std::string& out) const {
  platform::File file = OpenAttachment(path);
  const std::string name = FileNameOf(path);
  out += "--" + boundary_ + "\r\n";
  // Readers that know no RFC 2231 find the ASCII stand-in in the type;
  // the disposition carries only the full name, as some readers take the
  // first of two.
  out += FileNameHeader(kAttachmentType, "name", name, true) + "\r\n";
  out += std::string(kAttachmentEncoding) + "\r\n";
  out += FileNameHeader(kAttachmentDisposition, "filename", name, false) + "\r\n\r\n";

  TAttachmentEncoder encoder;
  encoder.Method = EncodeType;
  if (OnEncodeStart) OnEncodeStart(path);
  std::string lines;
  try {
    encoder.Encode(file, lines);
  } catch (const platform::OsError& e) {
    throw NetError(e.what(), e.error());
  }
  // The UUencode alphabet has "." (a line of 14 bytes starts with it).
  AppendDotStuffed(lines, out);
  if (OnEncodeEnd) OnEncodeEnd(path);
}

}  // namespace voltare::net
