// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/wipe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <system_error>
#include <vector>

#include "common/translate.h"
#include "platform/dos_time.h"
#include "platform/os_error.h"
#include "transforms/wipe_messages.h"
#include "transforms/wipe_random.h"

namespace voltare::transforms {

using platform::ResultCode;

// clang-format off
std::array<std::uint8_t, 53> GovernmentPatterns = {
    0x00, 0x00, 0x00, 0x00,                                            // 0-3: random
    0x55, 0xAA,                                                        // 4-5
    0x92, 0x49, 0x24, 0x49, 0x24, 0x92, 0x24, 0x92, 0x49,              // 6-14
    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,                    // 15-22
    0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF,                    // 23-30
    0x92, 0x49, 0x24, 0x49, 0x24, 0x92, 0x24, 0x92, 0x49,              // 31-39
    0x6D, 0xB6, 0xDB, 0xB6, 0xDB, 0x6D, 0xDB, 0x6D, 0xB6,              // 40-48
    0x00,                                                              // 49
    0x00, 0x00, 0x00,                                                  // 50-52: random
};
// clang-format on

namespace {

constexpr std::uint32_t kMomentFractionModulus = 999988;
constexpr std::uint32_t kMomentDayModulus = 55151;
constexpr std::uint32_t kFirstMomentDay = 2;  // 1900-01-01
constexpr std::size_t kNeutralNameLength = 156;

// The real file, written through the descriptor the target opened.
class SystemWipeFile final : public WipeFile {
 public:
  explicit SystemWipeFile(WipeTarget& target) : target_(target) {}
  explicit SystemWipeFile(std::unique_ptr<WipeTarget> owned) : owned_(std::move(owned)), target_(*owned_) {}

  std::uint64_t size() override {
    struct stat info {};
    if (::fstat(fd(), &info) != 0)
      platform::ThrowLastError(common::Filled(tr_("cannot examine %s"), {target_.path().string()}));
    return static_cast<std::uint64_t>(info.st_size);
  }
  std::vector<WipeExtent> allocatedExtents(std::uint64_t size) override { return AllocatedExtents(fd(), size); }
  std::size_t write(std::span<const std::uint8_t> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(fd(), data.data() + done, data.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) platform::ThrowLastError(common::Filled(tr_("cannot write %s"), {target_.path().string()}));
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }
  void seek(std::uint64_t offset) override {
    if (::lseek(fd(), static_cast<off_t>(offset), SEEK_SET) < 0) {
      platform::ThrowLastError(common::Filled(tr_("cannot seek in %s"), {target_.path().string()}));
    }
  }
  void rewind() override { seek(0); }
  void flush() override {
    if (::fsync(fd()) != 0) platform::ThrowLastError(common::Filled(tr_("cannot flush %s"), {target_.path().string()}));
  }
  void flushData() override {
    if (::fdatasync(fd()) != 0)
      platform::ThrowLastError(common::Filled(tr_("cannot flush %s"), {target_.path().string()}));
  }
  void truncateToZero() override {
    if (::ftruncate(fd(), 0) != 0)
      platform::ThrowLastError(common::Filled(tr_("cannot empty %s"), {target_.path().string()}));
  }
  void setLastWriteTime(std::time_t when) override {
    const struct timespec times[2] = {{.tv_sec = 0, .tv_nsec = UTIME_OMIT}, {.tv_sec = when, .tv_nsec = 0}};
    if (::futimens(fd(), times) != 0) {
      platform::ThrowLastError(
          common::Filled(tr_("cannot set the modification time of %s"), {target_.path().string()}));
    }
  }
  void close() override { target_.closeFile(); }

 private:
  int fd() const {
    if (target_.fileDescriptor() < 0)
      throw platform::OsError(EBADF, common::Filled(tr_("closed: %s"), {target_.path().string()}));
    return target_.fileDescriptor();
  }

