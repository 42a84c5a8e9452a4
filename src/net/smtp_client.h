// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TSmtpClient: sends one message at a time over an SMTP connection (HELO,
// RSET, MAIL, RCPT, DATA, QUIT), with attachments as a MIME multipart message.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "net/attachment_encoder.h"
#include "net/header_list.h"
#include "net/mail_message.h"
#include "net/socket_client.h"

namespace voltare::net {

// How long each step of the conversation waits for the server, without a
// byte moving, before it fails: the waits of RFC 5321 section 4.5.3.2. A slow
// server that does accept the message must not be reported as a failure,
// which would only make people send twice. Cancel ends any of them at once.
struct SmtpWaits {
  std::chrono::milliseconds greeting = std::chrono::minutes(5);
  std::chrono::milliseconds command = std::chrono::minutes(5);  // HELO, RSET, MAIL, RCPT, QUIT
  std::chrono::milliseconds dataCommand = std::chrono::minutes(2);
  std::chrono::milliseconds dataBlock = std::chrono::minutes(3);  // each piece of the message handed over
  std::chrono::milliseconds dataEnd = std::chrono::minutes(10);   // the reply to the final "."

  // Every wait the same (tests shorten them all).
  static SmtpWaits AllOf(std::chrono::milliseconds limit) { return {limit, limit, limit, limit, limit}; }
};

// Stored only: the message header always says text/plain.
enum TSubType { stPlain, stEnriched, stSgml, stTabSeparated, stHtml };

class TSmtpClient : public TSocketClient {
 public:
  TSmtpClient();

  // The text sent after "HELO ".
  std::string UserID;
  TMailMessage MailMessage;
  // The header lines of the message being sent; rebuilt by every SendMail.
  THeaderList FinalHeader;
  TEncodeType EncodeType = encMime;
  // Empty the recipients and attachments after a successful send.
  bool ClearParams = true;
  TSubType SubType = stPlain;
  SmtpWaits Waits;

  // The server accepted HELO.
  std::function<void()> OnConnect;
  // SendMail found no connection; a handler connects and sets handled.
  std::function<void(bool& handled)> OnConnectionRequired;
  // kind 1: no sender, kind 2: no recipient; a handler fills in and sets handled.
  std::function<void(bool& handled, int kind)> OnHeaderIncomplete;
  // The server refused this recipient entry; the send goes on.
  std::function<void(std::string_view recipient)> OnRecipientNotFound;
  std::function<void()> OnSendStart;
  std::function<void()> OnSuccess;
  // The server refused the message after its end mark.
  std::function<void()> OnFailure;
  std::function<void(std::string_view fileName)> OnEncodeStart;
  std::function<void(std::string_view fileName)> OnEncodeEnd;
  // The server refused HELO; a handler may change UserID and set handled.
  std::function<void(bool& handled)> OnAuthenticationFailed;
  // Declared for completeness; nothing raises them.
  std::function<void(std::string_view text)> OnAttachmentNotFound;
  std::function<void(std::string_view text)> OnMailListReturn;

  // Connects, reads the greeting and says HELO; raises OnConnect.
  void Connect() override;
  // Sends QUIT and closes the connection.
  void Disconnect() override;
  // Cancels a running Connect or SendMail; closes an idle connection.
  void Abort() override;
  // Builds the message from MailMessage and sends it. Does nothing while Busy.
  void SendMail();

  bool Busy() const noexcept { return busy_; }
  const std::string& Boundary() const noexcept { return boundary_; }

  // The bare address in a recipient entry ("Name <a@b>", "word:a@b", "a@b").
  static std::string ExtractAddress(std::string_view entry);

 private:
  void RequireSingleLineFields() const;
  // Names and subjects can be encoded; an address outside ASCII cannot.
  void RequireAsciiAddresses() const;
  void ReadGreeting();
  void SayHelo();
  std::string SkipContinuationLines(std::string line);

  std::string BuildMessage();
  void BuildHeader();
  std::string BuildBody() const;
  void AppendBodyLines(std::string& out) const;
  void AppendAttachment(const std::string& path, std::string& out) const;

  void RequireConnection();
  void RequireSenderAndRecipient();
  void SendEnvelope();
  std::string CheckedTransaction(std::string_view command, std::chrono::milliseconds wait);
  std::string TimedTransaction(std::string_view command, std::chrono::milliseconds wait);

  bool busy_ = false;
  // Between the server's go-ahead for DATA and the end mark: the server reads
  // message text, so a QUIT would only become part of the message.
  bool inMessageData_ = false;
  std::string boundary_;
};

}  // namespace voltare::net
