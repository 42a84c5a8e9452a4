// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// THttpClient: fetches one URL with an HTTP/1.0 GET, one request per
// connection; the response body ends when the server closes the connection.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/header_list.h"
#include "net/socket_client.h"

namespace voltare::platform {
class File;
}

namespace voltare::net {

// The request kinds of the component; the program sends only GET.
enum THttpRequest {
  hrOptions,
  hrGet,
  hrPost,
  hrPut,
  hrHead,
  hrPatch,
  hrDelete,
  hrTrace,
  hrCopy,
  hrMove,
  hrLink,
  hrUnlink,
  hrNone
};

// Values for optional request lines; each line goes out only when set.
struct THeaderInfo {
  std::string LocalMailAddress;
  std::string LocalProgram;
  std::string Cookie;
  std::string Referer;
  std::string UserId;
  std::string Password;
};

class THttpClient : public TSocketClient {
 public:
  THttpClient();

  // With InputFileMode: the file that receives the response body; else the body.
  std::string Body = "Default.htm";
  // With OutputFileMode: the file that receives the response header; else the header.
  std::string Header = "Head.txt";
  THeaderInfo HeaderInfo;
  bool InputFileMode = false;
  bool OutputFileMode = false;
  std::string Proxy;
  int ProxyPort = 0;
  // Redirects followed before Get gives up.
  int MaxRedirects = 5;
  // The most response bytes (header, and body) one request takes.
  std::uint64_t MaxBodySize = 1 << 20;

  std::function<void()> OnAboutToSend;
  std::function<void(THttpRequest kind)> OnSuccess;
  std::function<void(THttpRequest kind)> OnFailure;
  std::function<void(bool& handled)> OnRedirect;
  std::function<void()> OnAuthenticationNeeded;
  std::function<void()> OnPacketRecvd;

  // Fetches `url`. The response status is in ReplyNumber afterwards; an
  // HTTP error status is no failure.
  void Get(std::string_view url);
  // Ends a running lookup or wait with its cancel failure.
  void Abort() override;

  const std::string& URL() const noexcept { return url_; }
  const std::string& Path() const noexcept { return path_; }
  const THeaderList& RequestHeader() const noexcept { return request_; }
  std::uint64_t BytesReceived() const noexcept { return bytesReceived_; }

 protected:
  std::pair<std::string, int> ConnectTarget() const override;

 private:
  void DoRequest();
  void ParseURL();
  void BuildRequest();
  void SendRequest();
  void ReadResponseHeader();
  void ReadBody();
  void ReceiveBodyInto(platform::File* file);
  void FollowRedirect();

  std::string url_;
  std::string path_;
  THeaderList request_;
  THttpRequest kind_ = hrNone;
  std::string cookie_;
  std::string location_;
  std::uint64_t bytesReceived_ = 0;
};

}  // namespace voltare::net
