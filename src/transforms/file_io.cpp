#include "transforms/file_io.h"

#include <cerrno>
#include <system_error>

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

DestinationFile::DestinationFile(const std::filesystem::path& path)
    : file_(path, platform::File::Mode::CreateTruncate) {}

DestinationFile::~DestinationFile() {
  if (!committed_) platform::RemoveIfStillSame(file_);
}

void DestinationFile::SyncToDisk() {
  file_.sync();
  // The data is safe once the file itself is flushed; a directory that may be
  // written but not opened (a drop box) must not turn that into a failure.
  platform::TrySyncParentDirectory(file_.path());
}

void DestinationFile::Commit() {
  const auto path = file_.path();
  try {
    file_.close();
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
    throw platform::OsError(EIO, "unexpected end of " + file_.path().string());
  }
}

}  // namespace voltare::transforms
