// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell_open.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

namespace voltare::platform {

namespace {

constexpr const char* kOpener = "xdg-open";

std::optional<std::string> FindOnPath(std::string_view program) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = (path != nullptr && *path != '\0') ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const auto colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    const std::string candidate = (dir.empty() ? std::string(".") : std::string(dir)) + "/" + std::string(program);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string_view::npos) return std::nullopt;
    dirs.remove_prefix(colon + 1);
  }
}

// Both ends of a pipe, closed on every path out.
class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool ok() const { return fds_[0] >= 0; }
  int readEnd() const { return fds_[0]; }
  int writeEnd() const { return fds_[1]; }
  void closeRead() { CloseOnce(fds_[0]); }
  void closeWrite() { CloseOnce(fds_[1]); }

 private:
  static void CloseOnce(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fds_[2] = {-1, -1};
};

// In a forked child only async-signal-safe calls are allowed: report the
// errno through the pipe and leave.
[[noreturn]] void ReportAndExit(int pipeFd, int error) {
  [[maybe_unused]] const ssize_t ignored = ::write(pipeFd, &error, sizeof error);
  ::_exit(127);
}

// The grandchild: a session of its own, no terminal input, then the opener.
[[noreturn]] void RunOpener(int pipeFd, const char* opener, char* const argv[], const char* workingDirectory) {
  ::setsid();
  if (workingDirectory != nullptr && ::chdir(workingDirectory) != 0) ReportAndExit(pipeFd, errno);
  const int devNull = ::open("/dev/null", O_RDONLY);
  if (devNull >= 0) {
    ::dup2(devNull, STDIN_FILENO);
    if (devNull != STDIN_FILENO) ::close(devNull);
  }
  ::execv(opener, argv);
  ReportAndExit(pipeFd, errno);
}

int WaitForChild(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// What the children reported: 0 when the pipe closed silently (the exec
// happened), else the errno they sent.
int ReadReport(int pipeFd) {
  int error = 0;
  ssize_t n;
  do {
    n = ::read(pipeFd, &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace

[[nodiscard]] ResultCode ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) {
  if (target.empty() || target.find('\0') != std::string_view::npos) return EINVAL;
  const auto opener = FindOnPath(kOpener);
  if (!opener) return ENOENT;

  // Everything the children need is made before fork.
  std::string argument = target.starts_with('-') ? "./" + std::string(target) : std::string(target);
  std::string programName = kOpener;
  char* const argv[] = {programName.data(), argument.data(), nullptr};
  const std::string directory = workingDirectory.string();
  const char* directoryArg = directory.empty() ? nullptr : directory.c_str();

  Pipe report;
  if (!report.ok()) return errno;
  // The child starts the opener in a grandchild and leaves at once, so the
  // handler is never our child: we need not wait for it, and it leaves no
  // zombie behind.
  const pid_t child = ::fork();
  if (child < 0) return errno;
  if (child == 0) {
    report.closeRead();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) ReportAndExit(report.writeEnd(), errno);
    if (grandchild > 0) ::_exit(0);
    RunOpener(report.writeEnd(), opener->c_str(), argv, directoryArg);
  }
  report.closeWrite();
  const int waitError = WaitForChild(child);
  const int started = ReadReport(report.readEnd());
  return started != 0 ? started : waitError;
}

}  // namespace voltare::platform
