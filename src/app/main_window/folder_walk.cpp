// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/file.h"
#include "transforms/vlt_format.h"

namespace voltare::app {

namespace {

// One open folder descriptor at a time: the walk climbs back up through ".."
// instead of holding one per level, so depth costs no descriptors.
class FolderFd {
 public:
  explicit FolderFd(int fd = -1) noexcept : fd_(fd) {}
  ~FolderFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderFd(const FolderFd&) = delete;
  FolderFd& operator=(const FolderFd&) = delete;
  void Reset(int fd) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const noexcept { return fd_; }

 private:
  int fd_;
};

struct Folder {
  std::string path;  // as the user will see it
  dev_t device = 0;
  ino_t inode = 0;
  std::vector<std::string> subfolders;  // names, still to visit
  std::size_t next = 0;
};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string Join(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Later steps open files by their full path; one the kernel would refuse
// must be reported here, while the walk still knows it is there.
void AddFile(std::string path, FolderContents& out) {
  if (path.size() >= PATH_MAX) {
    out.unreachable.push_back({std::move(path), ENAMETOOLONG});
  } else {
    out.files.push_back(std::move(path));
  }
}

// How many entries are read between two questions to the caller: a folder
// of a million files must not keep the window from painting or stopping.
constexpr std::size_t kEntriesBetweenQuestions = 512;

bool Continues(const KeepWalking& keepWalking) { return !keepWalking || keepWalking(); }

// Reads the folder open at `fd`: takes its files, lists its subfolders.
// Stopped by `keepWalking`, it returns without subfolders to visit.
Folder ReadFolder(int fd, std::string path, FolderContents& out, const KeepWalking& keepWalking) {
  Folder folder;
  folder.path = std::move(path);
  struct stat self {};
  if (::fstat(fd, &self) == 0) {
    folder.device = self.st_dev;
    folder.inode = self.st_ino;
  }
  const int own = ::dup(fd);  // closedir closes what fdopendir was given
  DIR* dir = own >= 0 ? ::fdopendir(own) : nullptr;
  if (dir == nullptr) {
    const int error = errno;
    if (own >= 0) ::close(own);
    out.unreachable.push_back({folder.path, error});
    return folder;
  }
  for (std::size_t read = 1; const dirent* entry = ::readdir(dir); ++read) {
    if (read % kEntriesBetweenQuestions == 0 && !Continues(keepWalking)) {
      folder.subfolders.clear();
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string full = Join(folder.path, name);
    struct stat info {};
    if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      out.unreachable.push_back({full, errno});
    } else if (S_ISDIR(info.st_mode)) {
      folder.subfolders.push_back(name);
    } else if (S_ISREG(info.st_mode)) {
      AddFile(full, out);
    } else if (S_ISLNK(info.st_mode) && ::fstatat(fd, name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode)) {
      AddFile(full, out);
    }
  }
  ::closedir(dir);
  return folder;
}

bool IsFolder(int fd, const Folder& expected) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_dev == expected.device && info.st_ino == expected.inode;
}

// What could not be visited once the way back up is lost (the tree was moved
// while it was read): every folder still waiting.
void GiveUp(std::vector<Folder>& stack, int error, FolderContents& out) {
  for (const Folder& folder : stack) {
    for (std::size_t i = folder.next; i < folder.subfolders.size(); ++i) {
      out.unreachable.push_back({Join(folder.path, folder.subfolders[i]), error});
    }
  }
  stack.clear();
}

bool HasExtension(const std::string& path, const char* extension) {
  const std::size_t length = std::strlen(extension);
  return path.size() > length && ::strcasecmp(path.c_str() + path.size() - length, extension) == 0;
}

bool StartsWithArchiveMagic(const std::string& path) {
  try {
    platform::File file(path, platform::File::Mode::Read);
    std::array<std::uint8_t, 3> head{};
    return file.read(head) == head.size() && head == std::array<std::uint8_t, 3>{'P', 'L', 'X'};
  } catch (...) {
    return false;
  }
}

}  // namespace

bool IsEncryptedFile(const std::string& path) {
  if (HasExtension(path, ".vlt")) return transforms::IsVltFile(path);
  if (HasExtension(path, ".plx")) return StartsWithArchiveMagic(path);
  return false;
}

bool IsStreamSource(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

FolderContents WalkFolder(const std::filesystem::path& directory, const KeepWalking& keepWalking) {
  FolderContents out;
  // The folder the user named may be a link to one; below it none is followed.
  FolderFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) {
    out.unreachable.push_back({directory.string(), errno});
    return out;
  }
  std::vector<Folder> stack;
  stack.push_back(ReadFolder(fd.get(), directory.string(), out, keepWalking));
  while (!stack.empty()) {
    if (!Continues(keepWalking)) break;
    Folder& top = stack.back();
    if (top.next < top.subfolders.size()) {
      const std::string& name = top.subfolders[top.next++];
      const int child = ::openat(fd.get(), name.c_str(), kFolderFlags);
      if (child < 0) {
        out.unreachable.push_back({Join(top.path, name), errno});
        continue;
      }
      std::string childPath = Join(top.path, name);
      fd.Reset(child);
      stack.push_back(ReadFolder(fd.get(), std::move(childPath), out, keepWalking));
      continue;
    }
    stack.pop_back();
    if (stack.empty()) break;
    const int parent = ::openat(fd.get(), "..", kFolderFlags & ~O_NOFOLLOW);
    const int error = parent < 0 ? errno : ENOENT;
    fd.Reset(parent);
    if (parent < 0 || !IsFolder(parent, stack.back())) GiveUp(stack, error, out);
  }
  return out;
}

}  // namespace voltare::app
