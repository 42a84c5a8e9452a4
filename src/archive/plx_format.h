// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PLX archive layout. An archive is a sequence of entries, one per member,
// with nothing before the first and nothing after the last:
//
//   offset  size  field
//   0       3     "PLX"
//   3       1     version, 1
//   4       1     reserved, 0
//   5       4     count: entries in the whole archive (the same in every entry)
//   9       4     size: signed length of the member data
//   13      4     nameLength
//   17      n     name, no terminator
//   17+n    2     00 00
//   19+n    size  member data (a complete encrypted file)
//   19+n+s  2     00 00
//
// Integers are little-endian; an entry takes 21 + nameLength + size bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace voltare::archive {

inline constexpr std::size_t kEntryHeaderSize = 17;
inline constexpr std::size_t kSeparatorSize = 2;
// Readers hold a name in 256 bytes.
inline constexpr std::size_t kMaxNameLength = 256;
// The size field is a signed 32-bit number.
inline constexpr std::int64_t kMaxMemberSize = 0x7FFFFFFF;
inline constexpr std::array<std::uint8_t, kSeparatorSize> kSeparator = {0x00, 0x00};
inline constexpr std::array<char, 3> kArchiveMagic = {'P', 'L', 'X'};

struct ArchiveEntryHeader {
  std::array<char, 3> magic = kArchiveMagic;
  std::uint8_t version = 1;
  std::uint8_t reserved = 0;
  std::uint32_t count = 0;
  std::int32_t size = 0;
  std::uint32_t nameLength = 0;

  bool hasMagic() const noexcept { return magic == kArchiveMagic; }
};

std::array<std::uint8_t, kEntryHeaderSize> EncodeEntryHeader(const ArchiveEntryHeader& header);
ArchiveEntryHeader DecodeEntryHeader(std::span<const std::uint8_t, kEntryHeaderSize> bytes);

// A member name is the member's path below the folder it is decrypted into,
// its folders joined by '/': "2024/IMG_0001.jpg.vlt". A name without '/' is
// the plain file name every version of the program writes and reads; a
// version before folders were kept reads a name with '/' as damage and
// opens no member of that archive.
inline constexpr char kMemberFolderSeparator = '/';

// A member name that can only ever name a file inside the folder it is
// decrypted into: components joined by single '/', none of them empty, "."
// or "..", and no NUL byte anywhere. "/x", "a//b", "a/../../x" and "a/" fail.
bool IsSafeMemberName(std::string_view name);

}  // namespace voltare::archive
