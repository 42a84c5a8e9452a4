#include "transforms/wipe.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <system_error>
#include <vector>

#include "platform/dos_time.h"
#include "platform/file.h"
#include "platform/file_move.h"
#include "platform/file_times.h"
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

class SystemWipeFile final : public WipeFile {
 public:
  explicit SystemWipeFile(platform::File file) : file_(std::move(file)) {}

  std::uint64_t size() override { return file_.size(); }
  std::size_t write(std::span<const std::uint8_t> data) override {
    file_.write(data);  // all of it, or an OsError
    return data.size();
  }
  void rewind() override { file_.seek(0); }
  void flush() override { file_.sync(); }
  void truncateToZero() override { file_.truncate(0); }
  void setLastWriteTime(std::time_t when) override { platform::SetLastWriteTime(file_, when); }
  void close() override { file_.close(); }

 private:
  platform::File file_;
};

// --- surroundings ------------------------------------------------------------

std::uint32_t Clock(const WipeEnvironment& environment) {
  return environment.clock ? environment.clock() : ClockSeed();
}

std::unique_ptr<WipeFile> Open(const WipeEnvironment& environment,
                               const std::filesystem::path& path) {
  auto file = environment.openFile ? environment.openFile(path) : OpenWipeFile(path);
  if (!file) throw platform::OsError(EIO, "cannot open " + path.string());
  return file;
}

void ReportTimeChangeFailure(const WipeEnvironment& environment, ResultCode code,
                             const std::string& text) {
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

// Writes `size` bytes from the start of `block` over the file: whole blocks
// while more than one block remains, then the last 1 to 2048 bytes.
// `afterFullBlock` runs after each whole block that is not the last.
template <typename AfterFullBlock>
void OverwriteOnce(WipeFile& file, std::uint64_t size,
                   std::span<const std::uint8_t, kWipeBufferSize> block,
                   AfterFullBlock&& afterFullBlock) {
  std::uint64_t remaining = size;
  while (remaining > kWipeBufferSize) {
    WriteExactly(file, block);
    remaining -= kWipeBufferSize;
    afterFullBlock();
  }
  WriteExactly(file, block.first(static_cast<std::size_t>(remaining)));
}

// --- the wipe frame ------------------------------------------------------------

// Opens the file, runs `overwrite` over it, then empties, closes, moves and
// removes it. Any failure releases the file and resets the progress position.
template <typename Overwrite>
[[nodiscard]] ResultCode RunWipe(const std::filesystem::path& path, platform::Progress* progress,
                   const WipeEnvironment& environment, Overwrite&& overwrite) {
  if (!platform::FileExists(path)) return platform::ErrNoSuchFile;
  std::unique_ptr<WipeFile> file;
  try {
    file = Open(environment, path);
    std::uint64_t size = 0;
    try {
      size = file->size();
    } catch (const std::exception&) {
      return platform::ErrNoSuchFile;
    }
    if (size == 0) return platform::ErrNoSuchFile;

    common::StopIfCancelled(progress);  // not a byte written yet
    overwrite(*file, size);

    file->truncateToZero();
    file->flush();
    file->close();
    file.reset();
    WipeRenameDelete(path);  // a file left under a name is empty by now
    SetProgressPosition(progress, 0);
    return platform::Success;
  } catch (...) {
    file.reset();
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

}  // namespace

std::unique_ptr<WipeFile> OpenWipeFile(const std::filesystem::path& path) {
  // Write only, so a file we may write but not read can be wiped too. A link
  // is refused: wiping through it would empty its target and remove the link.
  platform::File file(path, platform::File::Mode::Overwrite);
  file.lockExclusive();
  return std::make_unique<SystemWipeFile>(std::move(file));
}

platform::ResultCode GovernmentWipeFile(const std::filesystem::path& path,
                                        platform::Progress* progress,
                                        const WipeEnvironment& environment) {
  return RunWipe(path, progress, environment, [&](WipeFile& file, std::uint64_t size) {
    StartProgress(progress, kGovernmentPassCount);
    PseudoRandom& random = ProgramRandom();
    random.Seed(Clock(environment));
    std::array<std::uint8_t, kWipeBufferSize> buffer{};
    for (int pass = 0; pass < kGovernmentPassCount; ++pass) {
      DrawGovernmentRandomEntries(random);
      buffer.fill(GovernmentPatterns[static_cast<std::size_t>(pass)]);
      OverwriteOnce(file, size, buffer, [&] { common::StopIfCancelled(progress); });
      WipeChangeFileTime(file, environment);
      file.rewind();
      AdvanceProgress(progress, 1);
      file.flush();
    }
  });
}

platform::ResultCode NormalWipeFile(const std::filesystem::path& path, int passes,
                                    platform::Progress* progress,
                                    const WipeEnvironment& environment) {
  return RunWipe(path, progress, environment, [&](WipeFile& file, std::uint64_t size) {
    StartProgress(progress, static_cast<std::int64_t>(size));
    PseudoRandom& random = ProgramRandom();
    random.Seed(Clock(environment));
    std::array<std::uint8_t, kWipeBufferSize> block{};
    for (auto& byte : block) byte = random.NextByte();

    for (int pass = 0; pass < passes; ++pass) {
      OverwriteOnce(file, size, block, [&] {
        AdvanceProgress(progress, kWipeBufferSize);
        WipeChangeFileTime(file, environment);
        file.flush();
      });
      AdvanceProgress(progress, static_cast<std::int64_t>((size - 1) % kWipeBufferSize + 1));
      file.rewind();
    }
  });
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
  const auto neutral = NeutralWipePath(path);
  if (platform::MoveWithoutReplacing(path, neutral) != 0) return false;
  std::error_code error;
  return std::filesystem::remove(neutral, error) && !error;
}

}  // namespace voltare::transforms
