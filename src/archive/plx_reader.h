// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a PLX archive entry by entry. Every entry is checked before it is
// used, so a damaged or hostile archive reads as damaged (DamagedDataError,
// result ErrBadFile) and can never direct a write outside the directory its
// members are extracted to. An archive cut short is not damaged: the members
// before the cut are read whole, the one it runs through as far as it goes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/plx_format.h"
#include "crypto/bytestream.h"
#include "platform/file.h"
#include "platform/progress.h"
#include "platform/result_codes.h"

namespace voltare::archive {

struct ArchiveMember {
  std::string name;
  std::int64_t size = 0;
  bool cutOff = false;  // the archive ends inside this member's data

  bool operator==(const ArchiveMember&) const = default;
};

class ArchiveReader {
 public:
  // Opens the archive; throws OsError when it cannot be read.
  explicit ArchiveReader(const std::filesystem::path& archivePath);
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Reads the header and name of the next entry, skipping the data of the
  // current one if it was not taken. False once all entries the archive
  // declares have been read, or where an archive cut short ends: before an
  // entry whose header or name is cut off, after one whose data is. Throws
  // DamagedDataError for an entry without "PLX", a count of 0 or one that
  // differs from the first entry's, a negative size, a name that is too long
  // or one that could lead outside its folder (IsSafeMemberName), or a first entry whose header
  // or name is cut off.
  bool NextEntry();

  const std::string& name() const noexcept { return name_; }
  // The size the entry declares; a member cut short holds less.
  std::int64_t size() const noexcept { return header_.size; }
  // True when the archive ends inside this member's data.
  bool dataCutShort() const noexcept { return dataCutShort_; }
  // Entries the archive declares that NextEntry has not given (yet): after
  // its last true, those an archive cut short has lost.
  std::uint32_t entriesNotRead() const noexcept { return declaredCount_ - entriesRead_; }

  // Copies the current entry's data to `out`, as far as the file goes for a
  // member cut short, moving `progress` (nullptr: nobody watches) by the bytes
  // copied. A stop asked for between two pieces throws StepCancelled.
  void CopyDataTo(platform::File& out, platform::Progress* progress);
  // The current entry's data as a byte source, as far as the file goes for a
  // member cut short: for data that is only read, never stored. Takes the
  // data as CopyDataTo does; valid until the next NextEntry.
  crypto::ByteSource& DataSource();

 private:
  // The data of the current entry, read where it lies in the archive.
  class MemberData final : public crypto::ByteSource {
   public:
    explicit MemberData(ArchiveReader& reader) noexcept : reader_(reader) {}
    std::uint64_t Remaining() override;
    // Throws DamagedDataError when the data ends before `buffer` is full.
    void ReadExactly(std::span<std::uint8_t> buffer) override;

   private:
    ArchiveReader& reader_;
  };

  bool ReadHeader();
  bool ReadName();
  void StartData();
  std::size_t ReadData(std::span<std::uint8_t> buffer);
  std::uint64_t Remaining() const noexcept { return position_ < fileSize_ ? fileSize_ - position_ : 0; }
  void SeekTo(std::uint64_t position);

  platform::File file_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t position_ = 0;
  std::uint32_t declaredCount_ = 0;
  std::uint32_t entriesRead_ = 0;
  bool dataPending_ = false;
  std::uint64_t dataStart_ = 0;  // where the current entry's data begins
  std::uint64_t dataLeft_ = 0;   // of it, not read yet
  bool lastInFile_ = false;      // the current entry runs past the end
  bool dataCutShort_ = false;    // ... and so does its data
  ArchiveEntryHeader header_;
  std::string name_;
  MemberData data_{*this};
};

// The archive's members in archive order. Success, ErrNoSuchFile when the
// archive does not exist, ErrBadFile when it is damaged, or the errno of a
// failed read. `members` is emptied first and stays empty on failure. An
// archive cut short gives the members before the cut, the one it runs
// through marked cutOff, and in `lost` (when given) how many entries it
// declares beyond those.
[[nodiscard]] platform::ResultCode ListArchiveMembers(const std::filesystem::path& archivePath,
                                                      std::vector<ArchiveMember>& members,
                                                      std::uint32_t* lost = nullptr);

}  // namespace voltare::archive
