// SPDX-License-Identifier: GPL-3.0-or-later
#include "peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace voltare::net::testing {
namespace {

constexpr int kStepMs = 10;
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr char kSystemPython[] = "/usr/bin/python3";

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string ScriptPath(std::string_view name) {
  // Not __FILE__: the compiler cache makes that path relative to the build.
  return (std::filesystem::path(VOLTARE_PEERS_DIR) / name).string();
}

// --- PeerProcess -------------------------------------------------------------

PeerProcess::PeerProcess(const std::string& script, const std::vector<std::string>& arguments,
                         const std::filesystem::path& logFile) {
  std::vector<std::string> argv{kSystemPython, script};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> args;
  for (auto& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);

  int output[2];
  if (::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  pid_ = ::fork();
  if (pid_ == 0) {
    // The peer must not outlive the test program, whatever happens to it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(output[1], STDOUT_FILENO);
    if (log >= 0) ::dup2(log, STDERR_FILENO);
    ::execv(kSystemPython, args.data());
    ::_exit(127);
  }
  ::close(output[1]);
  if (log >= 0) ::close(log);
  if (pid_ < 0) {
    ::close(output[0]);
    throw std::runtime_error("fork failed");
  }
  try {
    port_ = ReadPort(output[0], logFile);
  } catch (...) {
    ::close(output[0]);
    Stop();
    throw;
  }
  ::close(output[0]);
}

int PeerProcess::ReadPort(int outputFd, const std::filesystem::path& logFile) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (line.find('\n') == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline)
      throw std::runtime_error("peer did not start: " + ReadWholeFile(logFile));
    pollfd entry{outputFd, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    char piece[64];
    const ssize_t count = ::read(outputFd, piece, sizeof piece);
    if (count <= 0) throw std::runtime_error("peer ended: " + ReadWholeFile(logFile));
    line.append(piece, static_cast<std::size_t>(count));
  }
  return std::stoi(line);
}

void PeerProcess::Stop() noexcept {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int waited = 0; waited < 300; ++waited) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    ::usleep(kStepMs * 1000);
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

PeerProcess::~PeerProcess() { Stop(); }

// --- ServerConnection --------------------------------------------------------

ServerConnection::ServerConnection(int fd, const std::atomic<bool>& stopping, std::string& transcript,
                                   std::mutex& transcriptMutex)
    : fd_(fd), stopping_(stopping), transcript_(transcript), transcriptMutex_(transcriptMutex) {}

ServerConnection::~ServerConnection() { Close(); }

void ServerConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ServerConnection::Reset() {
  const linger abortive{1, 0};
  if (fd_ >= 0) ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  Close();
}

void ServerConnection::WaitUntilDelivered() {
  // SIOCOUTQ counts the bytes the client's side has not acknowledged yet.
  for (int waited = 0; fd_ >= 0 && !stopping_ && waited < 1000; ++waited) {
    int unacknowledged = 0;
    if (::ioctl(fd_, SIOCOUTQ, &unacknowledged) != 0 || unacknowledged == 0) return;
    ::usleep(kStepMs * 1000);
  }
}

bool ServerConnection::Send(std::string_view text) {
  while (!text.empty() && fd_ >= 0) {
    const ssize_t sent = ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(sent));
  }
  return fd_ >= 0;
}

bool ServerConnection::Fill() {
  while (fd_ >= 0 && !stopping_) {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, kStepMs) <= 0) continue;
    char piece[65536];
    const ssize_t count = ::recv(fd_, piece, sizeof piece, 0);
    if (count <= 0) return false;
    buffer_.append(piece, static_cast<std::size_t>(count));
    const std::lock_guard lock(transcriptMutex_);
    transcript_.append(piece, static_cast<std::size_t>(count));
    return true;
  }
  return false;
}

std::string ServerConnection::ReadUntil(std::string_view terminator) {
  for (;;) {
    if (const auto at = buffer_.find(terminator); at != std::string::npos) {
      std::string text = buffer_.substr(0, at + terminator.size());
      buffer_.erase(0, at + terminator.size());
      return text;
    }
    if (!Fill()) return {};
  }
}

std::string ServerConnection::ReadLine() { return ReadUntil("\n"); }

void ServerConnection::DrainUntilClosed() {
  while (Fill()) buffer_.clear();
}

// --- ScriptedServer ----------------------------------------------------------

ScriptedServer::ScriptedServer(Script script, int connections) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 4) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("scripted server cannot listen");
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this, script = std::move(script), connections] { Run(script, connections); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listenFd_);
}

void ScriptedServer::Run(Script script, int connections) {
  struct MarkDone {
    std::atomic<bool>& done;
    ~MarkDone() { done = true; }
  } markDone{done_};
  while (!stopping_) {
    pollfd entry{listenFd_, POLLIN, 0};
    if (::poll(&entry, 1, kStepMs) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ServerConnection connection(fd, stopping_, transcript_, transcriptMutex_);
    script(connection);
    if (--connections == 0) return;
  }
}

std::string ScriptedServer::Transcript() {
  // A script still waiting for the client after this long is told to stop.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done_ && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  const std::lock_guard lock(transcriptMutex_);
  return transcript_;
}

ScriptedServer::Script SmtpScript(std::vector<std::pair<std::string, std::string>> replies, std::string greeting) {
  return [replies = std::move(replies), greeting = std::move(greeting)](ServerConnection& c) {
    const auto answer = [&replies](const std::string& line, std::string fallback) {
      for (const auto& [start, reply] : replies)
        if (line.rfind(start, 0) == 0) return reply;
      return fallback;
    };
    c.Send(greeting);
    for (;;) {
      const std::string line = c.ReadLine();
      if (line.empty()) return;
      if (line.rfind("DATA", 0) == 0) {
        const std::string reply = answer(line, "354 go ahead\r\n");
        c.Send(reply);
        if (reply.rfind("354", 0) != 0) continue;
        if (c.ReadUntil("\r\n.\r\n").empty()) return;
        c.Send(answer(".", "250 accepted\r\n"));
      } else if (line.rfind("QUIT", 0) == 0) {
        c.Send(answer(line, "221 bye\r\n"));
        c.Close();
        return;
      } else {
        c.Send(answer(line, "250 ok\r\n"));
      }
    }
  };
}

}  // namespace voltare::net::testing
