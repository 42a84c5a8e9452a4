// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP client against Python's http.server on 127.0.0.1 (files, a 404
// page, redirect chains) and against a scripted server that records the exact
// request and answers what a test needs.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "failure_of.h"
#include "held_lookup.h"
#include "net/http_client.h"
#include "net/net_error.h"
#include "peer_files.h"
#include "peers.h"
#include "support/test_env.h"

namespace voltare::net {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::FailureOf;
using testing::ScriptedServer;
using testing::ServerConnection;
using testing::Text;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;

constexpr char kRequestTail[] =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
    "Content-type: application/x-www-form-urlencoded\r\n"
    "\r\n";

// Answers one request with `response`, then closes.
ScriptedServer::Script Respond(std::string response) {
  return [response = std::move(response)](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send(response);
    c.Close();
  };
}

class HttpRealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(site_);
    server_ = std::make_unique<testing::PeerProcess>(
        testing::ScriptPath("http_server.py"), std::vector<std::string>{site_.string()}, TestDir() / "http_server.log");
    client_.TimeOut = 5000;
    client_.InactivityLimit = 10s;
    client_.InputFileMode = true;
    client_.Body = bodyFile_.string();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(server_->port()) + path;
  }

  const fs::path site_ = TestDir() / "site";
  const fs::path bodyFile_ = TestDir() / "body.out";
  std::unique_ptr<testing::PeerProcess> server_;
  THttpClient client_;
};

TEST_F(HttpRealServer, FileArrivesByteForByteInTheBodyFile) {
  std::vector<std::uint8_t> content(300000);
  std::mt19937 generator(7);
  for (auto& byte : content) byte = static_cast<std::uint8_t>(generator());
  voltare::testing::WriteFileBytes(site_ / "Update.ini", content);
  voltare::testing::WriteFileText(bodyFile_, std::string(500000, 'o'));  // emptied first
  int successes = 0, packets = 0;
  client_.OnSuccess = [&](THttpRequest kind) { successes += kind == hrGet ? 1 : 100; };
  client_.OnPacketRecvd = [&] { ++packets; };

  client_.Get(Url("/Update.ini"));

  EXPECT_EQ(ReadFileBytes(bodyFile_), content);
  EXPECT_EQ(client_.ReplyNumber(), 200);
  EXPECT_EQ(client_.Header.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
  EXPECT_EQ(client_.Header.substr(client_.Header.size() - 4), "\r\n\r\n");
  EXPECT_EQ(client_.BytesTotal(), content.size());
  EXPECT_EQ(client_.BytesReceived(), content.size());
  EXPECT_EQ(client_.Host, "127.0.0.1");
  EXPECT_EQ(client_.Port, server_->port());
  EXPECT_EQ(successes, 1);
  EXPECT_GT(packets, 0);
  EXPECT_FALSE(client_.Connected());
}

TEST_F(HttpRealServer, NotFoundPageIsStoredAndIsNoFailure) {
  int failures = 0;
  client_.OnFailure = [&](THttpRequest) { ++failures; };
  client_.Get(Url("/missing.ini"));
  EXPECT_EQ(client_.ReplyNumber(), 404);
  EXPECT_EQ(failures, 1);
  EXPECT_NE(Text(bodyFile_).find("404"), std::string::npos);
}

TEST_F(HttpRealServer, BodyCanBeKeptInMemory) {
  voltare::testing::WriteFileText(site_ / "small.txt", "[VOLTUPDATE]\r\nNumber=3\r\n");
  client_.InputFileMode = false;
  client_.Get(Url("/small.txt"));
  EXPECT_EQ(client_.Body, "[VOLTUPDATE]\r\nNumber=3\r\n");
}

TEST_F(HttpRealServer, RedirectsAreFollowedUpToFiveTimes) {
  int redirects = 0;
  client_.OnRedirect = [&](bool&) { ++redirects; };
  client_.Get(Url("/chain/5"));
  EXPECT_EQ(client_.ReplyNumber(), 200);
  EXPECT_EQ(Text(bodyFile_), "end of chain\n");
  EXPECT_EQ(redirects, 5);
  EXPECT_EQ(client_.HeaderInfo.Cookie, "hop=1");  // kept from the last redirect
  EXPECT_EQ(client_.Path(), "/chain/0");

  client_.Get(Url("/away/3"));  // absolute addresses
  EXPECT_EQ(Text(bodyFile_), "end of chain\n");
  EXPECT_EQ(client_.URL(), Url("/away/0"));
}

TEST_F(HttpRealServer, ASixthRedirectFails) {
  EXPECT_EQ(FailureOf([&] { client_.Get(Url("/chain/6")); }), "Too Many Redirects");
  EXPECT_FALSE(client_.Connected());
}

TEST_F(HttpRealServer, RedirectHandlerCanStopTheChain) {
  client_.OnRedirect = [](bool& handled) { handled = true; };
  client_.Get(Url("/chain/2"));
  EXPECT_EQ(client_.ReplyNumber(), 302);
  EXPECT_EQ(client_.Path(), "/chain/2");
}

TEST_F(HttpRealServer, OversizedBodyFailsAndLeavesNoFile) {
  voltare::testing::WriteFileText(site_ / "big.bin", std::string(200000, 'b'));
  client_.MaxBodySize = 100000;
  EXPECT_EQ(FailureOf([&] { client_.Get(Url("/big.bin")); }), "Response Too Large");
  EXPECT_FALSE(fs::exists(bodyFile_));
  EXPECT_FALSE(client_.Connected());
}

TEST(HttpRequest, HostOnlyUrlRequestsTheRootWithTheExactHeader) {
  ScriptedServer server(Respond("HTTP/1.0 200 OK\r\n\r\nroot"));
  THttpClient client;
  client.InactivityLimit = 5s;
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port());
  client.Get(url);
  EXPECT_EQ(server.Transcript(), std::string("GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n") + kRequestTail);
  EXPECT_EQ(client.URL(), url + "/");
  EXPECT_EQ(client.Body, "root");
  EXPECT_EQ(client.Header, "HTTP/1.0 200 OK\r\n\r\n");
}

