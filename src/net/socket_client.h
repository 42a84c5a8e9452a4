// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TSocketClient: one TCP connection to a server, driven like the user
// interface expects. Every call blocks its caller until done, but inside each
// wait polls the non-blocking socket for a short while, handles what arrived,
// and runs EventPump, so the window stays alive and its "Cancel" can call
// Abort in the middle of a wait.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "net/host_lookup.h"

namespace voltare::net {

// An open socket descriptor, closed on every path out.
class SocketHandle {
 public:
  SocketHandle() = default;
  explicit SocketHandle(int fd) noexcept : fd_(fd) {}
  ~SocketHandle() { Close(); }
  SocketHandle(SocketHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  SocketHandle& operator=(SocketHandle&& other) noexcept;
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;

  int fd() const noexcept { return fd_; }
  bool IsOpen() const noexcept { return fd_ >= 0; }
  void Close() noexcept;

 private:
  int fd_ = -1;
};

class TSocketClient {
 public:
  TSocketClient();
  virtual ~TSocketClient();
  TSocketClient(const TSocketClient&) = delete;
  TSocketClient& operator=(const TSocketClient&) = delete;

  // Server host name or dotted IPv4 address.
  std::string Host;
  int Port = 0;
  // Milliseconds allowed for the host lookup and for establishing the
  // connection; 0 means no limit.
  int TimeOut = 0;
  // Status reports up to this level go to OnStatus.
  int ReportLevel = 0;
  // A wait for the server to take or send data fails after this long without
  // a byte moving; zero means no limit.
  std::chrono::milliseconds InactivityLimit{std::chrono::seconds(60)};
  // The longest reply line we buffer while waiting for its line feed, and the
  // most a server may send unasked while we wait for it to take our data.
  std::size_t MaxLineLength = 1 << 20;
  // How host names are looked up (on a helper thread); the system's resolver
  // unless replaced.
  HostResolver Resolver = ResolveWithSystem;

  // Runs between two polls of every wait (the GUI processes its pending events
  // here; a terminal has nothing to do).
  std::function<void()> EventPump;

  std::function<void()> OnDisconnect;
  // The host cannot be resolved: may change Host and set handled for one retry.
  std::function<void(bool& handled)> OnInvalidHost;
  std::function<void()> OnHostResolved;
  std::function<void(std::string_view status)> OnStatus;
  std::function<void()> OnConnectionFailed;
  // A piece of a counted transfer (SendStream) was handed to the network.
  std::function<void()> OnPacketSent;

  // Looks up Host and opens the TCP connection to it.
  virtual void Connect();
  // Closes the connection.
  virtual void Disconnect();
  // Sends a command line and returns the first reply line, line break kept.
  virtual std::string Transaction(std::string_view command);
  // Cancels the running operation; the plain socket component does nothing.
  virtual void Abort();

  // Hands text (cut at 16,385 characters or at a NUL) to the network.
  void Write(std::string_view text);
  void Writeln(std::string_view text);
  // The next received line, up to and including its line feed.
  std::string ReadLn();
  // Hands a whole stream to the network, counting the bytes (OnPacketSent).
  void SendStream(std::string_view data);

  bool Connected() const noexcept { return connected_; }
  bool CancelRequested() const noexcept { return cancelRequested_; }
  int ReplyNumber() const noexcept { return replyNumber_; }
  const std::string& LastReply() const noexcept { return lastReply_; }
  std::uint64_t BytesSent() const noexcept { return bytesSent_; }
  std::uint64_t BytesTotal() const noexcept { return bytesTotal_; }

  // The leading decimal digits of a reply (at most 10), or 0 when it has none.
  static int ParseReplyCode(std::string_view line);

 protected:
  // Where Connect goes: Host and Port here, a proxy in the HTTP client.
  virtual std::pair<std::string, int> ConnectTarget() const { return {Host, Port}; }

  void Report(int level, std::string_view status) const;
  void RequestCancel() noexcept { cancelRequested_ = true; }
  void ClearCancel() noexcept { cancelRequested_ = false; }
  void SetReplyNumber(int number) noexcept { replyNumber_ = number; }
  void SetBytesTotal(std::uint64_t total) noexcept { bytesTotal_ = total; }
  bool SocketOpen() const noexcept { return socket_.IsOpen(); }
  // The error that broke the connection (a reset, say) rather than an
  // orderly close by the server; 0 when there was none.
  int BrokenBy() const noexcept { return brokenBy_; }

  // Closes the socket; `notify` raises OnDisconnect when one was open.
  void CloseSocket(bool notify);
  // Empties the receive buffer.
  void DropReceived() noexcept { received_.clear(); }
  // Everything received and not yet read.
  std::string TakeReceived();

  // One round of every wait: poll the socket briefly, handle what happened,
  // let the user interface run.
  void PumpOnce();
  // Handles what the socket reported while no wait was running (above all a
  // close by the server), without waiting.
  void ProcessPendingEvents();
  // Lets the user interface run once and ends the operation with
  // ESocketAborted when a cancel was asked for: for loops over data that is
  // already there, which never wait and so never reach PumpOnce.
  void HeedCancel();
  // Starts the inactivity clock of a wait.
  void MarkActivity() noexcept { lastActivity_ = std::chrono::steady_clock::now(); }
  bool InactivityExceeded() const noexcept;

 private:
  std::optional<std::uint32_t> ResolveHost(const std::string& host);
  std::optional<std::uint32_t> WaitForLookup(const std::string& host);
  void OpenSocket();
  void ConnectSocket(std::uint32_t address, int port);
  void WaitForConnection();
  void WaitUntilSent();

  void HandleSocketEvents(short events);
  void FinishConnecting();
  void ReceiveAvailable();
  void SendPending();

  bool DeadlinePassed(std::chrono::steady_clock::time_point deadline) const;
  std::chrono::steady_clock::time_point StartTimer();
  void StopTimer();

  SocketHandle socket_;
  bool connected_ = false;
  bool connecting_ = false;
  int connectError_ = 0;
  bool connectRunning_ = false;
  bool cancelRequested_ = false;
  bool inMachinery_ = false;
  bool counting_ = false;
  bool sending_ = false;
  int brokenBy_ = 0;
  int replyNumber_ = 0;
  std::string lastReply_;
  std::string received_;
  std::string sendBuffer_;
  std::size_t sendOffset_ = 0;
  std::uint64_t bytesSent_ = 0;
  std::uint64_t bytesTotal_ = 0;
  std::chrono::steady_clock::time_point lastActivity_{};
};

}  // namespace voltare::net
