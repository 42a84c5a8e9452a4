// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/plx_bundle.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "archive/messages.h"
#include "archive/plx_format.h"
#include "common/translate.h"
#include "platform/drive_type.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/staged_file.h"

namespace voltare::archive {

namespace {

constexpr std::size_t kPackBlockSize = 10240;

// A file to pack: the encrypted file next to its source, and the name it is
// stored under.
struct Member {
  std::filesystem::path file;
  std::string name;
};

Member MemberOf(const NamedSource& source) {
  return Member{std::filesystem::path(source.source.string() + ".vlt"), source.name};
}

[[noreturn]] void Refuse(int error, const std::string& what) { throw platform::OsError(error, what); }

// Refuses a member the archive format cannot hold, before anything is written.
void CheckFitsFormat(const Member& member) {
  if (member.name.size() > kMaxNameLength) {
    Refuse(ENAMETOOLONG, common::Filled(tr_("member name too long: %s"), {member.name}));
  }
  if (!IsSafeMemberName(member.name))
    Refuse(EINVAL, common::Filled(tr_("member name leads outside its folder: %s"), {member.name}));
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(member.file, error);
  if (error) Refuse(error.value(), common::Filled(tr_("cannot read the size of %s"), {member.file.string()}));
  if (size > static_cast<std::uintmax_t>(kMaxMemberSize)) {
    Refuse(EFBIG, common::Filled(tr_("member too large: %s"), {member.file.string()}));
  }
}

std::string BundlingStatus(std::size_t position, std::size_t count) {
  const std::string format(messages::kBundlingStatus);
  std::array<char, 128> text{};
  std::snprintf(text.data(), text.size(), format.c_str(), static_cast<int>(position), static_cast<int>(count));
  return text.data();
}

void ShowStatus(const StatusLine& status, const std::string& text) {
  if (status.setText) status.setText(text);
}

void SetProgress(platform::Progress* progress, std::int64_t position) {
  if (progress == nullptr) return;
  progress->setPosition(position);
  progress->repaint();
}

void WriteHeaderAndName(platform::File& archive, std::uint32_t count, std::int32_t size, const std::string& name) {
  ArchiveEntryHeader header;
  header.count = count;
  header.size = size;
  header.nameLength = static_cast<std::uint32_t>(name.size());
  archive.write(EncodeEntryHeader(header));
  archive.write(std::span(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
  archive.write(kSeparator);
}

// Copies the member in blocks until a block comes back short; returns the
// number of bytes copied.
std::uint64_t CopyBlocks(platform::File& from, platform::File& archive, platform::Progress* progress) {
  std::vector<std::uint8_t> block(kPackBlockSize);
  std::uint64_t copied = 0;
  for (;;) {
    const std::size_t got = from.read(block);
    archive.write(std::span(block).first(got));
    copied += got;
    if (progress != nullptr) {
      SetProgress(progress, progress->position() + static_cast<std::int64_t>(got));
    }
    // A stop discards the staged archive; the members stay as they were.
    common::StopIfCancelled(progress);
    if (got < block.size()) return copied;
  }
}

void PackMember(platform::File& archive, const Member& member, std::uint32_t count, platform::Progress* progress) {
  platform::File source(member.file, platform::File::Mode::Read);
  const std::uint64_t size = source.size();
  if (size > static_cast<std::uint64_t>(kMaxMemberSize)) {
    Refuse(EFBIG, common::Filled(tr_("member too large: %s"), {member.file.string()}));
  }

  WriteHeaderAndName(archive, count, static_cast<std::int32_t>(size), member.name);
  if (progress != nullptr) progress->setMax(static_cast<std::int64_t>(size));
  // The header already holds the size; a member that changed meanwhile would
  // make the archive unreadable.
  if (CopyBlocks(source, archive, progress) != size) {
    throw std::runtime_error(common::Filled(tr_("%s changed while it was packed"), {member.file.string()}));
  }
  archive.write(kSeparator);
}

void DeletePackedMembers(const std::vector<Member>& members) {
  for (const Member& member : members) {
    if (member.file.extension() != ".vlt") continue;
    std::error_code ignored;  // a leftover encrypted file harms nobody
    std::filesystem::remove(member.file, ignored);
  }
}

}  // namespace

[[nodiscard]] platform::ResultCode BundleFiles(std::span<const std::filesystem::path> sources,
                                               const std::filesystem::path& archivePath, platform::Progress* progress,
                                               const StatusLine& status) {
  std::vector<NamedSource> named;
  named.reserve(sources.size());
  for (const auto& source : sources) named.push_back({source, source.filename().string() + ".vlt"});
  return BundleNamedFiles(named, archivePath, progress, status);
}

[[nodiscard]] platform::ResultCode BundleNamedFiles(std::span<const NamedSource> sources,
                                                    const std::filesystem::path& archivePath,
                                                    platform::Progress* progress, const StatusLine& status) {
  if (sources.empty() || sources.size() > UINT32_MAX) return platform::ErrInternal;
  try {
    std::vector<Member> members;
    for (const auto& source : sources) {
      members.push_back(MemberOf(source));
      CheckFitsFormat(members.back());
    }

    platform::StagedFile archive(archivePath);
    const std::string savedStatus = status.text ? status.text() : std::string();
    if (IsRemovableDrive(archivePath)) {
      platform::SetVolumeLabel(archivePath, messages::kRemovableDiskLabel);
    }
    const auto count = static_cast<std::uint32_t>(members.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
      ShowStatus(status, BundlingStatus(i + 1, members.size()));
      if (status.packing) status.packing(i);
      SetProgress(progress, 0);
      PackMember(archive.file(), members[i], count, progress);
    }
    archive.Commit();

    DeletePackedMembers(members);
    ShowStatus(status, savedStatus);
    return platform::Success;
  } catch (...) {
    return platform::CurrentExceptionCode();
  }
}

bool IsRemovableDrive(const std::filesystem::path& path) {
  return platform::GetDriveType(path) == platform::DRIVE_REMOVABLE;
}

}  // namespace voltare::archive