TEST(HttpRequest, OptionalLinesAndProxyForm) {
  ScriptedServer server(Respond("HTTP/1.0 200 OK\r\n\r\n"));
  THttpClient client;
  client.InactivityLimit = 5s;
  client.Resolver = [](const std::string&) -> std::optional<std::uint32_t> {
    ADD_FAILURE() << "the target host must not be looked up through a proxy";
    return std::nullopt;
  };
  client.Proxy = "127.0.0.1";
  client.ProxyPort = server.port();
  client.HeaderInfo.Cookie = "session=1";
  client.HeaderInfo.Referer = "http://www.example.org/";
  client.HeaderInfo.UserId = "user";
  client.HeaderInfo.Password = "secret";
  client.Get("http://www.example.org/files/Update.ini");
  EXPECT_EQ(server.Transcript(),
            "GET http://www.example.org/files/Update.ini HTTP/1.0\r\n"
            "Proxy-Connection: Keep-Alive\r\n"
            "Host: www.example.org\r\n"
            "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
            "Cookie: session=1\r\n"
            "Referer: http://www.example.org/\r\n"
            "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"
            "Content-type: application/x-www-form-urlencoded\r\n"
            "\r\n");
}

TEST(HttpRequest, UrlPartsDecideHostPortAndPath) {
  THttpClient client;
  client.Resolver = [](const std::string&) { return std::optional<std::uint32_t>(); };
  const auto parse = [&](const std::string& url) {
    EXPECT_EQ(FailureOf([&] { client.Get(url); }), "Null Remote Address") << url;
  };
  parse("http://files.test:8080/dir/Update.ini");
  EXPECT_EQ(client.Host, "files.test");
  EXPECT_EQ(client.Port, 8080);
  EXPECT_EQ(client.Path(), "/dir/Update.ini");
  parse("ftp://ftp.test/pub");
  EXPECT_EQ(client.Port, 21);
  parse("GOPHER://hole.test");
  EXPECT_EQ(client.Port, 70);
  EXPECT_EQ(client.Path(), "/");
  EXPECT_EQ(client.URL(), "GOPHER://hole.test/");
  client.Port = 0;
  parse("plain.test/page.html");  // no scheme: the port is only defaulted
  EXPECT_EQ(client.Host, "plain.test");
  EXPECT_EQ(client.Port, 80);
  EXPECT_EQ(client.Path(), "/page.html");
  parse("/only/a/path");  // keeps the host
  EXPECT_EQ(client.Host, "plain.test");
  EXPECT_EQ(client.Path(), "/only/a/path");
  parse("http://long.test/" + std::string(300, 'p'));
  EXPECT_EQ(client.Path().size(), 256u);

  EXPECT_EQ(FailureOf([&] { client.Get("http://127.0.0.1:70000/"); }), "10022:Invalid argument");
  EXPECT_EQ(FailureOf([&] { client.Get(""); }), "Empty URL");
  EXPECT_EQ(FailureOf([&] { client.Get("http://h.test/a\r\nX-Evil: 1"); }), "Line break not allowed in URL");
}

