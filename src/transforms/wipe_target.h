// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file a wipe works on, pinned to the folder it was found in.
//
// The folder is opened once, the file is opened relative to it, and the final
// rename and removal go through that same folder, each only after checking
// that the name still refers to the file that was overwritten. Someone who
// may write in the folder (or one above it) can then neither redirect the
// removal to another folder by swapping a symbolic link in, nor have another
// file deleted in place of the wiped one.
//
// A file can also be held from before it is read until its wipe (Hold and
// takeForWipe): what is overwritten is then the very file that was read, not
// whatever its name refers to by the time of the wipe.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace voltare::transforms {

// A wipe the engine refused or stopped, with the whole message for the user
// (it names the file and says what was left as it was).
class WipeRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One stretch of a file that holds data on the disk; holes between stretches
// hold none, so there is nothing there to overwrite.
struct WipeExtent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

class WipeTarget {
 public:
  // Opens the folder of `path` and, in it, the file for writing, locked
  // exclusively. Throws WipeRefused for anything but a regular file with a
  // single name (symbolic link, folder, FIFO, device, hard-linked file),
  // OsError for a failure of the system (ENOENT when it is missing).
  explicit WipeTarget(const std::filesystem::path& path);
  // Opens `path` the same way, for reading and writing, with a shared lock:
  // a file to be read now and wiped later through this same descriptor.
  // Throws as the constructor does; a file with other names is held (the
  // wipe refuses it later).
  static std::unique_ptr<WipeTarget> Hold(const std::filesystem::path& path);
  ~WipeTarget();
  WipeTarget(const WipeTarget&) = delete;
  WipeTarget& operator=(const WipeTarget&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }
  // The open file's descriptor; -1 after closeFile.
  int fileDescriptor() const noexcept { return file_; }
  // Closes the file, reporting a failed close.
  void closeFile();

  // A second descriptor of the open file, for reading it from its start. It
  // shares the file's lock, which stays while this target keeps the file open.
  platform::File readingView() const;
  // True while the name in the opened folder still refers to the open file.
  bool nameRefersToFile() const;
  // Readies a held file for its wipe: the lock made exclusive, back at the
  // start. Throws WipeRefused when the file has other names now or its name
  // refers to another file, OsError when the lock cannot be taken.
  void takeForWipe();

  // After the file was closed: moves it to the neutral name in its folder
  // without replacing anything there, then removes it. Throws WipeRefused
  // when the folder was moved or the name now refers to another file
  // (nothing is deleted), or when the move or the removal failed (the
  // original name is still removed when it can be).
  void renameAndRemove();

 private:
  enum class Access { Wipe, ReadThenWipe };
  WipeTarget(const std::filesystem::path& path, Access access);
  void openFolder();
  void openFile(Access access);
  void refuseOtherNames() const;
  void requireUnchanged() const;

  std::filesystem::path path_;
  std::filesystem::path folderPath_;  // without symbolic links
  std::string name_;
  int folder_ = -1;
  int file_ = -1;
  dev_t folderDevice_ = 0;
  ino_t folderInode_ = 0;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// The stretches of the open file `fd` (of `size` bytes) that hold data, in
// order. A file system that cannot tell holes gives the whole file.
std::vector<WipeExtent> AllocatedExtents(int fd, std::uint64_t size);

// `format` with each "%s" or "%d" replaced by the next of `values`.
std::string FillWipeMessage(std::string_view format, std::initializer_list<std::string_view> values);

}  // namespace voltare::transforms
