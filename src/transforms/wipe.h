// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The secure wipe of one file: the file is overwritten in place several times
// (only the stretches that hold data: holes have nothing to overwrite),
// its modification time moved to random moments meanwhile, cut to length zero,
// moved to a neutral name in its own directory and removed.
//
// Every pass is written whole and reaches the disk before the next begins,
// and the last pass is on the disk before the file is emptied: emptying a
// file whose overwrite still sits in the page cache lets the kernel drop
// those pages, and the original bytes stay in the freed blocks. Each pass is
// flushed once, at its end, so a wipe runs at the disk's speed.
//
// Two methods: the Government Wipe (52 passes, each writing one byte value
// from GovernmentPatterns over the whole file) and the Normal Wipe (a chosen
// number of passes of one random 2048-byte block repeated over the file).
// Both write the file in chunks of the repeated block; after every chunk
// but the last of a stretch the progress moves and the time changes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/wipe_target.h"

namespace voltare::transforms {

// The pattern block a pass repeats over the file.
inline constexpr std::size_t kWipeBufferSize = 2048;
// How much of the repeated block goes out in one write. Each write to a
// file changes its modification time, which costs a journal entry on ext4:
// at one write per block that entry, not the disk, set the wipe's pace.
inline constexpr std::size_t kWipeChunkSize = 128 * kWipeBufferSize;  // 256 KiB
inline constexpr int kGovernmentPassCount = 52;

// Entry k is the byte value pass k of a Government Wipe writes. Entries 0-3
// and 50-52 are drawn anew before every pass; entry 52 is drawn but unused.
extern std::array<std::uint8_t, 53> GovernmentPatterns;

// The open file a wipe works on. The engine only ever uses these operations,
// so a test can watch every write, flush and time change, or make one fail.
class WipeFile {
 public:
  virtual ~WipeFile() = default;

  virtual std::uint64_t size() = 0;
  // The stretches that hold data; only they are overwritten. A file that
  // cannot tell is one stretch from 0 to `size`.
  virtual std::vector<WipeExtent> allocatedExtents(std::uint64_t size) { return {WipeExtent{0, size}}; }
  // Writes at the current position and returns how many bytes went out;
  // fewer than asked means the disk took no more. Throws OsError on failure.
  virtual std::size_t write(std::span<const std::uint8_t> data) = 0;
  virtual void seek(std::uint64_t offset) = 0;
  virtual void rewind() = 0;
  // Makes everything written so far durable, times included (fsync).
  virtual void flush() = 0;
  // Makes the written bytes durable, not necessarily the times (fdatasync):
  // enough between passes, where only the overwritten data must be on the
  // disk before the next pattern goes over it.
  virtual void flushData() { flush(); }
  virtual void truncateToZero() = 0;
  virtual void setLastWriteTime(std::time_t when) = 0;
  virtual void close() = 0;
};

// The real file, opened as a wipe opens it: through its folder, write only,
// locked exclusively. Throws WipeRefused or OsError as WipeTarget does.
std::unique_ptr<WipeFile> OpenWipeFile(const std::filesystem::path& path);

// What a wipe needs from its surroundings; every member may stay empty.
struct WipeEnvironment {
  // Given the file the engine opened, returns the one to work on (a test's
  // watcher around it, or a stand-in); the opened file itself when empty.
  std::function<std::unique_ptr<WipeFile>(std::unique_ptr<WipeFile>)> wrapFile;
  // The seed for the generator, in seconds since 1970; ClockSeed when empty.
  std::function<std::uint32_t()> clock;
  // Shows an error message to the user with an OK button; when empty the
  // message goes nowhere.
  std::function<void(const std::string&)> showError;
  // Runs once after the last pass, before the file is emptied and removed:
  // where a test plays someone who changes the folder meanwhile.
  std::function<void()> afterOverwrite;
};

// Both wipes return Success (the file is overwritten and gone; an empty file
// is just removed), ErrNoSuchFile (missing: nothing touched), ErrReported
// when the engine refused or stopped the wipe and showed why through
// environment.showError (not a regular file, other hard links, folder moved
// or name swapped meanwhile, the final rename or removal failed), or the
// errno of the failure that ended the wipe (the file then stays as far as it
// got). Nothing is deleted without having been overwritten.
[[nodiscard]] platform::ResultCode GovernmentWipeFile(const std::filesystem::path& path, platform::Progress* progress,
                                                      const WipeEnvironment& environment = {});

// `passes` below 1 is a fault of the caller: refused with ErrReported, the
// file untouched.
[[nodiscard]] platform::ResultCode NormalWipeFile(const std::filesystem::path& path, int passes,
                                                  platform::Progress* progress,
                                                  const WipeEnvironment& environment = {});

// The same wipes of a file held since it was read (WipeTarget::Hold): the
// very file held is overwritten, after it is locked exclusively and found to
// have a single name that still refers to it (else refused as above); only
// the final rename and removal go by name, as in every wipe.
[[nodiscard]] platform::ResultCode GovernmentWipeHeldFile(std::unique_ptr<WipeTarget> held,
                                                          platform::Progress* progress,
                                                          const WipeEnvironment& environment = {});
[[nodiscard]] platform::ResultCode NormalWipeHeldFile(std::unique_ptr<WipeTarget> held, int passes,
                                                      platform::Progress* progress,
                                                      const WipeEnvironment& environment = {});

// Sets the file's modification time to a random moment between 1980 and 2050
// (moments the DOS date-time form cannot hold become 1980-01-01 00:00:00). A
// failure is shown through environment.showError; the wipe goes on.
void WipeChangeFileTime(WipeFile& file, const WipeEnvironment& environment);

// The neutral name a wiped file is moved to before removal: 156 letters "a"
// in the file's own directory.
std::filesystem::path NeutralWipePath(const std::filesystem::path& path);

// Moves the (emptied) file to its neutral name without replacing anything
// there, then removes it, through its folder as a wipe does. True when both
// steps succeed.
bool WipeRenameDelete(const std::filesystem::path& path);

}  // namespace voltare::transforms
