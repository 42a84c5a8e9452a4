// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/plx_format.h"

namespace voltare::archive {

namespace {

void PutLittleEndian32(std::span<std::uint8_t> out, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLittleEndian32(std::span<const std::uint8_t> in) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return value;
}

}  // namespace

std::array<std::uint8_t, kEntryHeaderSize> EncodeEntryHeader(const ArchiveEntryHeader& header) {
  std::array<std::uint8_t, kEntryHeaderSize> bytes{};
  for (std::size_t i = 0; i < header.magic.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(header.magic[i]);
  }
  bytes[3] = header.version;
  bytes[4] = header.reserved;
  PutLittleEndian32(std::span(bytes).subspan(5, 4), header.count);
  PutLittleEndian32(std::span(bytes).subspan(9, 4), static_cast<std::uint32_t>(header.size));
  PutLittleEndian32(std::span(bytes).subspan(13, 4), header.nameLength);
  return bytes;
}

ArchiveEntryHeader DecodeEntryHeader(std::span<const std::uint8_t, kEntryHeaderSize> bytes) {
  ArchiveEntryHeader header;
  for (std::size_t i = 0; i < header.magic.size(); ++i) {
    header.magic[i] = static_cast<char>(bytes[i]);
  }
  header.version = bytes[3];
  header.reserved = bytes[4];
  header.count = GetLittleEndian32(bytes.subspan(5, 4));
  header.size = static_cast<std::int32_t>(GetLittleEndian32(bytes.subspan(9, 4)));
  header.nameLength = GetLittleEndian32(bytes.subspan(13, 4));
  return header;
}

bool IsSafeMemberName(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return false;
  // Every component must name something inside the folder before it: a
  // leading '/' gives an empty first component, so absolute names fail too.
  for (std::size_t start = 0;;) {
    const std::size_t end = name.find(kMemberFolderSeparator, start);
    const std::string_view part = name.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace voltare::archive
