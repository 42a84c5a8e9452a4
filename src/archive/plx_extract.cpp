#include "archive/plx_extract.h"

#include <system_error>

#include "archive/plx_reader.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/temp_files.h"

namespace voltare::archive {

namespace {

// Writes the reader's current member to `target`, a file this run has just
// made for it alone.
void ExtractMember(ArchiveReader& reader, const std::filesystem::path& target) {
  platform::File out(target, platform::File::Mode::CreateTruncate);
  reader.CopyDataTo(out);
  out.close();
}

void RemoveFiles(const std::vector<ExtractedMember>& members) {
  for (const auto& member : members) {
    std::error_code ignored;
    std::filesystem::remove(member.path, ignored);
  }
}

}  // namespace

platform::ResultCode ExtractFromArchive(std::span<const std::size_t> wanted,
                                        const std::filesystem::path& archivePath,
                                        std::vector<ExtractedMember>& output) {
  output.clear();
  if (wanted.empty() || archivePath.empty()) return platform::ErrInternal;
  if (!platform::FileExists(archivePath)) return platform::ErrNoSuchFile;

  std::vector<ExtractedMember> extracted;
  try {
    ArchiveReader reader(archivePath);
    for (std::size_t entry = 0; extracted.size() < wanted.size() && reader.NextEntry(); ++entry) {
      if (entry != wanted[extracted.size()]) continue;
      const auto target = platform::MakeTempFileName();
      if (!target) {
        RemoveFiles(extracted);
        return platform::ErrNoTempFile;
      }
      extracted.push_back({*target, reader.name(), reader.dataCutShort()});
      ExtractMember(reader, *target);
    }
    output = std::move(extracted);
    return platform::Success;
  } catch (...) {
    const platform::ResultCode code = platform::CurrentExceptionCode();
    RemoveFiles(extracted);
    return code;
  }
}

}  // namespace voltare::archive
