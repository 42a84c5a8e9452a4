// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::transforms {

platform::File OpenSource(const std::filesystem::path& path, bool exclusive) {
  platform::File file(path, platform::File::Mode::Read);
  if (exclusive) file.lockShared();
  return file;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

[[nodiscard]] platform::ResultCode RefusedFileJob(const std::filesystem::path& source, const Destination& destination,
                                                  const platform::Progress* progress) {
  if (source.empty() || destination.empty() || progress == nullptr) return platform::ErrInternal;
  if (!platform::FileExists(source)) return platform::ErrNoSuchFile;
  if (IsSameFile(source, destination)) return platform::ErrInternal;
  return platform::Success;
}

bool IsSameFile(const std::filesystem::path& source, const Destination& destination) {
  if (destination.held() == nullptr) return IsSameFile(source, destination.path());
  struct stat from {
  }, to{};
  return ::stat(source.c_str(), &from) == 0 && ::fstat(destination.held()->fd(), &to) == 0 &&
         from.st_dev == to.st_dev && from.st_ino == to.st_ino;
}

DestinationFile::DestinationFile(const Destination& destination) : file_(destination.held()) {
  if (file_ == nullptr) {
    owned_ = platform::File(destination.path(), platform::File::Mode::CreateTruncate);
    file_ = &owned_;
    return;
  }
  file_->truncate(0);
  file_->seek(0);
}

DestinationFile::~DestinationFile() {
  if (committed_ || !owned_.isOpen()) return;
  // Emptied through the descriptor first: if its name now means another file,
  // the half-written output must not survive under a name we cannot remove.
  if (::ftruncate(owned_.fd(), 0) != 0) {
    // A file we may not shorten: removing its name is all that is left.
  }
  platform::RemoveIfStillSame(owned_);
}

void DestinationFile::SyncToDisk() {
  file_->sync();
  // The data is safe once the file itself is flushed; a directory that may be
  // written but not opened (a drop box) must not turn that into a failure. A
  // held file gets its name, and that flush, from its holder.
  if (owned_.isOpen()) platform::TrySyncParentDirectory(owned_.path());
}

void DestinationFile::Commit() {
  if (!owned_.isOpen()) {
    committed_ = true;
    return;
  }
  const auto path = owned_.path();
  try {
    owned_.close();
  } catch (...) {
    // A failed close can mean lost data; the file is closed either way.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ignored))) {
      std::filesystem::remove(path, ignored);
    }
    throw;
  }
  committed_ = true;
}

std::uint64_t FileByteSource::Remaining() {
  const auto size = file_.size();
  const auto at = file_.tell();
  return at < size ? size - at : 0;
}

void FileByteSource::ReadExactly(std::span<std::uint8_t> buffer) {
  if (file_.read(buffer) != buffer.size()) {
    // The file shrank under us; EIO is what a reader of a vanished block sees.
    throw platform::OsError(EIO, common::Filled(tr_("unexpected end of %s"), {file_.path().string()}));
  }
}

}  // namespace voltare::transforms
