// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real peers for the network tests, all on 127.0.0.1 and a port the system
// picks, and all stopped when their object goes (also when a test fails).

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace voltare::net::testing {

// A helper script run by the system Python (which has the Debian packages
// the scripts need). The script prints its port on its first output line.
class PeerProcess {
 public:
  PeerProcess(const std::string& script, const std::vector<std::string>& arguments,
              const std::filesystem::path& logFile);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  int port() const noexcept { return port_; }

 private:
  int ReadPort(int outputFd, const std::filesystem::path& logFile);
  void Stop() noexcept;

  int pid_ = -1;
  int port_ = 0;
};

// One accepted connection, seen from the server's side.
class ServerConnection {
 public:
  ServerConnection(int fd, const std::atomic<bool>& stopping, std::string& transcript, std::mutex& transcriptMutex);
  ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  // False once the client is gone.
  bool Send(std::string_view text);
  // The next line, line feed included; empty when the client closed or the
  // server is stopping.
  std::string ReadLine();
  // Everything up to and including `terminator`; empty as above.
  std::string ReadUntil(std::string_view terminator);
  // Reads (and records) until the client closes or the server stops.
  void DrainUntilClosed();
  // Stays silent until the client closes or the server stops.
  void WaitSilently() { DrainUntilClosed(); }
  void Close();
  // Waits until the client's side has received everything sent so far.
  void WaitUntilDelivered();
  // Closes with a reset (RST) instead of an orderly close.
  void Reset();

 private:
  bool Fill();

  int fd_;
  const std::atomic<bool>& stopping_;
  std::string buffer_;
  std::string& transcript_;
  std::mutex& transcriptMutex_;
};

// A server whose behaviour a test writes as a function of one connection.
class ScriptedServer {
 public:
  using Script = std::function<void(ServerConnection&)>;
  // Runs `script` for each of the next `connections` connections, one after the other.
  explicit ScriptedServer(Script script, int connections = 1);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const noexcept { return port_; }
  // Waits for the script to end, then returns every byte the client sent.
  std::string Transcript();

 private:
  void Run(Script script, int connections);

  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> done_{false};
  std::mutex transcriptMutex_;
  std::string transcript_;
  std::thread thread_;
};

// A well-behaved SMTP conversation: greeting, 250 for every command, 354 for
// DATA, 221 for QUIT; `replies` overrides the answer to commands that start
// with a given text (the answer already carries its CR LF).
ScriptedServer::Script SmtpScript(std::vector<std::pair<std::string, std::string>> replies = {},
                                  std::string greeting = "220 ready\r\n");

// The path of a helper script next to the tests.
std::string ScriptPath(std::string_view name);

}  // namespace voltare::net::testing
