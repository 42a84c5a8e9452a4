// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An open file, closed on every path out. Every failing call throws OsError
// with the errno it left, so an operation can report the system's own reason.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace voltare::platform {

class File {
 public:
  enum class Mode {
    Read,            // existing file, read only
    ReadWrite,       // existing file, read and write, not truncated
    Overwrite,       // existing file, write only, not truncated; a symbolic link is refused (ELOOP)
    CreateTruncate,  // write; created or emptied; a symbolic link is refused (ELOOP), never written through
    CreateNew,       // write; must not exist yet
  };

  File() = default;
  File(const std::filesystem::path& path, Mode mode);
  // Takes over `fd`, an open descriptor of `path` (made by openat and the like).
  static File Adopt(int fd, std::filesystem::path path) noexcept;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool isOpen() const noexcept { return fd_ >= 0; }
  int fd() const noexcept { return fd_; }
  const std::filesystem::path& path() const noexcept { return path_; }

  // Reads until `buffer` is full or the file ends; returns the count read.
  std::size_t read(std::span<std::uint8_t> buffer);
  // Writes all of `data`; a short write is an error, never a silent loss.
  void write(std::span<const std::uint8_t> data);

  std::uint64_t size() const;
  // False for a FIFO, a socket or a device: their size says nothing of what
  // reading them gives.
  bool isRegular() const;
  std::uint64_t tell() const;
  void seek(std::uint64_t offset);
  void truncate(std::uint64_t length);
  // Forces the data to the disk (the callers may wipe the source right after).
  void sync();
  // An advisory exclusive lock; Linux has no mandatory sharing modes.
  void lockExclusive();
  // An advisory shared lock, for a file that is only read: other readers may
  // hold theirs. A file system without locks (NFS, some FUSE mounts) is no
  // reason to refuse the file, so that case passes without a lock.
  void lockShared();

  // Closes now, reporting a failed close (which can mean lost data).
  void close();

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

// The whole contents of `path`; throws OsError.
std::string ReadWholeFile(const std::filesystem::path& path);
// The same, but empty when the file cannot be read: for the system's tables
// under /proc, which a container may lack.
std::string ReadTextFile(const std::filesystem::path& path) noexcept;

// The call File::lockShared makes; tests replace it to play a file system
// without locks. Pass nullptr to restore flock(2).
using LockCall = int (*)(int fd, int operation);
void SetLockCallForTesting(LockCall call) noexcept;

// True when `path` names an existing regular file (not a directory).
bool FileExists(const std::filesystem::path& path);

// True when `path` names something that can be read to its end as a source:
// a regular file, or a FIFO (a pipe such as <(command)). Devices and sockets
// are not sources: one may never end, the other cannot be opened.
bool IsReadableSource(const std::filesystem::path& path);

// Removes the regular file `file` has open, if its path still names it. A
// path that names a device, or something that has since replaced the file,
// stays untouched. For taking back the half-made output of a failed operation.
void RemoveIfStillSame(const File& file) noexcept;

// Forces the directory entry of `file` (a new name) to the disk; after
// File::sync of the file itself this makes a newly written file durable.
// Failures are ignored: the contents are safe by then, and a directory one
// may write in but not open (a drop box) is no reason to give up the file.
void TrySyncParentDirectory(const std::filesystem::path& file) noexcept;

}  // namespace voltare::platform
