#include "platform/staged_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/file_hold.h"
#include "platform/os_error.h"

namespace voltare::platform {

namespace {

constexpr int kNameAttempts = 64;
constexpr std::string_view kStagedPrefix = ".vlt-";  // hidden, and never a name the program gives
constexpr std::string_view kStagedSuffix = ".part";
constexpr std::size_t kRandomLength = 8;

std::string RandomSuffix(std::mt19937_64& engine) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string suffix;
  for (std::size_t i = 0; i < kRandomLength; ++i) suffix += kLetters[pick(engine)];
  return suffix;
}

bool IsStagedName(const std::string& name) {
  return name.size() == kStagedPrefix.size() + kRandomLength + kStagedSuffix.size() &&
         name.starts_with(kStagedPrefix) && name.ends_with(kStagedSuffix);
}

std::filesystem::path DirectoryOf(const std::filesystem::path& target) {
  auto dir = target.parent_path();
  return dir.empty() ? std::filesystem::path(".") : dir;
}

}  // namespace

StagedFile::StagedFile(const std::filesystem::path& target) : target_(target) {
  std::mt19937_64 engine{std::random_device{}()};
  const auto dir = DirectoryOf(target);
  RemoveStaleStagedFiles(dir);
  for (int attempt = 0;; ++attempt) {
    staging_ = dir / (std::string(kStagedPrefix) + RandomSuffix(engine) + std::string(kStagedSuffix));
    try {
      file_ = File(staging_, File::Mode::CreateNew);
      if (MarkInUse(file_.fd(), staging_)) return;
      file_ = File();  // another copy's cleaning took it before the mark
    } catch (const OsError& e) {
      if (e.error() != EEXIST || attempt + 1 == kNameAttempts) throw;
    }
    if (attempt + 1 == kNameAttempts) throw OsError(EEXIST, "cannot stage " + target.string());
  }
}

StagedFile::~StagedFile() {
  if (committed_) return;
  ::unlink(staging_.c_str());  // before the close lets go of the in-use mark
  file_ = File();
}

void StagedFile::Commit() {
  file_.sync();
  // Renamed while still open, so that its in-use mark covers it until it has
  // its real name.
  if (std::rename(staging_.c_str(), target_.c_str()) != 0) {
    ThrowLastError("cannot rename " + staging_.string() + " to " + target_.string());
  }
  committed_ = true;
  file_ = File();  // the contents are on the disk already; nothing is lost in the close
  TrySyncParentDirectory(target_);
}

void RemoveStaleStagedFiles(const std::filesystem::path& directory) noexcept {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    if (IsStagedName(entry->path().filename().string())) RemoveIfUnused(entry->path());
  }
}

}  // namespace voltare::platform
