#include "platform/staged_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include "platform/os_error.h"

namespace voltare::platform {

namespace {

constexpr int kNameAttempts = 64;

std::string RandomSuffix(std::mt19937_64& engine) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kLetters[pick(engine)];
  return suffix;
}

std::filesystem::path DirectoryOf(const std::filesystem::path& target) {
  auto dir = target.parent_path();
  return dir.empty() ? std::filesystem::path(".") : dir;
}

}  // namespace

StagedFile::StagedFile(const std::filesystem::path& target) : target_(target) {
  std::mt19937_64 engine{std::random_device{}()};
  const auto dir = DirectoryOf(target);
  for (int attempt = 0;; ++attempt) {
    std::string name = ".";  // hidden, and never taken for the finished file
    name += target.filename().string();
    name += '.';
    name += RandomSuffix(engine);
    name += ".part";
    staging_ = dir / name;
    try {
      file_ = File(staging_, File::Mode::CreateNew);
      return;
    } catch (const OsError& e) {
      if (e.error() != EEXIST || attempt + 1 == kNameAttempts) throw;
    }
  }
}

StagedFile::~StagedFile() {
  if (committed_) return;
  file_ = File();
  ::unlink(staging_.c_str());
}

void StagedFile::Commit() {
  file_.sync();
  file_.close();
  if (std::rename(staging_.c_str(), target_.c_str()) != 0) {
    ThrowLastError("cannot rename " + staging_.string() + " to " + target_.string());
  }
  committed_ = true;
  SyncParentDirectory(target_);
}

}  // namespace voltare::platform
