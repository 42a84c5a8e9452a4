// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file handling every transform shares: opening the source, a destination
// that disappears again unless the transform completed, and the byte-stream
// adapters the DES stream operations read and write through.

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <span>

#include "crypto/bytestream.h"
#include "platform/file.h"
#include "platform/progress.h"
#include "platform/result_codes.h"

namespace voltare::transforms {

// Opens `path` for reading; `exclusive` also takes the advisory lock that
// stands in for "sharing denied to writers": a shared one, since the file is
// only read, so other readers are not turned away.
platform::File OpenSource(const std::filesystem::path& path, bool exclusive);

// Where a transform writes: a path it creates (or empties) itself, or a file
// the caller has already created and holds, such as a staged output, which is
// written through its descriptor and never reopened by name.
class Destination {
 public:
  template <typename PathLike>
  requires std::constructible_from<std::filesystem::path, const PathLike&> Destination(const PathLike& path)
      : path_(path) {}                                                              // NOLINT: a path is a destination
  Destination(platform::File& file) noexcept : path_(file.path()), held_(&file) {}  // NOLINT: so is a file

  const std::filesystem::path& path() const noexcept { return path_; }
  bool empty() const noexcept { return path_.empty(); }
  platform::File* held() const noexcept { return held_; }

 private:
  std::filesystem::path path_;
  platform::File* held_ = nullptr;
};

// True when both paths name the same existing file: writing the destination
// would then destroy the source before it is read.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// The same for a destination; a held file is compared by its descriptor.
bool IsSameFile(const std::filesystem::path& source, const Destination& destination);

// Why a file job cannot start: ErrInternal for a missing path or progress
// indicator, or a source that is its own destination; ErrNoSuchFile when the
// source does not exist; Success when it can.
[[nodiscard]] platform::ResultCode RefusedFileJob(const std::filesystem::path& source, const Destination& destination,
                                                  const platform::Progress* progress);

// The output of a transform. A path is created (or emptied) on construction,
// and removed again when the transform ends without Commit, so a failure
// never leaves a half-written file behind that could pass for the result.
// Only the regular file that was opened is removed: never a device or
// whatever took its name. A held file is emptied and written, and its holder
// decides what becomes of it.
class DestinationFile {
 public:
  explicit DestinationFile(const Destination& destination);
  ~DestinationFile();
  DestinationFile(const DestinationFile&) = delete;
  DestinationFile& operator=(const DestinationFile&) = delete;

  platform::File& file() noexcept { return *file_; }

  // Forces the contents to the disk, and the directory entry where the
  // directory can be opened: callers may wipe the source as soon as the
  // transform returns.
  void SyncToDisk();
  // Closes the file and keeps it (a held file stays open for its holder).
  void Commit();

 private:
  platform::File owned_;
  platform::File* file_;
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
