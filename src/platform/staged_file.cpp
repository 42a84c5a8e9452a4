// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/staged_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/translate.h"
#include "platform/file_hold.h"
#include "platform/os_error.h"

namespace voltare::platform {

namespace {

constexpr int kNameAttempts = 64;
constexpr std::string_view kStagedPrefix = ".vlt-";  // hidden, and never a name the program gives
constexpr std::string_view kStagedSuffix = ".part";
constexpr std::size_t kRandomLength = 8;
constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";

// What tells the program's own staging files from a user's file that merely
// has such a name: an extended attribute, which no other program sets and
// which survives the mode the file is given; where the file system keeps no
// user attributes, the sticky bit on a private file (mode 01600), which
// nothing else gives a regular file. The clean-up takes only marked files.
constexpr char kStagedMark[] = "user.kova-voltare.staged";
constexpr mode_t kStagedMarkMode = S_ISVTX | S_IRUSR | S_IWUSR;

// ---------------------------------------------------------------------------
// Test seams

std::mutex hookMutex;
staging_test_hooks::Hook afterCreateHook;
staging_test_hooks::Hook leftoverScanHook;

void RunHook(const staging_test_hooks::Hook& hook, const std::filesystem::path& path) {
  staging_test_hooks::Hook copy;
  {
    const std::lock_guard lock(hookMutex);
    copy = hook;
  }
  if (copy) copy(path);
}

// ---------------------------------------------------------------------------
// Names and directories

std::string RandomStagingName() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string name(kStagedPrefix);
  for (std::size_t i = 0; i < kRandomLength; ++i) name += kLetters[pick(engine)];
  return name + std::string(kStagedSuffix);
}

std::filesystem::path DirectoryOf(const std::filesystem::path& target) {
  auto dir = target.parent_path();
  return dir.empty() ? std::filesystem::path(".") : dir;
}

// The file a write replaces: for an edited file, what a link leads to.
std::filesystem::path ResolveTarget(const std::filesystem::path& target, Replacing rule) {
  std::error_code error;
  if (rule == Replacing::TheName || !std::filesystem::is_symlink(target, error)) return target;
  auto resolved = std::filesystem::canonical(target, error);
  if (error) throw OsError(error.value(), common::Filled(tr_("cannot follow the link %s"), {target.string()}));
  return resolved;
}

// Readable where it may be, so that it can be read for leftovers and flushed;
// a directory we may only write in (a drop box) is held by a path descriptor.
File OpenDirectory(const std::filesystem::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowLastError(common::Filled(tr_("cannot open the folder %s"), {dir.string()}));
  return File::Adopt(fd, dir);
}

bool CarriesStagedMark(int fd) noexcept {
  char value = 0;
  if (::fgetxattr(fd, kStagedMark, &value, sizeof value) >= 0) return true;
  struct stat info {};
  return ::fstat(fd, &info) == 0 && (info.st_mode & 07777) == kStagedMarkMode;
}

// The mark goes once the file has its real name: nothing of it stays on the output.
void RemoveStagedMark(int fd) noexcept {
  ::fremovexattr(fd, kStagedMark);
  struct stat info {};
  if (::fstat(fd, &info) == 0 && (info.st_mode & S_ISVTX) != 0) ::fchmod(fd, info.st_mode & 0777);
}

}  // namespace

bool MarkAsStaged(int fd) noexcept {
  return ::fsetxattr(fd, kStagedMark, "1", 1, 0) == 0 || ::fchmod(fd, kStagedMarkMode) == 0;
}

