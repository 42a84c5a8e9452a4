// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_system_type.h"

#include <sys/vfs.h>

#include <algorithm>
#include <array>
#include <utility>

namespace voltare::platform {

namespace {

struct KnownFileSystem {
  unsigned long magic;
  std::string_view name;
};

// From the kernel's statfs magic numbers.
constexpr std::array<KnownFileSystem, 12> kKnownFileSystems = {{
    {0x9123683EUL, "btrfs"},
    {0x2FC12FC1UL, "zfs"},
    {0xCA451A4EUL, "bcachefs"},
    {0xF2F52010UL, "f2fs"},
    {0x3434UL, "nilfs2"},
    {0x794C7630UL, "overlayfs"},
    {0xEF53UL, "ext4"},
    {0x58465342UL, "xfs"},
    {0x01021994UL, "tmpfs"},
    {0x4D44UL, "vfat"},
    {0x5346544EUL, "ntfs"},
    {0x65735546UL, "fuse"},
}};

constexpr std::array<std::string_view, 6> kKeepOldCopies = {"btrfs", "zfs", "bcachefs", "f2fs", "nilfs2", "overlayfs"};

std::function<std::string(const std::filesystem::path&)>& Reporter() {
  static std::function<std::string(const std::filesystem::path&)> reporter;
  return reporter;
}

}  // namespace

std::string FileSystemTypeName(const std::filesystem::path& path) {
  if (Reporter()) return Reporter()(path);
  struct statfs info {};
  if (::statfs(path.c_str(), &info) != 0) return "";
  const auto magic = static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFUL;
  const auto known = std::ranges::find(kKnownFileSystems, magic, &KnownFileSystem::magic);
  return known == kKnownFileSystems.end() ? "" : std::string(known->name);
}

bool KeepsOldCopiesOnOverwrite(std::string_view typeName) {
  return std::ranges::find(kKeepOldCopies, typeName) != kKeepOldCopies.end();
}

void SetFileSystemTypeReporter(std::function<std::string(const std::filesystem::path&)> reporter) {
  Reporter() = std::move(reporter);
}

}  // namespace voltare::platform
