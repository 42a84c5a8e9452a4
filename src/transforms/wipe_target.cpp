// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/wipe_target.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "common/translate.h"
#include "platform/os_error.h"
#include "transforms/wipe_messages.h"

namespace voltare::transforms {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kNeutralNameLength = 156;

[[noreturn]] void Refuse(std::string_view format, const fs::path& path) {
  throw WipeRefused(FillWipeMessage(format, {path.string()}));
}

[[noreturn]] void RefuseWithReason(std::string_view format, const fs::path& path, int error) {
  throw WipeRefused(FillWipeMessage(format, {path.string(), std::strerror(error)}));
}

// The refusal for a name that is there but is no regular file.
[[noreturn]] void RefuseKind(mode_t mode, const fs::path& path) {
  if (S_ISLNK(mode)) Refuse(wipe_messages::kSymbolicLink, path);
  if (S_ISDIR(mode)) Refuse(wipe_messages::kFolder, path);
  if (S_ISFIFO(mode)) Refuse(wipe_messages::kFifo, path);
  Refuse(wipe_messages::kSpecialFile, path);
}

bool SameFile(const struct stat& info, dev_t device, ino_t inode) {
  return info.st_dev == device && info.st_ino == inode;
}

void CloseQuietly(int& fd) noexcept {
  if (fd >= 0) ::close(std::exchange(fd, -1));
}

// Renames within one folder, never replacing what is at `to`. File systems
// without the atomic form get a hard link that fails when the name is taken.
int RenameWithoutReplacing(int folder, const std::string& from, const std::string& to) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) return error;
  if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return errno;
  if (::unlinkat(folder, from.c_str(), 0) != 0) {
    const int unlinkError = errno;
    ::unlinkat(folder, to.c_str(), 0);
    return unlinkError;
  }
  return 0;
}

}  // namespace

WipeTarget::WipeTarget(const fs::path& path) : WipeTarget(path, Access::Wipe) {}

std::unique_ptr<WipeTarget> WipeTarget::Hold(const fs::path& path) {
  return std::unique_ptr<WipeTarget>(new WipeTarget(path, Access::ReadThenWipe));
}

WipeTarget::WipeTarget(const fs::path& path, Access access) : path_(path), name_(path.filename().string()) {
  try {
    openFolder();
    openFile(access);
  } catch (...) {
    CloseQuietly(file_);
    CloseQuietly(folder_);
    throw;
  }
}

WipeTarget::~WipeTarget() {
  CloseQuietly(file_);
  CloseQuietly(folder_);
}