void RemoveStaleStagedFilesAt(int dirFd, const std::filesystem::path& dir) noexcept {
  RunHook(leftoverScanHook, dir);
  const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* listing = ::fdopendir(listFd);
  if (listing == nullptr) {
    ::close(listFd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (IsStagingName(entry->d_name)) RemoveIfUnusedAt(dirFd, entry->d_name, CarriesStagedMark);
  }
  ::closedir(listing);
}

namespace {

// ---------------------------------------------------------------------------
// Batches: which directories were already cleaned

std::mutex batchMutex;
int batchDepth = 0;
std::set<std::pair<dev_t, ino_t>> cleanedDirectories;

// Cleans the directory unless the running batch already did.
void CleanUpLeftovers(const File& directory) noexcept {
  struct stat info {};
  if (::fstat(directory.fd(), &info) == 0) {
    const std::lock_guard lock(batchMutex);
    if (batchDepth > 0 && !cleanedDirectories.emplace(info.st_dev, info.st_ino).second) return;
  }
  RemoveStaleStagedFilesAt(directory.fd(), directory.path());
}

}  // namespace

// ---------------------------------------------------------------------------

StagedFile::StagedFile(const std::filesystem::path& target, Replacing rule)
    : target_(ResolveTarget(target, rule)), targetName_(target_.filename().string()), rule_(rule) {
  if (IsStagingName(targetName_)) {
    throw RefusedError(ErrReservedName,
                       common::Filled(tr_("a temporary file's name cannot be an output: %s"), {target.string()}));
  }
  directory_ = OpenDirectory(DirectoryOf(target_));
  CleanUpLeftovers(directory_);
  CreateStagingFile();
  try {
    if (rule_ == Replacing::TheLinkedFile) KeepModeOfReplacedFile();
  } catch (...) {
    ::unlinkat(directory_.fd(), stagingName_.c_str(), 0);
    throw;
  }
  RunHook(afterCreateHook, staging_);
}

void StagedFile::CreateStagingFile() {
  for (int attempt = 1;; ++attempt) {
    stagingName_ = RandomStagingName();
    staging_ = directory_.path() / stagingName_;
    const int fd =
        ::openat(directory_.fd(), stagingName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      file_ = File::Adopt(fd, staging_);
      MarkAsStaged(fd);  // unmarked, a killed run's copy is left rather than a user's file risked
      if (MarkInUseAt(fd, directory_.fd(), stagingName_.c_str())) return;
      file_ = File();  // another copy's cleaning took it before the mark
    } else if (errno != EEXIST) {
      ThrowLastError(common::Filled(tr_("cannot stage %s"), {target_.string()}));
    }
    if (attempt == kNameAttempts) throw OsError(EEXIST, common::Filled(tr_("cannot stage %s"), {target_.string()}));
  }
}

void StagedFile::KeepModeOfReplacedFile() {
  struct stat existing {};
  if (::fstatat(directory_.fd(), targetName_.c_str(), &existing, 0) != 0) return;  // a new file
  // Another user's file is replaced by one that is private to us: its mode
  // may have been chosen to let its owner read what we write.
  if (existing.st_uid != ::geteuid()) return;
  if (::fchmod(file_.fd(), existing.st_mode & 07777) != 0) {
    ThrowLastError(common::Filled(tr_("cannot set the permissions of %s"), {staging_.string()}));
  }
}

bool StagedFile::NameRefersToOurFile(const std::string& name) const noexcept {
  struct stat opened {
  }, named{};
  return file_.isOpen() && ::fstat(file_.fd(), &opened) == 0 &&
         ::fstatat(directory_.fd(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

StagedFile::~StagedFile() {
  if (!committed_ && file_.isOpen()) {
    // Emptied through the descriptor first: a staging file someone renamed
    // away is out of our reach by name, and must not keep a copy.
    if (::ftruncate(file_.fd(), 0) != 0) {
      // Nothing more can be done with a file we may not shorten.
    }
    // Removed before the close lets go of the in-use mark; a name that has
    // come to mean another file is not ours to remove.
    if (NameRefersToOurFile(stagingName_)) ::unlinkat(directory_.fd(), stagingName_.c_str(), 0);
  }
  file_ = File();
}

void StagedFile::Commit() {
  file_.sync();
  const auto replaced = [&] {
    return RefusedError(ErrStagingReplaced,
                        common::Filled(tr_("the temporary file %s was replaced"), {staging_.string()}));
  };
  if (!NameRefersToOurFile(stagingName_)) throw replaced();
  // Renamed while still open, so that its in-use mark covers it until it has
  // its real name.
  if (::renameat(directory_.fd(), stagingName_.c_str(), directory_.fd(), targetName_.c_str()) != 0) {
    ThrowLastError(common::Filled(tr_("cannot rename %s to %s"), {staging_.string(), target_.string()}));
  }
  committed_ = true;
  RemoveStagedMark(file_.fd());
  // A swap between the check and the rename put the other file in place.
  const bool published = NameRefersToOurFile(targetName_);
  file_ = File();  // the contents are on the disk already; nothing is lost in the close
  ::fsync(directory_.fd());
  if (!published) throw replaced();
}

void WriteFileStaged(const std::filesystem::path& target, std::string_view contents, Replacing rule) {
  StagedFile staged(target, rule);
  staged.file().write({reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()});
  staged.Commit();
}

StagingBatch::StagingBatch() {
  const std::lock_guard lock(batchMutex);
  ++batchDepth;
}

StagingBatch::~StagingBatch() {
  const std::lock_guard lock(batchMutex);
  if (--batchDepth == 0) cleanedDirectories.clear();
}

bool IsStagingName(std::string_view name) noexcept {
  // Any characters between prefix and suffix: what any version may have made.
  return name.size() == kStagedPrefix.size() + kRandomLength + kStagedSuffix.size() &&
         name.starts_with(kStagedPrefix) && name.ends_with(kStagedSuffix);
}

void RemoveStaleStagedFiles(const std::filesystem::path& directory) noexcept {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  RemoveStaleStagedFilesAt(fd, directory);
  ::close(fd);
}

namespace staging_test_hooks {

void SetAfterCreate(Hook hook) {
  const std::lock_guard lock(hookMutex);
  afterCreateHook = std::move(hook);
}

void SetOnLeftoverScan(Hook hook) {
  const std::lock_guard lock(hookMutex);
  leftoverScanHook = std::move(hook);
}

}  // namespace staging_test_hooks

}  // namespace voltare::platform
