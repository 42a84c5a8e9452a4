// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/translate.h"
#include "platform/file_hold.h"
#include "platform/staged_file.h"

namespace voltare::platform {

namespace {

constexpr int kMarkAttempts = 16;
constexpr int kNameAttempts = 64;

// Why a folder cannot hold the temporary files, shown after "the folder X: "
// in the user's language.
// TRANSLATORS: each of these "it is ..." texts says why a folder cannot hold
// the program's temporary files; it follows "Temporary files cannot be kept
// in the folder /tmp: " and is followed by ". They hold decrypted data, ...".
constexpr common::Text kForeignOwner = N_("it belongs to another user");
constexpr common::Text kSymbolicLink = N_("it is a symbolic link, not a folder");
constexpr common::Text kNotAFolder = N_("it is not a folder");
// TRANSLATORS: %s is the folder's permissions in octal, such as 0755.
constexpr common::Text kOpenToOthers = N_("other users may open it (its permissions are %s, not 0700)");
constexpr common::Text kRootOpenToOthers = N_("other users may write in it, and it is not sticky");
constexpr common::Text kNotCreated = N_("the file could not be created");

std::mutex hookMutex;
std::function<void(const std::filesystem::path&)> afterOpenHook;

// The errno of the last failure to create a file in a checked directory, for
// the message that reports it.
std::atomic<int> lastCreateError{0};

std::filesystem::path TempRoot() {
  const char* tmpdir = std::getenv("TMPDIR");
  return (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
}

std::filesystem::path PrivateDirPath() { return TempRoot() / ("kova-voltare-" + std::to_string(::getuid())); }

// The private directory open, or the reason it cannot be.
struct OpenedDir {
  File dir;
  TempFolderTrouble trouble;
};

OpenedDir Refused(const std::filesystem::path& folder, std::string reason, bool unsafe = true) {
  return {File(), {folder, std::move(reason), unsafe}};
}

OpenedDir SystemFailure(const std::filesystem::path& folder, int error) {
  return Refused(folder, std::strerror(error), false);
}

// Anyone who may rename entries in the root could swap our directory for
// theirs between two uses of its name: its owner, and, unless the sticky bit
// keeps each entry to its owner, the group and others when they may write.
const common::Text* RootProblem(const struct stat& root) {
  if (root.st_uid != 0 && root.st_uid != ::geteuid()) return &kForeignOwner;
  if ((root.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (root.st_mode & S_ISVTX) == 0) return &kRootOpenToOthers;
  return nullptr;
}

// A directory we may keep secrets in: ours, closed to others. One that has
// been open to others is refused rather than repaired: while it was open,
// anyone could have placed or taken files in it.
std::string PrivateDirProblem(const struct stat& info) {
  if (!S_ISDIR(info.st_mode)) return kNotAFolder.str();
  if (info.st_uid != ::geteuid()) return kForeignOwner.str();
  if ((info.st_mode & 0777) != 0700) {
    char permissions[16];
    std::snprintf(permissions, sizeof permissions, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return common::Filled(kOpenToOthers, {permissions});
  }
  return {};
}

// Opens the private directory once (made mode 0700 when missing), never
// through a link, and checks what was opened rather than what a name meant a
// moment before.
OpenedDir OpenPrivateDir() {
  const std::filesystem::path root = TempRoot();
  const std::filesystem::path path = PrivateDirPath();
  const File rootDir = [&] {
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? File() : File::Adopt(fd, root);
  }();
  if (!rootDir.isOpen()) return SystemFailure(root, errno);
  struct stat info {};
  if (::fstat(rootDir.fd(), &info) != 0) return SystemFailure(root, errno);
  if (const common::Text* problem = RootProblem(info)) return Refused(root, problem->str());

  const std::string name = path.filename().string();
  const bool made = ::mkdirat(rootDir.fd(), name.c_str(), 0700) == 0;
  if (!made && errno != EEXIST) return SystemFailure(path, errno);
  const int fd = ::openat(rootDir.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (::fstatat(rootDir.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
      return Refused(path, (S_ISLNK(info.st_mode) ? kSymbolicLink : kNotAFolder).str());
    }
    return SystemFailure(path, error);
  }
  File dir = File::Adopt(fd, path);
  if (made) ::fchmod(dir.fd(), 0700);  // a restrictive umask must not lock us out
  if (::fstat(dir.fd(), &info) != 0) return SystemFailure(path, errno);
  if (std::string problem = PrivateDirProblem(info); !problem.empty()) return Refused(path, std::move(problem));

  std::function<void(const std::filesystem::path&)> hook;
  {
    const std::lock_guard lock(hookMutex);
    hook = afterOpenHook;
  }
  if (hook) hook(path);
  return {std::move(dir), {}};
}

// A path the kernel resolves through the descriptor itself, whatever has
// since taken the directory's name. Where /proc is not mounted, the name as
// checked: the check then holds only until someone renames the directory.
std::filesystem::path ThroughDescriptor(const File& dir) {
  const std::filesystem::path magic = "/proc/self/fd/" + std::to_string(dir.fd());
  struct stat viaProc {
  }, held{};
  if (::stat(magic.c_str(), &viaProc) == 0 && ::fstat(dir.fd(), &held) == 0 && viaProc.st_dev == held.st_dev &&
      viaProc.st_ino == held.st_ino) {
    return magic;
  }
  return dir.path();
}

std::string RandomTempName() {
  constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string name = "Vol";
  for (int i = 0; i < 6; ++i) name += kLetters[pick(engine)];
  return name + ".TMP";
}

// Creates "Vol<unique>.TMP" in the directory open as `dirFd`, exclusively,
// never through a link, with mode 0600; its descriptor (read and write), or -1.
int CreateTempFileAt(int dirFd, std::string& name) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = RandomTempName();
    const int fd = ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  lastCreateError = errno;
  return -1;
}

// The names the program gives its files here: "Vol<unique>.TMP" and the
// archive members taken out for decryption ("<name>.vlt").
bool IsProgramFileName(const std::string& name) {
  return ::fnmatch("Vol*.TMP", name.c_str(), FNM_PERIOD) == 0 || ::fnmatch("*.vlt", name.c_str(), FNM_PERIOD) == 0;
}

// A TempFolder is its mark file's name with this appended.
constexpr char kFolderSuffix[] = ".d";

// The names in the directory open as `dirFd`, read through a descriptor of
// its own so that `dirFd` keeps its position and stays open.
std::vector<std::string> NamesAt(int dirFd) {
  std::vector<std::string> names;
  const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return names;
  DIR* listing = ::fdopendir(listFd);
  if (listing == nullptr) {
    ::close(listFd);
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(listing);
  return names;
}

// Removes the regular files in the folder open as `folderFd` (a TempFolder
// holds nothing else).
void RemoveFolderFiles(int folderFd) noexcept {
  try {
    for (const std::string& name : NamesAt(folderFd)) {
      struct stat info {};
      if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
        ::unlinkat(folderFd, name.c_str(), 0);
      }
    }
  } catch (...) {
    // Out of memory for the names: the next start's clean-up takes them.
  }
}

// A killed run's TempFolder: a real folder of this user named like one,
// whose mark file is gone (its run removed the mark last, and a cleaner
// removes only an unmarked one).
bool IsOrphanedFolderAt(int dirFd, const std::string& name) {
  if (!name.ends_with(kFolderSuffix)) return false;
  const std::string markName = name.substr(0, name.size() - std::strlen(kFolderSuffix));
  struct stat info {};
  if (::fnmatch("Vol*.TMP", markName.c_str(), FNM_PERIOD) != 0 ||
      ::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != ::geteuid()) {
    return false;
  }
  return ::fstatat(dirFd, markName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

void RemoveFolderAt(int dirFd, const std::string& name) noexcept {
  const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  RemoveFolderFiles(fd);
  ::close(fd);
  ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
}

}  // namespace

std::optional<std::filesystem::path> PrivateTempDir() {
  OpenedDir opened = OpenPrivateDir();
  if (!opened.dir.isOpen()) return std::nullopt;
  return opened.dir.path();
}

TempFolderTrouble DiagnoseTempFolder() {
  OpenedDir opened = OpenPrivateDir();
  if (!opened.dir.isOpen()) return opened.trouble;
  const int error = lastCreateError.load();
  return {opened.dir.path(), error != 0 ? std::strerror(error) : kNotCreated.str(), false};
}

std::optional<std::filesystem::path> MakeTempFileName() {
  const OpenedDir opened = OpenPrivateDir();
  if (!opened.dir.isOpen()) return std::nullopt;
  std::string name;
  const int fd = CreateTempFileAt(opened.dir.fd(), name);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return opened.dir.path() / name;
}

TempFile::TempFile(File directory, std::string name, int fd, std::shared_ptr<const TempFolder> folder)
    : directory_(std::move(directory)), name_(std::move(name)), fd_(fd), folder_(std::move(folder)) {
  path_ = (folder_ != nullptr ? folder_->path() : ThroughDescriptor(directory_)) / name_;
}

int TempFile::directoryFd() const noexcept { return folder_ != nullptr ? folder_->folder_.fd() : directory_.fd(); }

std::optional<TempFile> TempFile::Create() {
  for (int attempt = 0; attempt < kMarkAttempts; ++attempt) {
    OpenedDir opened = OpenPrivateDir();
    if (!opened.dir.isOpen()) return std::nullopt;
    std::string name;
    const int fd = CreateTempFileAt(opened.dir.fd(), name);
    if (fd < 0) return std::nullopt;
    if (MarkInUseAt(fd, opened.dir.fd(), name.c_str())) return TempFile(std::move(opened.dir), name, fd);
    ::close(fd);  // another copy's cleaning took it before the mark
  }
  return std::nullopt;
}

std::optional<TempFile> TempFile::CreateIn(std::shared_ptr<const TempFolder> folder) {
  if (folder == nullptr) return std::nullopt;
  std::string name;
  const int fd = CreateTempFileAt(folder->folder_.fd(), name);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return TempFile(File(), std::move(name), -1, std::move(folder));
}

TempFile::~TempFile() { Release(); }

TempFile::TempFile(TempFile&& other) noexcept
    : directory_(std::move(other.directory_)),
      name_(std::move(other.name_)),
      path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      folder_(std::move(other.folder_)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Release();
    directory_ = std::move(other.directory_);
    name_ = std::move(other.name_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    folder_ = std::move(other.folder_);
  }
  return *this;
}

// Removes the file before the mark goes, so that nobody sees it unmarked.
void TempFile::Release() noexcept {
  if (fd_ < 0 && folder_ == nullptr) return;
  ::unlinkat(directoryFd(), name_.c_str(), 0);
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  folder_.reset();
  directory_ = File();
}

TempFolder::TempFolder(TempFile mark, std::string name, File folder)
    : mark_(std::move(mark)), name_(std::move(name)), folder_(std::move(folder)), path_(ThroughDescriptor(folder_)) {}

std::shared_ptr<const TempFolder> TempFolder::Create() {
  for (int attempt = 0; attempt < kMarkAttempts; ++attempt) {
    std::optional<TempFile> mark = TempFile::Create();
    if (!mark) return nullptr;
    const int dirFd = mark->directoryFd();
    std::string name = mark->name_ + kFolderSuffix;
    if (::mkdirat(dirFd, name.c_str(), 0700) == 0) {
      const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0) {
        ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
        return nullptr;
      }
      File folder = File::Adopt(fd, mark->directory_.path() / name);
      return std::shared_ptr<const TempFolder>(new TempFolder(std::move(*mark), std::move(name), std::move(folder)));
    }
    if (errno != EEXIST) return nullptr;
    // A killed run's folder under the new mark's name: its files are not ours.
  }
  return nullptr;
}

// Emptied and removed while the mark still stands, so that no cleaner meets
// the folder without it.
TempFolder::~TempFolder() {
  RemoveFolderFiles(folder_.fd());
  ::unlinkat(mark_.directoryFd(), name_.c_str(), AT_REMOVEDIR);
}

void RemoveStaleTempFiles() noexcept {
  const OpenedDir opened = OpenPrivateDir();
  if (!opened.dir.isOpen()) return;
  const int dirFd = opened.dir.fd();
  try {
    for (const std::string& name : NamesAt(dirFd)) {
      if (IsProgramFileName(name)) RemoveIfUnusedAt(dirFd, name.c_str());
    }
    // After the files: a killed run's mark file has gone by now.
    for (const std::string& name : NamesAt(dirFd)) {
      if (IsOrphanedFolderAt(dirFd, name)) RemoveFolderAt(dirFd, name);
    }
  } catch (...) {
    // Out of memory for the names: the next start tries again.
  }
  RemoveStaleStagedFilesAt(dirFd, opened.dir.path());
}

namespace temp_test_hooks {

void SetAfterOpen(std::function<void(const std::filesystem::path&)> hook) {
  const std::lock_guard lock(hookMutex);
  afterOpenHook = std::move(hook);
}

}  // namespace temp_test_hooks

}  // namespace voltare::platform
