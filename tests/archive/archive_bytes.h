// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Archives built byte by byte for the archive tests, independently of the
// code under test, so a test can state any layout, sound or damaged.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace voltare::archive::testing {

using Bytes = std::vector<std::uint8_t>;

// One entry; the fields a test does not set are those of a sound entry.
struct RawEntry {
  RawEntry(std::string entryName, Bytes entryData, std::uint32_t entryCount = 1)
      : name(std::move(entryName)), data(std::move(entryData)), count(entryCount) {}

  RawEntry& Magic(std::string value) {
    magic = std::move(value);
    return *this;
  }
  RawEntry& Size(std::int32_t value) {
    size = value;
    return *this;
  }
  RawEntry& NameLength(std::uint32_t value) {
    nameLength = value;
    return *this;
  }

  std::string name;
  Bytes data;
  std::uint32_t count;
  std::string magic = "PLX";
  std::optional<std::int32_t> size;         // the data's length when unset
  std::optional<std::uint32_t> nameLength;  // the name's length when unset
};

inline void PutLittleEndian32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline Bytes EntryBytes(const RawEntry& entry) {
  Bytes out(entry.magic.begin(), entry.magic.end());
  out.push_back(1);  // version
  out.push_back(0);  // reserved
  PutLittleEndian32(out, entry.count);
  PutLittleEndian32(out, static_cast<std::uint32_t>(entry.size.value_or(static_cast<std::int32_t>(entry.data.size()))));
  PutLittleEndian32(out, entry.nameLength.value_or(static_cast<std::uint32_t>(entry.name.size())));
  out.insert(out.end(), entry.name.begin(), entry.name.end());
  out.insert(out.end(), {0, 0});
  out.insert(out.end(), entry.data.begin(), entry.data.end());
  out.insert(out.end(), {0, 0});
  return out;
}

inline Bytes ArchiveBytes(const std::vector<RawEntry>& entries) {
  Bytes out;
  for (const auto& entry : entries) {
    const Bytes bytes = EntryBytes(entry);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

inline Bytes Pattern(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

}  // namespace voltare::archive::testing
