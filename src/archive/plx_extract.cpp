#include "archive/plx_extract.h"

#include <system_error>

#include "archive/plx_reader.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/temp_files.h"

namespace voltare::archive {

namespace {

// Writes the reader's current member to `target`, replacing a file of that
// name; a link planted under the name is removed, never followed.
void ExtractMember(ArchiveReader& reader, const std::filesystem::path& target) {
  std::error_code ignored;
  std::filesystem::remove(target, ignored);
  platform::File out(target, platform::File::Mode::CreateNew);
  reader.CopyDataTo(out);
  out.close();
}

void RemoveFiles(const std::vector<std::filesystem::path>& files) {
  for (const auto& file : files) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
  }
}

}  // namespace

platform::ResultCode ExtractFromArchive(std::span<const std::string> wanted,
                                        const std::filesystem::path& archivePath,
                                        std::vector<std::filesystem::path>& output) {
  output.clear();
  if (wanted.empty() || archivePath.empty()) return platform::ErrInternal;
  if (!platform::FileExists(archivePath)) return platform::ErrNoSuchFile;

  std::vector<std::filesystem::path> extracted;
  try {
    ArchiveReader reader(archivePath);
    const auto directory = platform::PrivateTempDir();
    if (!directory) return platform::ErrNoTempFile;

    while (extracted.size() < wanted.size() && reader.NextEntry()) {
      if (reader.name() != wanted[extracted.size()]) continue;
      // Checked by the reader to be a plain file name: the target stays in
      // the private directory whatever the archive holds.
      const auto target = *directory / reader.name();
      extracted.push_back(target);
      ExtractMember(reader, target);
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
