#pragma once
// Reading a PLX archive entry by entry. Every entry is checked before it is
// used, so a damaged or hostile archive reads as damaged (DamagedDataError,
// result ErrBadFile) and can never direct a write outside the directory its
// members are extracted to.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/plx_format.h"
#include "platform/file.h"
#include "platform/result_codes.h"

namespace voltare::archive {

struct ArchiveMember {
  std::string name;
  std::int64_t size = 0;

  bool operator==(const ArchiveMember&) const = default;
};

class ArchiveReader {
 public:
  // Opens the archive; throws OsError when it cannot be read.
  explicit ArchiveReader(const std::filesystem::path& archivePath);

  // Reads the header and name of the next entry, skipping the data of the
  // current one if it was not taken. False once all entries the archive
  // declares have been read. Throws DamagedDataError for an entry without
  // "PLX", a count of 0 or one that differs from the first entry's, a negative
  // size, a name that is too long or not a plain file name (IsSafeMemberName),
  // or an entry that runs past the end of the file.
  bool NextEntry();

  const std::string& name() const noexcept { return name_; }
  std::int64_t size() const noexcept { return header_.size; }

  // Copies the current entry's data to `out` (in 256-byte chunks).
  void CopyDataTo(platform::File& out);

 private:
  void ReadHeader();
  void ReadName();
  void SkipData();
  std::uint64_t Remaining() const noexcept { return fileSize_ - position_; }
  void SeekTo(std::uint64_t position);

  platform::File file_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t position_ = 0;
  std::uint32_t declaredCount_ = 0;
  std::uint32_t entriesRead_ = 0;
  bool dataPending_ = false;
  ArchiveEntryHeader header_;
  std::string name_;
};

// The archive's members in archive order. Success, ErrNoSuchFile when the
// archive does not exist, ErrBadFile when it is damaged, or the errno of a
// failed read. `members` is emptied first and stays empty on failure.
platform::ResultCode ListArchiveMembers(const std::filesystem::path& archivePath,
                                        std::vector<ArchiveMember>& members);

}  // namespace voltare::archive
