#pragma once
// The file handling every transform shares: opening the source, a destination
// that disappears again unless the transform completed, and the byte-stream
// adapters the DES stream operations read and write through.

#include <cstdint>
#include <filesystem>
#include <span>

#include "crypto/bytestream.h"
#include "platform/file.h"

namespace voltare::transforms {

// Opens `path` for reading; `exclusive` also takes the advisory lock that
// stands in for "sharing denied to writers": a shared one, since the file is
// only read, so other readers are not turned away.
platform::File OpenSource(const std::filesystem::path& path, bool exclusive);

// True when both paths name the same existing file: writing the destination
// would then destroy the source before it is read.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The output of a transform. Created (or emptied) on construction; removed
// again when the transform ends without Commit, so a failure never leaves a
// half-written file behind that could pass for the result. Only the regular
// file that was opened is removed: never a device or whatever took its name.
class DestinationFile {
 public:
  explicit DestinationFile(const std::filesystem::path& path);
  ~DestinationFile();
  DestinationFile(const DestinationFile&) = delete;
  DestinationFile& operator=(const DestinationFile&) = delete;

  platform::File& file() noexcept { return file_; }

  // Forces the contents to the disk, and the directory entry where the
  // directory can be opened: callers may wipe the source as soon as the
  // transform returns.
  void SyncToDisk();
  // Closes the file and keeps it.
  void Commit();

 private:
  platform::File file_;
  bool committed_ = false;
};

// A File from its current position to its end, as a DES stream source.
class FileByteSource final : public crypto::ByteSource {
 public:
  explicit FileByteSource(platform::File& file) noexcept : file_(file) {}

  std::uint64_t Remaining() override;
  void ReadExactly(std::span<std::uint8_t> buffer) override;

 private:
  platform::File& file_;
};

class FileByteSink final : public crypto::ByteSink {
 public:
  explicit FileByteSink(platform::File& file) noexcept : file_(file) {}

  void Write(std::span<const std::uint8_t> bytes) override { file_.write(bytes); }

 private:
  platform::File& file_;
};

}  // namespace voltare::transforms