// A folder the user reached through a symbolic link is still the folder
// meant, so the path is resolved first; from then on the opened folder is
// held, and a link swapped in later is noticed by requireUnchanged.
void WipeTarget::openFolder() {
  if (name_.empty() || name_ == "." || name_ == "..") Refuse(wipe_messages::kFolder, path_);
  const fs::path given = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
  std::error_code error;
  folderPath_ = fs::canonical(given, error);
  if (error)
    throw platform::OsError(error.value(), common::Filled(tr_("cannot find the folder of %s"), {path_.string()}));
  folder_ = ::open(folderPath_.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder_ < 0) platform::ThrowLastError(common::Filled(tr_("cannot open the folder of %s"), {path_.string()}));
  struct stat info {};
  if (::fstat(folder_, &info) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot examine %s"), {folderPath_.string()}));
  folderDevice_ = info.st_dev;
  folderInode_ = info.st_ino;
}

// Write only, so a file we may write but not read can be wiped too (a held
// file is read first, so it needs both); without blocking, so a FIFO swapped
// in after the look cannot hang the wipe.
void WipeTarget::openFile(Access access) {
  struct stat named {};
  if (::fstatat(folder_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    platform::ThrowLastError(common::Filled(tr_("cannot examine %s"), {path_.string()}));
  }
  if (!S_ISREG(named.st_mode)) RefuseKind(named.st_mode, path_);
  const int mode = access == Access::Wipe ? O_WRONLY : O_RDWR;
  file_ = ::openat(folder_, name_.c_str(), mode | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file_ < 0) {
    if (errno == ELOOP) Refuse(wipe_messages::kSymbolicLink, path_);
    if (errno == ENXIO) Refuse(wipe_messages::kFifo, path_);
    if (errno == EISDIR) Refuse(wipe_messages::kFolder, path_);
    platform::ThrowLastError(common::Filled(tr_("cannot open %s"), {path_.string()}));
  }
  struct stat opened {};
  if (::fstat(file_, &opened) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot examine %s"), {path_.string()}));
  if (!S_ISREG(opened.st_mode)) RefuseKind(opened.st_mode, path_);
  if (!SameFile(opened, named.st_dev, named.st_ino)) Refuse(wipe_messages::kNameSwapped, path_);
  device_ = opened.st_dev;
  inode_ = opened.st_ino;
  if (access == Access::ReadThenWipe) {
    // Shared, as any file being read; the lock belongs to the open file, so
    // it outlives the view it was taken through.
    readingView().lockShared();
    return;
  }
  if (::flock(file_, LOCK_EX | LOCK_NB) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot lock %s"), {path_.string()}));
  refuseOtherNames();
}

// Looked at after the exclusive lock, so no cooperating program adds a name
// meanwhile.
void WipeTarget::refuseOtherNames() const {
  struct stat opened {};
  if (::fstat(file_, &opened) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot examine %s"), {path_.string()}));
  if (opened.st_nlink > 1) Refuse(wipe_messages::kHardLinks, path_);
}

platform::File WipeTarget::readingView() const {
  const int view = ::fcntl(file_, F_DUPFD_CLOEXEC, 0);
  if (view < 0) platform::ThrowLastError(common::Filled(tr_("cannot open %s"), {path_.string()}));
  platform::File file = platform::File::Adopt(view, path_);
  file.seek(0);
  return file;
}

bool WipeTarget::nameRefersToFile() const {
  struct stat info {};
  return ::fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(info, device_, inode_);
}

void WipeTarget::takeForWipe() {
  if (file_ < 0) throw platform::OsError(EBADF, common::Filled(tr_("closed: %s"), {path_.string()}));
  if (::flock(file_, LOCK_EX | LOCK_NB) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot lock %s"), {path_.string()}));
  refuseOtherNames();
  if (!nameRefersToFile()) Refuse(wipe_messages::kNameSwapped, path_);
  if (::lseek(file_, 0, SEEK_SET) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot seek in %s"), {path_.string()}));
}

void WipeTarget::closeFile() {
  if (file_ < 0) return;
  if (::close(std::exchange(file_, -1)) != 0)
    platform::ThrowLastError(common::Filled(tr_("cannot close %s"), {path_.string()}));
}

// The folder must still be where the path leads, and the name must still be
// the overwritten file; otherwise nothing is deleted.
void WipeTarget::requireUnchanged() const {
  struct stat info {};
  if (::lstat(folderPath_.c_str(), &info) != 0 || !SameFile(info, folderDevice_, folderInode_)) {
    Refuse(wipe_messages::kFolderMoved, path_);
  }
  if (!nameRefersToFile()) Refuse(wipe_messages::kNameSwapped, path_);
}

void WipeTarget::renameAndRemove() {
  requireUnchanged();
  const std::string neutral(kNeutralNameLength, 'a');
  if (const int error = RenameWithoutReplacing(folder_, name_, neutral); error != 0) {
    // The contents are gone already; the name should not outlive them.
    struct stat info {};
    const bool removed = ::fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                         SameFile(info, device_, inode_) && ::unlinkat(folder_, name_.c_str(), 0) == 0;
    RefuseWithReason(removed ? wipe_messages::kRenameFailedNameRemoved : wipe_messages::kRenameFailedNameKept, path_,
                     error);
  }
  struct stat info {};
  if (::fstatat(folder_, neutral.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(info, device_, inode_)) {
    Refuse(wipe_messages::kNameSwapped, path_);
  }
  if (::unlinkat(folder_, neutral.c_str(), 0) != 0) RefuseWithReason(wipe_messages::kRemoveFailed, path_, errno);
}

namespace {

std::vector<WipeExtent> FindAllocatedExtents(int fd, std::uint64_t size) {
  std::vector<WipeExtent> extents;
  off_t position = 0;
  const auto end = static_cast<off_t>(size);
  while (position < end) {
    const off_t data = ::lseek(fd, position, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;     // only a hole is left
      return {WipeExtent{0, size}};  // holes unknown here: all of it
    }
    if (data >= end) break;
    off_t hole = ::lseek(fd, data, SEEK_HOLE);
    if (hole < 0 || hole > end) hole = end;
    extents.push_back({static_cast<std::uint64_t>(data), static_cast<std::uint64_t>(hole - data)});
    position = hole;
  }
  return extents;
}

}  // namespace

// Looking for data and holes moves the file position; it is put back at the
// start, where every pass begins.
std::vector<WipeExtent> AllocatedExtents(int fd, std::uint64_t size) {
  std::vector<WipeExtent> extents = FindAllocatedExtents(fd, size);
  if (::lseek(fd, 0, SEEK_SET) != 0) platform::ThrowLastError(tr_("cannot seek in the file to wipe"));
  return extents;
}

std::string FillWipeMessage(std::string_view format, std::initializer_list<std::string_view> values) {
  std::string text;
  auto value = values.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const bool placeholder =
        format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'd');
    if (placeholder && value != values.end()) {
      text += *value++;
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

}  // namespace voltare::transforms
