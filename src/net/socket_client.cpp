// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socket_client.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <tuple>

#include "net/messages.h"
#include "net/net_error.h"
#include "net/socket_errors.h"

namespace voltare::net {
namespace {

using Clock = std::chrono::steady_clock;

// How long one poll of a wait lasts before the user interface gets its turn.
constexpr std::chrono::milliseconds kPollInterval{2};
// Network reads and writes go in pieces of at most this size.
constexpr std::size_t kPieceSize = 16383;
// One Write hands at most this many characters to the network.
constexpr std::size_t kMaxWriteLength = 16385;
// Full pieces read back to back for one read event before the user interface
// gets its turn again (a fast server must not starve it).
constexpr int kMaxPiecesPerEvent = 64;

// Sets a flag for the lifetime of a scope.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) noexcept : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

// Immediate connect errors that mean "the server cannot be reached", which
// the caller reads as "Connection Failed" like the same errors reported later.
bool IsUnreachable(int error) {
  return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH || error == ETIMEDOUT;
}

}  // namespace

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void SocketHandle::Close() noexcept {
  // A socket descriptor is released even when close reports an error, so
  // there is nothing to retry.
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

TSocketClient::TSocketClient() = default;

TSocketClient::~TSocketClient() { CloseSocket(false); }

int TSocketClient::ParseReplyCode(std::string_view line) {
  constexpr std::size_t kMaxDigits = 10;
  long long number = 0;
  std::size_t digits = 0;
  while (digits < line.size() && digits < kMaxDigits && line[digits] >= '0' && line[digits] <= '9') {
    number = number * 10 + (line[digits] - '0');
    ++digits;
  }
  return static_cast<int>(std::min<long long>(number, 0x7FFFFFFF));
}

void TSocketClient::Report(int level, std::string_view status) const {
  if (ReportLevel >= level && OnStatus) OnStatus(status);
}

// --- Connect -----------------------------------------------------------------

void TSocketClient::Connect() {
  Report(messages::kLevelBuildingBlock, messages::kStatusConnecting);
  // Refused before clearing: a Connect nested in a running wait must not
  // swallow the cancel meant for that wait.
  if (connected_ || connectRunning_) throw ESocketError(messages::kAlreadyConnected);
  ClearCancel();
  FlagScope running(connectRunning_);

  auto [host, port] = ConnectTarget();
  std::optional<std::uint32_t> address = ResolveHost(host);
  if (!address && OnInvalidHost) {
    bool handled = false;
    OnInvalidHost(handled);
    if (handled) {
      std::tie(host, port) = ConnectTarget();
      address = ResolveHost(host);
    }
  }
  if (!address) throw ESocketError(messages::kNullRemoteAddress);

  // A port a TCP address cannot hold must not wrap round to another one.
  if (port < 0 || port > 0xFFFF) throw ESocketError(SocketErrnoText(EINVAL), EINVAL);

  received_.clear();
  sendBuffer_.clear();
  sendOffset_ = 0;
  brokenBy_ = 0;
  OpenSocket();
  ConnectSocket(*address, port);
  WaitForConnection();
}

std::optional<std::uint32_t> TSocketClient::ResolveHost(const std::string& host) {
  Report(messages::kLevelBuildingBlock, messages::kStatusResolveHost);
  if (auto dotted = ParseDottedAddress(host)) return dotted;
  std::optional<std::uint32_t> found = WaitForLookup(host);
  if (found && OnHostResolved) OnHostResolved();
  return found;
}

std::optional<std::uint32_t> TSocketClient::WaitForLookup(const std::string& host) {
  const HostLookup lookup(Resolver, host);
  const Clock::time_point deadline = StartTimer();
  bool timedOut = false;
  while (!lookup.Finished() && !cancelRequested_) {
    if (DeadlinePassed(deadline)) {
      timedOut = true;
      break;
    }
    PumpOnce();
  }
  StopTimer();
  // A lookup that is dropped here finishes on its own thread; its answer is lost.
  if (timedOut) throw ESocketError(messages::kHostLookupTimedOut);
  if (!lookup.Finished()) throw ESocketError(messages::kHostLookupCanceled);
  return lookup.Address();
}

void TSocketClient::OpenSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) throw ESocketError(messages::kSocketInitFailed, errno);
  socket_ = SocketHandle(fd);
}