TEST(HttpRequest, ResponseHeaderLinesAreReadAsTheyCame) {
  ScriptedServer server(Respond("HTTP/1.0 abc Odd\r\nCONTENT-LENGTH: 5\r\nset-cookie: k=v\r\nX-Other: 1\n\r\nhello"));
  THttpClient client;
  client.InactivityLimit = 5s;
  const fs::path headerFile = TestDir() / "head.txt";
  client.OutputFileMode = true;
  client.Header = headerFile.string();
  client.Get("http://127.0.0.1:" + std::to_string(server.port()) + "/x");
  EXPECT_EQ(client.ReplyNumber(), 0);  // the status is not a number
  EXPECT_EQ(client.BytesTotal(), 5u);
  EXPECT_EQ(Text(headerFile), "HTTP/1.0 abc Odd\r\nCONTENT-LENGTH: 5\r\nset-cookie: k=v\r\nX-Other: 1\n\r\n");
  EXPECT_EQ(client.Body, "hello");
}

TEST(HttpRequest, RedirectWithoutLocationRepeatsTheRequestUntilTheLimit) {
  ScriptedServer server(Respond("HTTP/1.0 302 Found\r\n\r\n"), 6);
  THttpClient client;
  client.InactivityLimit = 5s;
  EXPECT_EQ(FailureOf([&] { client.Get("http://127.0.0.1:" + std::to_string(server.port()) + "/again"); }),
            "Too Many Redirects");
  const std::string transcript = server.Transcript();
  std::size_t requests = 0;
  for (auto at = transcript.find("GET /again "); at != std::string::npos; at = transcript.find("GET /again ", at + 1))
    ++requests;
  EXPECT_EQ(requests, 6u);
}

TEST(HttpRequest, ABodyCutShortOrResetIsAFailureAndLeavesNoFile) {
  const std::string header = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n";
  ScriptedServer shortBody(Respond(header + std::string(50, 'x')));
  ScriptedServer reset([&header](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send(header + std::string(50, 'x'));
    c.WaitUntilDelivered();  // the client has what came, then meets the reset
    c.Reset();
  });
  const fs::path file = TestDir() / "Update.ini";
  for (const auto& [port, failure] : {std::pair<int, std::string>{shortBody.port(), "Response Incomplete"},
                                      {reset.port(), "10054:Connection reset by peer"}}) {
    THttpClient client;
    client.InactivityLimit = 5s;
    client.InputFileMode = true;
    client.Body = file.string();
    EXPECT_EQ(FailureOf([&] { client.Get("http://127.0.0.1:" + std::to_string(port) + "/Update.ini"); }), failure);
    EXPECT_FALSE(fs::exists(file));
  }
}

TEST(HttpRequest, SilentServerFailsAfterTheInactivityLimitAndLeavesNoFile) {
  ScriptedServer server([](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send("HTTP/1.0 200 OK\r\n\r\npartial");
    c.WaitSilently();
  });
  THttpClient client;
  client.InactivityLimit = 100ms;
  client.InputFileMode = true;
  client.Body = (TestDir() / "partial.out").string();
  EXPECT_EQ(FailureOf([&] { client.Get("http://127.0.0.1:" + std::to_string(server.port()) + "/"); }),
            "Socket readln timed out");
  EXPECT_FALSE(fs::exists(client.Body));
  EXPECT_FALSE(client.Connected());
}

TEST(HttpRequest, AbortFromTheEventPumpEndsTheBodyWait) {
  ScriptedServer server([](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Send("HTTP/1.0 200 OK\r\n\r\nsome");
    c.WaitSilently();
  });
  THttpClient client;
  client.InactivityLimit = 5s;
  client.EventPump = [&] {
    if (client.BytesReceived() > 0) client.Abort();
  };
  try {
    client.Get("http://127.0.0.1:" + std::to_string(server.port()) + "/");
    FAIL() << "Get returned";
  } catch (const ESocketAborted& e) {
    EXPECT_STREQ(e.what(), "Socket send aborted");
  }
  EXPECT_FALSE(client.Connected());
}

TEST(HttpRequest, SlowLookupTimesOutAndBodyFileFailuresAreNamed) {
  THttpClient client;
  client.TimeOut = 50;
  const testing::HeldLookup lookup;
  client.Resolver = lookup.Resolver();
  EXPECT_EQ(FailureOf([&] { client.Get("http://slow.test/Update.ini"); }), "Host Lookup Timed Out");

  ScriptedServer server(Respond("HTTP/1.0 200 OK\r\n\r\nbody"));
  THttpClient writer;
  writer.InactivityLimit = 5s;
  writer.InputFileMode = true;
  writer.Body = (TestDir() / "no-such-dir" / "x.out").string();
  EXPECT_EQ(FailureOf([&] { writer.Get("http://127.0.0.1:" + std::to_string(server.port()) + "/"); }),
            "Cannot create file " + writer.Body);
  EXPECT_FALSE(writer.Connected());
}

}  // namespace
}  // namespace voltare::net
