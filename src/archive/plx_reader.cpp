// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/plx_reader.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "platform/os_error.h"

namespace voltare::archive {

namespace {

// A piece of member data copied at a time; the progress moves, and a stop is
// noticed, between pieces.
constexpr std::size_t kExtractPieceSize = 64 * 1024;

[[noreturn]] void Damaged(const std::string& why) { throw platform::DamagedDataError(why); }

}  // namespace

ArchiveReader::ArchiveReader(const std::filesystem::path& archivePath)
    : file_(archivePath, platform::File::Mode::Read), fileSize_(file_.size()) {}

bool ArchiveReader::NextEntry() {
  if (entriesRead_ > 0 && (entriesRead_ == declaredCount_ || lastInFile_)) return false;
  // The next entry follows the data and its separator, taken or not.
  if (entriesRead_ > 0) SeekTo(dataStart_ + static_cast<std::uint64_t>(header_.size) + kSeparatorSize);
  // An archive cut short after a whole entry still gives the members before
  // the cut; only the first entry must be there to call it an archive.
  if (!ReadHeader() || !ReadName()) return false;
  ++entriesRead_;
  dataPending_ = true;
  return true;
}

bool ArchiveReader::ReadHeader() {
  if (Remaining() < kEntryHeaderSize) {
    if (entriesRead_ > 0) return false;
    Damaged("archive entry header cut short");
  }
  std::array<std::uint8_t, kEntryHeaderSize> bytes{};
  if (file_.read(bytes) != bytes.size()) Damaged("archive entry header cut short");
  position_ += bytes.size();
  header_ = DecodeEntryHeader(bytes);

  if (!header_.hasMagic()) Damaged("not a PLX archive entry");
  if (entriesRead_ == 0) {
    if (header_.count == 0) Damaged("archive declares no entries");
    declaredCount_ = header_.count;
  } else if (header_.count != declaredCount_) {
    Damaged("archive entries disagree on their number");
  }
  if (header_.size < 0) Damaged("archive member with a negative size");
  if (header_.nameLength > kMaxNameLength) Damaged("archive member name too long");
  return true;
}

bool ArchiveReader::ReadName() {
  if (Remaining() < header_.nameLength) {
    if (entriesRead_ > 0) return false;
    Damaged("archive member name cut short");
  }
  name_.assign(header_.nameLength, '\0');
  std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(name_.data()), name_.size());
  if (file_.read(bytes) != bytes.size()) Damaged("archive member name cut short");
  position_ += bytes.size();
  if (!IsSafeMemberName(name_)) Damaged("archive member name leads outside its folder");
  // An entry that runs past the end is the last one there is; its member is
  // taken out as far as it goes.
  const auto size = static_cast<std::uint64_t>(header_.size);
  dataStart_ = position_ + kSeparatorSize;
  lastInFile_ = Remaining() < 2 * kSeparatorSize + size;
  dataCutShort_ = Remaining() < kSeparatorSize + size;
  return true;
}

void ArchiveReader::CopyDataTo(platform::File& out, platform::Progress* progress) {
  StartData();
  std::vector<std::uint8_t> piece(kExtractPieceSize);
  while (dataLeft_ > 0) {
    const std::size_t got = ReadData(piece);
    out.write(std::span(piece).first(got));
    if (progress == nullptr) continue;
    progress->setPosition(progress->position() + static_cast<std::int64_t>(got));
    progress->repaint();
    common::StopIfCancelled(progress);
  }
}

crypto::ByteSource& ArchiveReader::DataSource() {
  StartData();
  return data_;
}

void ArchiveReader::StartData() {
  if (!dataPending_) throw std::logic_error("archive member data already taken");
  SeekTo(dataStart_);
  dataLeft_ = static_cast<std::uint64_t>(header_.size);
  dataPending_ = false;
}

// Up to `buffer.size()` bytes of the data; fewer only where the data ends.
std::size_t ArchiveReader::ReadData(std::span<std::uint8_t> buffer) {
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(dataLeft_, buffer.size()));
  const std::size_t got = file_.read(buffer.first(want));
  position_ += got;
  dataLeft_ -= got;
  if (got < want) {
    // A member found whole that comes back short: the file shrank meanwhile.
    if (!dataCutShort_) Damaged("archive member data cut short");
    dataLeft_ = 0;
  }
  return got;
}

std::uint64_t ArchiveReader::MemberData::Remaining() {
  return reader_.dataCutShort_ ? std::min(reader_.dataLeft_, reader_.Remaining()) : reader_.dataLeft_;
}

void ArchiveReader::MemberData::ReadExactly(std::span<std::uint8_t> buffer) {
  if (reader_.ReadData(buffer) != buffer.size()) Damaged("archive member data cut short");
}

void ArchiveReader::SeekTo(std::uint64_t position) {
  file_.seek(position);
  position_ = position;
}

[[nodiscard]] platform::ResultCode ListArchiveMembers(const std::filesystem::path& archivePath,
                                                      std::vector<ArchiveMember>& members, std::uint32_t* lost) {
  members.clear();
  if (!platform::FileExists(archivePath)) return platform::ErrNoSuchFile;
  try {
    ArchiveReader reader(archivePath);
    std::vector<ArchiveMember> found;
    while (reader.NextEntry()) found.push_back({reader.name(), reader.size(), reader.dataCutShort()});
    members = std::move(found);
    if (lost != nullptr) *lost = reader.entriesNotRead();
    return platform::Success;
  } catch (...) {
    return platform::CurrentExceptionCode();
  }
}

}  // namespace voltare::archive
