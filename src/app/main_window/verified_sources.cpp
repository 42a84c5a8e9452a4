// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/verified_sources.h"

#include <fcntl.h>
#include <unistd.h>

#include <exception>
#include <utility>

#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"
#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::app {

namespace fs = std::filesystem;

std::optional<FileIdentity> IdentityOf(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return FileIdentity{status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

HeldCopy::HeldCopy(const fs::path& path) : name_(path.filename().string()) {
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) platform::ThrowLastError(common::Filled(tr_("cannot open the folder of %s"), {path.string()}));
  folder_ = platform::File::Adopt(folderFd, folder);
  const int fd = ::openat(folder_.fd(), name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) platform::ThrowLastError(common::Filled(tr_("cannot open %s"), {path.string()}));
  file_ = platform::File::Adopt(fd, path);
  const auto identity = IdentityOf(file_.fd());
  if (!identity) platform::ThrowLastError(common::Filled(tr_("cannot examine %s"), {path.string()}));
  opened_ = *identity;
}

platform::File HeldCopy::ReadingView() const {
  const int view = ::fcntl(file_.fd(), F_DUPFD_CLOEXEC, 0);
  if (view < 0) platform::ThrowLastError(common::Filled(tr_("cannot open %s"), {path().string()}));
  platform::File file = platform::File::Adopt(view, path());
  file.seek(0);
  return file;
}

bool HeldCopy::Unchanged() const {
  struct stat named {};
  if (::fstatat(folder_.fd(), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return named.st_dev == opened_.device && named.st_ino == opened_.inode && IdentityOf(file_.fd()) == opened_;
}

void VerifiedSources::HoldBeforeReadBack(const std::string& source, const fs::path& copy) {
  held_.erase(source);
  Pair pair;
  try {
    pair.source = transforms::WipeTarget::Hold(source);
    if (const auto identity = IdentityOf(pair.source->fileDescriptor())) pair.sourceAsRead = *identity;
  } catch (const transforms::WipeRefused& refused) {
    pair.refusal = refused.what();
  } catch (...) {
    pair.failure = platform::CurrentExceptionCode();
  }
  pair.copy = HoldCopy(copy);
  held_[source] = std::move(pair);
}

// An archive holds the copies of many sources: it is opened once for them.
std::shared_ptr<const HeldCopy> VerifiedSources::HoldCopy(const fs::path& copy) {
  for (const auto& [source, pair] : held_) {
    if (pair.copy && pair.copy->path() == copy) return pair.copy;
  }
  try {
    return std::make_shared<const HeldCopy>(copy);
  } catch (const std::exception&) {
    return nullptr;  // nothing to hold the wipe to: the read-back fails
  }
}

std::optional<platform::File> VerifiedSources::SourceView(const std::string& source) const {
  const auto held = held_.find(source);
  if (held == held_.end() || !held->second.source) return std::nullopt;
  return held->second.source->readingView();
}

std::optional<platform::File> VerifiedSources::CopyView(const std::string& source) const {
  const auto held = held_.find(source);
  if (held == held_.end() || !held->second.copy) return std::nullopt;
  return held->second.copy->ReadingView();
}

bool VerifiedSources::ConfirmAfterReadBack(const std::string& source) {
  const auto held = held_.find(source);
  if (held == held_.end()) return false;
  if (held->second.copy && !Change(source, held->second)) return true;
  held_.erase(held);
  return false;
}

WipeHandOver VerifiedSources::TakeForWipe(const std::string& source) {
  WipeHandOver handOver;
  const auto found = held_.find(source);
  if (found == held_.end()) {
    handOver.refusal = messages::FormatName(messages::kChangedSinceVerified, source);
    return handOver;
  }
  Pair& held = found->second;
  if (held.refusal) {
    handOver.refusal = held.refusal;
  } else if (!held.source) {
    handOver.failure = held.failure == platform::Success ? platform::ErrInternal : held.failure;
  } else if (auto change = Change(source, held)) {
    handOver.refusal = std::move(change);
  } else {
    handOver.held = std::move(held.source);
  }
  return handOver;
}

std::optional<std::string> VerifiedSources::Change(const std::string& source, const Pair& held) {
  if (!held.copy || !held.copy->Unchanged()) return messages::FormatName(messages::kCopyGoneSinceVerified, source);
  // A source that could not be held is never wiped: its reason is given then.
  if (!held.source) return std::nullopt;
  if (IdentityOf(held.source->fileDescriptor()) != held.sourceAsRead || !held.source->nameRefersToFile()) {
    return messages::FormatName(messages::kChangedSinceVerified, source);
  }
  return std::nullopt;
}

}  // namespace voltare::app
