// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/plx_extract.h"

#include <memory>
#include <optional>
#include <utility>

#include "archive/plx_reader.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/temp_files.h"

namespace voltare::archive {

namespace {

// Writes the reader's current member to `target`, a file this run has just
// made for it alone. The bar runs once per member, as for every file step.
void ExtractMember(ArchiveReader& reader, const std::filesystem::path& target, platform::Progress* progress) {
  if (progress != nullptr) {
    progress->setPosition(0);
    progress->setMax(reader.size());
  }
  platform::File out(target, platform::File::Mode::CreateTruncate);
  reader.CopyDataTo(out, progress);
  out.close();
}

}  // namespace

[[nodiscard]] platform::ResultCode ExtractFromArchive(std::span<const std::size_t> wanted,
                                                      const std::filesystem::path& archivePath,
                                                      std::vector<ExtractedMember>& output,
                                                      platform::Progress* progress) {
  output.clear();
  if (wanted.empty() || archivePath.empty()) return platform::ErrInternal;
  if (!platform::FileExists(archivePath)) return platform::ErrNoSuchFile;

  std::vector<ExtractedMember> extracted;
  try {
    ArchiveReader reader(archivePath);
    // One folder for all members: one descriptor keeps them, however many.
    std::shared_ptr<const platform::TempFolder> folder;
    for (std::size_t entry = 0; extracted.size() < wanted.size() && reader.NextEntry(); ++entry) {
      if (entry != wanted[extracted.size()]) continue;
      if (folder == nullptr) folder = platform::TempFolder::Create();
      if (folder == nullptr) return platform::ErrNoTempFile;
      // Members made so far go with `extracted` on every way out.
      std::optional<platform::TempFile> target = platform::TempFile::CreateIn(folder);
      if (!target) return platform::ErrNoTempFile;
      auto file = std::make_shared<const platform::TempFile>(std::move(*target));
      extracted.push_back({file->path(), reader.name(), reader.dataCutShort(), file});
      ExtractMember(reader, file->path(), progress);
    }
    output = std::move(extracted);
    return platform::Success;
  } catch (...) {
    return platform::CurrentExceptionCode();
  }
}

}  // namespace voltare::archive
