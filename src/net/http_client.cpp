// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/http_client.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <optional>
#include <vector>

#include "net/attachment_encoder.h"
#include "net/messages.h"
#include "net/net_error.h"
#include "net/socket_errors.h"
#include "platform/file.h"
#include "platform/os_error.h"

namespace voltare::net {
namespace {

constexpr std::size_t kMaxPathLength = 256;
constexpr char kAcceptFirst[] = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff";
constexpr char kAcceptSecond[] = "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript";
constexpr char kContentType[] = "Content-type: application/x-www-form-urlencoded";

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string_view WithoutLineBreak(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

std::string_view FirstWord(std::string_view line) { return line.substr(0, line.find(' ')); }

std::string_view After(std::string_view line, std::size_t count) {
  return count < line.size() ? line.substr(count) : std::string_view();
}

// A whole decimal number, or 0 when the text is not one.
int DecimalOrZero(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (error == std::errc() && end == text.data() + text.size()) ? value : 0;
}

// The number at the start of the text after its leading blanks, or 0.
std::uint64_t LeadingNumber(std::string_view text) {
  const auto start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return 0;
  std::uint64_t value = 0;
  std::from_chars(text.data() + start, text.data() + text.size(), value);
  return value;
}

platform::File CreateFileOrFail(const std::string& name) {
  try {
    return platform::File(name, platform::File::Mode::CreateTruncate);
  } catch (const platform::OsError& e) {
    throw NetError(FormatText(messages::kCannotCreateFile, name), e.error());
  }
}

void WriteOrFail(platform::File& file, std::string_view data) {
  try {
    file.write(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  } catch (const platform::OsError& e) {
    throw NetError(e.what(), e.error());
  }
}

}  // namespace

THttpClient::THttpClient() = default;

std::pair<std::string, int> THttpClient::ConnectTarget() const {
  if (!Proxy.empty()) return {Proxy, ProxyPort};
  return {Host, Port};
}

void THttpClient::Abort() {
  Report(messages::kLevelBuildingBlock, messages::kStatusCanceling);
  RequestCancel();  // also ends a running host lookup
}

void THttpClient::Get(std::string_view url) {
  url_ = std::string(url);
  kind_ = hrGet;
  cookie_.clear();
  DoRequest();
}

void THttpClient::DoRequest() {
  for (int redirects = 0;; ++redirects) {
    ParseURL();
    BuildRequest();
    if (OnAboutToSend) OnAboutToSend();
    Connect();
    try {
      SendRequest();
      ReadResponseHeader();
      ReadBody();
    } catch (...) {
      TSocketClient::Disconnect();
      throw;
    }

    const int status = ReplyNumber();
    if (status < 299) {
      if (OnSuccess) OnSuccess(kind_);
      Report(messages::kLevelCompleted, messages::kStatusTransactionCompleted);
    } else if (status > 399) {
      if (OnFailure) OnFailure(kind_);
    }
    TSocketClient::Disconnect();

    if (status >= 300 && status <= 398) {
      HeaderInfo.Cookie = cookie_;
      if (OnRedirect) {
        bool handled = false;
        OnRedirect(handled);
        if (handled) return;
      }
      FollowRedirect();
    }
    if (status == 401 && OnAuthenticationNeeded) OnAuthenticationNeeded();
    if (status < 299 || status > 399) return;
    // A server may send us round in circles; a few hops are plenty.
    if (redirects >= MaxRedirects) throw NetError(messages::kTooManyRedirects);
  }
}

void THttpClient::FollowRedirect() {
  // Without a new location the same request goes out again.
  if (location_.empty()) return;
  url_ = location_;
  if (url_.find('/') == std::string::npos) url_ = "http://" + Host + "/" + url_;
}

void THttpClient::ParseURL() {
  if (url_.empty()) throw NetError(messages::kEmptyUrl);
  RequireSingleLine(url_, "URL");
  if (Port == 0) Port = 80;

  const bool hasDoubleSlash = url_.find("//") != std::string::npos;
  std::vector<std::size_t> slashes;
  for (std::size_t at = url_.find('/'); at != std::string::npos && slashes.size() < 3; at = url_.find('/', at + 1))
    slashes.push_back(at);
  const auto slash = [&slashes](std::size_t n) { return n < slashes.size() ? slashes[n] : std::string::npos; };

  if (hasDoubleSlash) path_ = slash(2) != std::string::npos ? url_.substr(slash(2)) : std::string();
  else path_ = slash(0) != std::string::npos ? url_.substr(slash(0)) : std::string();
  path_.resize(std::min(path_.size(), kMaxPathLength));

  if (const auto colon = url_.find(':'); colon != std::string::npos) {
    const std::string scheme = Upper(std::string_view(url_).substr(0, colon));
    if (scheme == "HTTPS") throw NetError(messages::kHttpsNotSupported);
    Port = scheme == "GOPHER" ? 70 : scheme == "FTP" ? 21 : 80;
  }

  std::string host;
  if (hasDoubleSlash) {
    const std::size_t start = slash(1) + 1;
    host = url_.substr(start, slash(2) == std::string::npos ? std::string::npos : slash(2) - start);
  } else if (url_.front() != '/') {
    host = url_.substr(0, slash(0));
  }
  if (const auto colon = host.find(':'); colon != std::string::npos) {
    Port = DecimalOrZero(std::string_view(host).substr(colon + 1));
    host.resize(colon);
  }
  if (!host.empty()) Host = host;

  if (path_.empty()) {
    path_ = "/";
    url_ += "/";
  }
}

void THttpClient::BuildRequest() {
  RequireSingleLine(Host, "Host");
  RequireSingleLine(HeaderInfo.Cookie, "Cookie");
  RequireSingleLine(HeaderInfo.Referer, "Referer");
  request_.Clear();
  if (Proxy.empty()) {
    request_.Add("GET " + path_ + " HTTP/1.0");
  } else {
    request_.Add("GET " + url_ + " HTTP/1.0");
    request_.Add("Proxy-Connection: Keep-Alive");
    request_.Add("Host: " + Host);
  }
  request_.SetHeader("Host", Host);
  request_.Add(kAcceptFirst);
  request_.Add(kAcceptSecond);
  request_.SetHeader("Cookie", HeaderInfo.Cookie);
  request_.SetHeader("Referer", HeaderInfo.Referer);
  if (!HeaderInfo.UserId.empty() || !HeaderInfo.Password.empty())
    request_.SetHeader("Authorization", "Basic " + EncodeBase64(HeaderInfo.UserId + ":" + HeaderInfo.Password));
  request_.Add(kContentType);
  request_.Add("");
}

void THttpClient::SendRequest() { Write(request_.Text()); }

void THttpClient::ReadResponseHeader() {
  std::optional<platform::File> headerFile;
  if (OutputFileMode) headerFile = CreateFileOrFail(Header);
  else Header.clear();
  std::uint64_t headerSize = 0;
  const auto keep = [&](const std::string& line) {
    headerSize += line.size();
    if (headerSize > MaxBodySize) throw NetError(messages::kResponseTooLarge);
    if (headerFile) WriteOrFail(*headerFile, line);
    else Header += line;
  };

  location_.clear();
  SetBytesTotal(0);
  const std::string status = ReadLn();
  keep(status);
  const std::string_view statusLine = WithoutLineBreak(status);
  const auto afterFirst = statusLine.find(' ');
  SetReplyNumber(afterFirst == std::string_view::npos ? 0
                                                      : DecimalOrZero(FirstWord(statusLine.substr(afterFirst + 1))));

  for (;;) {
    const std::string line = ReadLn();
    keep(line);
    if (line == "\r\n" || line == "\n" || line.empty()) break;
    const std::string word = Upper(FirstWord(line));
    if (word == "SET-COOKIE:") cookie_ = WithoutLineBreak(After(line, 12));
    else if (word == "LOCATION:") location_ = WithoutLineBreak(After(line, 10));
    else if (word == "CONTENT-LENGTH:") SetBytesTotal(LeadingNumber(WithoutLineBreak(After(line, word.size()))));
  }
}

void THttpClient::ReadBody() {
  Report(messages::kLevelBuildingBlock, messages::kStatusReadToStream);
  bytesReceived_ = 0;
  if (!InputFileMode) {
    Body.clear();
    ReceiveBodyInto(nullptr);
    return;
  }
  platform::File file = CreateFileOrFail(Body);
  try {
    ReceiveBodyInto(&file);
    file.close();
  } catch (...) {
    // A body cut short is no body: do not leave half a file behind.
    file = platform::File();
    std::error_code ignored;
    std::filesystem::remove(Body, ignored);
    throw;
  }
}

void THttpClient::ReceiveBodyInto(platform::File* file) {
  MarkActivity();
  for (;;) {
    const std::string piece = TakeReceived();
    if (!piece.empty()) {
      bytesReceived_ += piece.size();
      if (bytesReceived_ > MaxBodySize) throw NetError(messages::kResponseTooLarge);
      if (file != nullptr) WriteOrFail(*file, piece);
      else Body += piece;
      if (OnPacketRecvd) OnPacketRecvd();
    }
    if (CancelRequested()) throw ESocketAborted(messages::kSendAborted);
    if (!SocketOpen()) {
      // Only an orderly close ends the body, and only once it is as long as announced.
      if (BrokenBy() != 0) throw ESocketError(SocketErrnoText(BrokenBy()), BrokenBy());
      if (BytesTotal() > 0 && bytesReceived_ < BytesTotal()) throw NetError(messages::kResponseIncomplete);
      return;
    }
    if (InactivityExceeded()) throw NetError(messages::kReadlnTimedOut);
    PumpOnce();
  }
}

}  // namespace voltare::net
