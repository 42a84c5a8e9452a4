#include "platform/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace voltare::platform {

namespace {

std::filesystem::path TempRoot() {
  const char* tmpdir = std::getenv("TMPDIR");
  return (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
}

// A directory we may keep secrets in: ours, not a symlink, closed to others.
// One that has been open to others is refused rather than repaired: while it
// was open, anyone could have placed or taken files in it.
bool IsPrivateDirectory(const std::filesystem::path& dir) {
  struct stat info {};
  if (::lstat(dir.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
  return (info.st_mode & 0777) == 0700;
}

}  // namespace

std::optional<std::filesystem::path> PrivateTempDir() {
  const auto dir = TempRoot() / ("kova-voltare-" + std::to_string(::getuid()));
  if (::mkdir(dir.c_str(), 0700) == 0) {
    ::chmod(dir.c_str(), 0700);  // a restrictive umask must not lock us out
  } else if (errno != EEXIST) {
    return std::nullopt;
  }
  if (!IsPrivateDirectory(dir)) return std::nullopt;
  return dir;
}

std::optional<std::filesystem::path> MakeTempFileName() {
  const auto dir = PrivateTempDir();
  if (!dir) return std::nullopt;
  std::string pattern = (*dir / "VolXXXXXX.TMP").string();
  // mkstemps creates the file exclusively with mode 0600.
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return std::filesystem::path(pattern);
}

}  // namespace voltare::platform