  std::unique_ptr<WipeTarget> owned_;  // when the file is used on its own
  WipeTarget& target_;
};

// --- surroundings ------------------------------------------------------------

std::uint32_t Clock(const WipeEnvironment& environment) {
  return environment.clock ? environment.clock() : ClockSeed();
}

std::unique_ptr<WipeFile> Open(const WipeEnvironment& environment, WipeTarget& target) {
  auto file = std::make_unique<SystemWipeFile>(target);
  if (!environment.wrapFile) return file;
  auto wrapped = environment.wrapFile(std::move(file));
  if (!wrapped) throw platform::OsError(EIO, common::Filled(tr_("cannot open %s"), {target.path().string()}));
  return wrapped;
}

void ReportTimeChangeFailure(const WipeEnvironment& environment, ResultCode code, const std::string& text) {
  if (!environment.showError) return;
  const std::string format(wipe_messages::kChangeFileTimeFailed);
  const int length = std::snprintf(nullptr, 0, format.c_str(), code, text.c_str());
  std::vector<char> message(static_cast<std::size_t>(length) + 1);
  std::snprintf(message.data(), message.size(), format.c_str(), code, text.c_str());
  environment.showError(message.data());
}

void SetProgressPosition(platform::Progress* progress, std::int64_t position) {
  if (progress == nullptr) return;
  progress->setPosition(position);
  progress->repaint();
}

// Moves the bar, then ends the wipe if the user asked to stop: the file
// stays, partly overwritten, under its own name.
void AdvanceProgress(platform::Progress* progress, std::int64_t by) {
  if (progress == nullptr) return;
  progress->setPosition(progress->position() + by);
  progress->repaint();
  common::StopIfCancelled(progress);
}

void StartProgress(platform::Progress* progress, std::int64_t max) {
  if (progress == nullptr) return;
  progress->setPosition(0);
  progress->setMax(max);
}

// --- writing -------------------------------------------------------------------

// A transfer that stops short ends the wipe; retrying could spin forever on a
// disk that takes nothing more.
void WriteExactly(WipeFile& file, std::span<const std::uint8_t> data) {
  if (file.write(data) != data.size()) {
    throw platform::OsError(EIO, "short write while wiping");
  }
}

// The pass's 2048-byte block repeated to fill one chunk.
std::vector<std::uint8_t> RepeatedBlock(std::span<const std::uint8_t, kWipeBufferSize> block) {
  std::vector<std::uint8_t> chunk(kWipeChunkSize);
  for (std::size_t at = 0; at < chunk.size(); at += kWipeBufferSize) {
    std::copy(block.begin(), block.end(), chunk.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return chunk;
}

// Writes `length` bytes of the repeated block at the current position:
// whole chunks while more than one chunk remains, then the rest.
// `afterFullChunk` runs after each whole chunk that is not the last.
template <typename AfterFullChunk>
void OverwriteStretch(WipeFile& file, std::uint64_t length, std::span<const std::uint8_t> chunk,
                      AfterFullChunk&& afterFullChunk) {
  std::uint64_t remaining = length;
  while (remaining > chunk.size()) {
    WriteExactly(file, chunk);
    remaining -= chunk.size();
    afterFullChunk();
  }
  WriteExactly(file, chunk.first(static_cast<std::size_t>(remaining)));
}

// One pass over every stretch that holds data. `afterStretch` gets the
// length of each stretch once it is written.
template <typename AfterFullChunk, typename AfterStretch>
void OverwriteOnce(WipeFile& file, std::span<const WipeExtent> extents, std::span<const std::uint8_t> chunk,
                   AfterFullChunk&& afterFullChunk, AfterStretch&& afterStretch) {
  for (const WipeExtent& extent : extents) {
    if (extent.length == 0) continue;
    if (extent.offset != 0) file.seek(extent.offset);
    OverwriteStretch(file, extent.length, chunk, afterFullChunk);
    afterStretch(extent.length);
  }
}

std::uint64_t TotalLength(std::span<const WipeExtent> extents) {
  std::uint64_t total = 0;
  for (const WipeExtent& extent : extents) total += extent.length;
  return total;
}

// --- the wipe frame ------------------------------------------------------------

// Shows a refusal, when there is anyone to show it to.
[[nodiscard]] ResultCode ReportRefusal(const WipeEnvironment& environment, const std::string& message) {
  if (environment.showError) environment.showError(message);
  return platform::ErrReported;
}

// Overwrites, empties and closes the open file; `overwrite` gets the stretches
// that hold data (none for an empty file or one that is all hole).
template <typename Overwrite>
void OverwriteAndEmpty(WipeTarget& target, platform::Progress* progress, const WipeEnvironment& environment,
                       Overwrite&& overwrite) {
  std::unique_ptr<WipeFile> file = Open(environment, target);
  const std::uint64_t size = file->size();
  const std::vector<WipeExtent> extents = size == 0 ? std::vector<WipeExtent>{} : file->allocatedExtents(size);
  common::StopIfCancelled(progress);  // not a byte written yet
  if (!extents.empty()) {
    overwrite(*file, std::span<const WipeExtent>(extents));
    // The last pass and its changed times are on the disk before the file
    // is emptied; see the note at the top of wipe.h.
    file->flush();
  }
  if (environment.afterOverwrite) environment.afterOverwrite();
  file->truncateToZero();
  file->flush();
  file->close();
}

// Gets the file from `openTarget` (opened through its folder), runs
// `overwrite` over it, then empties, closes, moves and removes it. Any
// failure releases the file and resets the progress position.
template <typename OpenTarget, typename Overwrite>
[[nodiscard]] ResultCode RunWipe(OpenTarget&& openTarget, platform::Progress* progress,
                                 const WipeEnvironment& environment, Overwrite&& overwrite) {
  try {
    const std::unique_ptr<WipeTarget> target = openTarget();
    OverwriteAndEmpty(*target, progress, environment, overwrite);
    target->renameAndRemove();
    SetProgressPosition(progress, 0);
    return platform::Success;
  } catch (const WipeRefused& refused) {
    SetProgressPosition(progress, 0);
    return ReportRefusal(environment, refused.what());
  } catch (const platform::OsError& failure) {
    SetProgressPosition(progress, 0);
    return failure.error() == ENOENT ? platform::ErrNoSuchFile : platform::CurrentExceptionCode();
  } catch (...) {
    SetProgressPosition(progress, 0);
    return platform::CurrentExceptionCode();
  }
}

// The draw order matters: it fixes which draw lands in which pass.
void DrawGovernmentRandomEntries(PseudoRandom& random) {
  for (int index : {0, 1, 2, 3, 52, 51, 50}) {
    GovernmentPatterns[static_cast<std::size_t>(index)] = random.NextByte();
  }
}

// --- the random moment ---------------------------------------------------------

// n / 10^(digits of n): 5 gives 0.5, 123456 gives 0.123456.
double FractionOf(std::uint32_t n) {
  if (n == 0) return 0.0;
  double divisor = 1.0;
  for (std::uint32_t rest = n; rest != 0; rest /= 10) divisor *= 10.0;
  return n / divisor;
}

double DrawMoment(PseudoRandom& random) {
  const std::uint32_t n = random.Next() % kMomentFractionModulus;
  const std::uint32_t d = random.Next() % kMomentDayModulus + kFirstMomentDay;
  return d + FractionOf(n);
}

// 0 when the time was set, else the code of the failure.
[[nodiscard]] ResultCode SetRandomLastWriteTime(WipeFile& file, const WipeEnvironment& environment) {
  PseudoRandom& random = ProgramRandom();
  random.Seed(Clock(environment));
  const std::uint32_t dos = platform::DosDateTimeFromDayCount(DrawMoment(random));
  const auto when = platform::LocalTimeFromDosDateTime(dos);
  if (!when) return EINVAL;
  try {
    file.setLastWriteTime(*when);
  } catch (const platform::OsError& e) {
    return e.error() > 0 ? e.error() : platform::ErrInternal;
  }
  return platform::Success;
}

template <typename OpenTarget>
[[nodiscard]] ResultCode GovernmentWipe(OpenTarget&& openTarget, platform::Progress* progress,
                                        const WipeEnvironment& environment) {
  return RunWipe(openTarget, progress, environment, [&](WipeFile& file, std::span<const WipeExtent> extents) {
    StartProgress(progress, kGovernmentPassCount);
    PseudoRandom& random = ProgramRandom();
    random.Seed(Clock(environment));
    std::vector<std::uint8_t> chunk(kWipeChunkSize);
    for (int pass = 0; pass < kGovernmentPassCount; ++pass) {
      DrawGovernmentRandomEntries(random);
      std::fill(chunk.begin(), chunk.end(), GovernmentPatterns[static_cast<std::size_t>(pass)]);
      OverwriteOnce(
          file, extents, chunk, [&] { common::StopIfCancelled(progress); }, [](std::uint64_t) {});
      WipeChangeFileTime(file, environment);
      file.rewind();
      file.flushData();
      AdvanceProgress(progress, 1);
    }
  });
}

template <typename OpenTarget>
[[nodiscard]] ResultCode NormalWipe(OpenTarget&& openTarget, const std::filesystem::path& path, int passes,
                                    platform::Progress* progress, const WipeEnvironment& environment) {
  if (passes < 1) {
    // Deleting a file without overwriting it would break the promise made
    // to the user; a caller that gets here has a fault of its own.
    return ReportRefusal(environment,
                         FillWipeMessage(wipe_messages::kNoPasses, {path.string(), std::to_string(passes)}));
  }
  return RunWipe(openTarget, progress, environment, [&](WipeFile& file, std::span<const WipeExtent> extents) {
    StartProgress(progress, static_cast<std::int64_t>(TotalLength(extents)));
    PseudoRandom& random = ProgramRandom();
    random.Seed(Clock(environment));
    std::array<std::uint8_t, kWipeBufferSize> block{};
    for (auto& byte : block) byte = random.NextByte();
    const std::vector<std::uint8_t> chunk = RepeatedBlock(block);

    for (int pass = 0; pass < passes; ++pass) {
      OverwriteOnce(
          file, extents, chunk,
          [&] {
            AdvanceProgress(progress, kWipeChunkSize);
            WipeChangeFileTime(file, environment);
          },
          [&](std::uint64_t length) {
            AdvanceProgress(progress, static_cast<std::int64_t>((length - 1) % kWipeChunkSize + 1));
          });
      file.flushData();  // every byte of this pass, the last partial block included
      file.rewind();
    }
  });
}

// Opens the file by its path, through its folder.
auto ByPath(const std::filesystem::path& path) {
  return [&path] { return std::make_unique<WipeTarget>(path); };
}

// Hands on a file held since it was read, readied for its wipe.
auto Held(std::unique_ptr<WipeTarget>& held) {
  return [&held] {
    if (!held) throw platform::OsError(EBADF, "no file held for the wipe");
    held->takeForWipe();
    return std::move(held);
  };
}

}  // namespace

std::unique_ptr<WipeFile> OpenWipeFile(const std::filesystem::path& path) {
  return std::make_unique<SystemWipeFile>(std::make_unique<WipeTarget>(path));
}

[[nodiscard]] platform::ResultCode GovernmentWipeFile(const std::filesystem::path& path, platform::Progress* progress,
                                                      const WipeEnvironment& environment) {
  return GovernmentWipe(ByPath(path), progress, environment);
}

[[nodiscard]] platform::ResultCode NormalWipeFile(const std::filesystem::path& path, int passes,
                                                  platform::Progress* progress, const WipeEnvironment& environment) {
  return NormalWipe(ByPath(path), path, passes, progress, environment);
}

[[nodiscard]] platform::ResultCode GovernmentWipeHeldFile(std::unique_ptr<WipeTarget> held,
                                                          platform::Progress* progress,
                                                          const WipeEnvironment& environment) {
  return GovernmentWipe(Held(held), progress, environment);
}

[[nodiscard]] platform::ResultCode NormalWipeHeldFile(std::unique_ptr<WipeTarget> held, int passes,
                                                      platform::Progress* progress,
                                                      const WipeEnvironment& environment) {
  const std::filesystem::path path = held ? held->path() : std::filesystem::path();
  return NormalWipe(Held(held), path, passes, progress, environment);
}

void WipeChangeFileTime(WipeFile& file, const WipeEnvironment& environment) {
  try {
    const ResultCode code = SetRandomLastWriteTime(file, environment);
    if (code != platform::Success) {
      ReportTimeChangeFailure(environment, code, std::string(wipe_messages::kSetFileTimeCall));
    }
  } catch (const std::exception& e) {
    ReportTimeChangeFailure(environment, platform::CurrentExceptionCode(), e.what());
  } catch (...) {
    ReportTimeChangeFailure(environment, platform::CurrentExceptionCode(), "");
  }
}

std::filesystem::path NeutralWipePath(const std::filesystem::path& path) {
  return path.parent_path() / std::string(kNeutralNameLength, 'a');
}

bool WipeRenameDelete(const std::filesystem::path& path) {
  try {
    WipeTarget target(path);
    target.closeFile();
    target.renameAndRemove();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace voltare::transforms