void TSocketClient::ConnectSocket(std::uint32_t address, int port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = address;
  target.sin_port = htons(static_cast<std::uint16_t>(port));
  connectError_ = 0;
  connecting_ = true;
  if (::connect(socket_.fd(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    connecting_ = false;
    connected_ = true;
    return;
  }
  const int error = errno;
  if (error == EINPROGRESS || error == EINTR) return;  // completes later
  connecting_ = false;
  if (IsUnreachable(error)) {
    connectError_ = error;
    return;
  }
  CloseSocket(false);
  Report(messages::kLevelBuildingBlock, messages::kStatusLookingUpError);
  throw ESocketError(SocketErrnoText(error), error);
}

void TSocketClient::WaitForConnection() {
  const Clock::time_point deadline = StartTimer();
  bool timedOut = false;
  while (connecting_ && !cancelRequested_) {
    if (DeadlinePassed(deadline)) {
      timedOut = true;
      break;
    }
    PumpOnce();
  }
  StopTimer();
  if (connected_) return;

  const int error = connectError_;
  CloseSocket(false);
  if (OnConnectionFailed) OnConnectionFailed();
  if (timedOut) throw ESocketError(messages::kConnectionTimedOut);
  if (cancelRequested_) throw ESocketError(messages::kConnectionCanceled);
  throw ESocketError(messages::kConnectionFailed, error);
}

Clock::time_point TSocketClient::StartTimer() {
  if (TimeOut <= 0) return Clock::time_point::max();
  Report(messages::kLevelBuildingBlock, messages::kStatusTimerOn);
  return Clock::now() + std::chrono::milliseconds(TimeOut);
}

void TSocketClient::StopTimer() {
  if (TimeOut > 0) Report(messages::kLevelBuildingBlock, messages::kStatusTimerOff);
}

bool TSocketClient::DeadlinePassed(Clock::time_point deadline) const {
  if (Clock::now() < deadline) return false;
  Report(messages::kLevelBuildingBlock, messages::kStatusTimerTriggered);
  return true;
}

// --- Disconnect and Abort ----------------------------------------------------

void TSocketClient::Disconnect() {
  Report(messages::kLevelBuildingBlock, messages::kStatusDisconnecting);
  ClearCancel();
  CloseSocket(true);
}

void TSocketClient::Abort() {}

void TSocketClient::CloseSocket(bool notify) {
  const bool wasOpen = socket_.IsOpen();
  if (wasOpen) Report(messages::kLevelMachinery, messages::kStatusRequestClose);
  connected_ = false;
  connecting_ = false;
  socket_.Close();
  sendBuffer_.clear();
  sendOffset_ = 0;
  if (wasOpen && notify && OnDisconnect) OnDisconnect();
}

// --- Sending and receiving ---------------------------------------------------

std::string TSocketClient::Transaction(std::string_view command) {
  Report(messages::kLevelBuildingBlock, messages::kStatusTransaction);
  replyNumber_ = 0;
  Writeln(command);
  std::string reply = ReadLn();
  lastReply_ = reply;
  Report(messages::kLevelReply, reply);
  replyNumber_ = ParseReplyCode(reply);
  return reply;
}

void TSocketClient::Writeln(std::string_view text) {
  Report(messages::kLevelBuildingBlock, messages::kStatusWriteln);
  Write(std::string(text) + "\r\n");
}

void TSocketClient::Write(std::string_view text) {
  Report(messages::kLevelBuildingBlock, messages::kStatusWrite);
  text = text.substr(0, std::min(text.find('\0'), kMaxWriteLength));
  if (!socket_.IsOpen()) throw ESocketError(messages::kConnectionClosed);
  sendBuffer_.append(text);
  WaitUntilSent();
}

void TSocketClient::SendStream(std::string_view data) {
  Report(messages::kLevelBuildingBlock, messages::kStatusSendStream);
  const FlagScope counting(counting_);
  if (!cancelRequested_) {
    if (!socket_.IsOpen()) throw ESocketError(messages::kConnectionClosed);
    bytesSent_ = 0;
    bytesTotal_ = data.size();
    sendBuffer_.append(data);
    WaitUntilSent();
  }
  if (cancelRequested_) {
    ClearCancel();
    throw ESocketAborted(messages::kSendAborted);
  }
}

void TSocketClient::WaitUntilSent() {
  const FlagScope sending(sending_);
  MarkActivity();
  while (sendOffset_ < sendBuffer_.size() && !cancelRequested_) {
    if (!socket_.IsOpen()) throw ESocketError(messages::kConnectionClosed);
    // A server that talks instead of taking our data must not fill memory.
    if (received_.size() > MaxLineLength) throw NetError(messages::kTooMuchReceived);
    if (InactivityExceeded()) throw NetError(messages::kSendTimedOut);
    PumpOnce();
  }
  if (cancelRequested_) {
    // What was not handed over can never follow the cut-off piece sensibly.
    sendBuffer_.clear();
    sendOffset_ = 0;
    ClearCancel();
    throw ESocketAborted(messages::kSendAborted);
  }
}

std::string TSocketClient::ReadLn() {
  Report(messages::kLevelBuildingBlock, messages::kStatusReadLn);
  MarkActivity();
  for (;;) {
    if (const auto end = received_.find('\n'); end != std::string::npos) {
      std::string line = received_.substr(0, end + 1);
      received_.erase(0, end + 1);
      return line;
    }
    if (cancelRequested_) throw ESocketAborted(messages::kReadlnAborted);
    if (!socket_.IsOpen()) throw ESocketError(messages::kConnectionClosed);
    if (received_.size() > MaxLineLength) throw NetError(messages::kReplyLineTooLong);
    if (InactivityExceeded()) throw NetError(messages::kReadlnTimedOut);
    PumpOnce();
  }
}

std::string TSocketClient::TakeReceived() { return std::exchange(received_, std::string()); }

bool TSocketClient::InactivityExceeded() const noexcept {
  return InactivityLimit.count() > 0 && Clock::now() - lastActivity_ > InactivityLimit;
}

// --- The event loop ----------------------------------------------------------

void TSocketClient::PumpOnce() {
  // While the machinery runs a handler of ours (OnPacketSent, OnDisconnect)
  // that waits itself, the nested wait must not re-enter the machinery.
  if (socket_.IsOpen() && !inMachinery_) {
    pollfd entry{socket_.fd(), POLLIN, 0};
    if (connecting_ || sendOffset_ < sendBuffer_.size()) entry.events |= POLLOUT;
    const int ready = ::poll(&entry, 1, static_cast<int>(kPollInterval.count()));
    if (ready > 0) HandleSocketEvents(entry.revents);
  } else {
    std::this_thread::sleep_for(kPollInterval);
  }
  if (EventPump) EventPump();
}

void TSocketClient::ProcessPendingEvents() {
  if (!socket_.IsOpen() || inMachinery_) return;
  pollfd entry{socket_.fd(), POLLIN, 0};
  if (::poll(&entry, 1, 0) > 0) HandleSocketEvents(entry.revents);
}

void TSocketClient::HeedCancel() {
  if (EventPump) EventPump();
  if (cancelRequested_) throw ESocketAborted(messages::kReadlnAborted);
}

void TSocketClient::HandleSocketEvents(short events) {
  const FlagScope machinery(inMachinery_);
  if (connecting_) {
    if ((events & (POLLOUT | POLLERR | POLLHUP)) != 0) FinishConnecting();
    return;
  }
  if ((events & (POLLIN | POLLHUP | POLLERR)) != 0) {
    if (cancelRequested_ && (events & POLLIN) != 0) {
      // A cancelled operation does not want what the server says next.
      CloseSocket(true);
      received_.clear();
      return;
    }
    ReceiveAvailable();
  }
  if ((events & POLLOUT) != 0 && socket_.IsOpen()) SendPending();
}

void TSocketClient::FinishConnecting() {
  Report(messages::kLevelErrorManager, messages::kStatusCheckingError);
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket_.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  connecting_ = false;
  if (error == 0) connected_ = true;
  else connectError_ = error;
}

void TSocketClient::ReceiveAvailable() {
  char piece[kPieceSize];
  for (int round = 0; round < kMaxPiecesPerEvent; ++round) {
    const ssize_t count = ::recv(socket_.fd(), piece, sizeof piece, 0);
    if (count > 0) {
      received_.append(piece, static_cast<std::size_t>(count));
      // While we wait for the server to take our data, only that counts as
      // progress: a server chattering without reading must still time out.
      if (!sending_) MarkActivity();
      if (static_cast<std::size_t>(count) < sizeof piece) return;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // The server closed the connection (or it broke): what it sent stays readable.
    if (count < 0) brokenBy_ = errno;
    CloseSocket(true);
    return;
  }
}

void TSocketClient::SendPending() {
  Report(messages::kLevelMachinery, messages::kStatusSendingBuffer);
  const std::size_t length = std::min(kPieceSize, sendBuffer_.size() - sendOffset_);
  const ssize_t sent = ::send(socket_.fd(), sendBuffer_.data() + sendOffset_, length, MSG_NOSIGNAL);
  if (sent < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;  // try again
    CloseSocket(true);  // the connection is gone; the wait reports it
    return;
  }
  sendOffset_ += static_cast<std::size_t>(sent);
  if (sendOffset_ == sendBuffer_.size()) {
    sendBuffer_.clear();
    sendOffset_ = 0;
  }
  bytesSent_ += static_cast<std::uint64_t>(sent);
  MarkActivity();
  if (counting_ && OnPacketSent) OnPacketSent();
}

}  // namespace voltare::net
