// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drive_type.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

namespace voltare::platform {

namespace drive_type_detail {

namespace {

// Magic numbers of file systems whose data lives on another machine.
constexpr std::array<unsigned long, 12> kNetworkMagics = {
    0x6969,      // NFS
    0x517B,      // SMB
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
    0x73757245,  // Coda
    0x5346414F,  // AFS
    0x6B414653,  // kAFS
    0x01021997,  // 9p
    0x00C36400,  // Ceph
    0x564C,      // NCP
    0x0BD00BD0,  // Lustre
    0x013111A8,  // IBRIX
};

constexpr long kFuseMagic = 0x65735546;

constexpr std::array<std::string_view, 16> kNetworkFuseTypes = {
    "sshfs",     "rclone", "s3fs",     "gcsfuse", "curlftpfs", "davfs",    "davfs2",  "glusterfs",
    "ceph-fuse", "afpfs",  "smbnetfs", "httpfs",  "goofys",    "blobfuse", "juicefs", "nfs-fuse",
};

constexpr std::string_view kCdromTypes[] = {"iso9660", "udf"};
constexpr unsigned long kIso9660Magic = 0x9660;
constexpr unsigned long kUdfMagic = 0x15013346;

bool ReadsOne(const std::filesystem::path& flagFile) {
  std::ifstream in(flagFile);
  int value = 0;
  return in >> value && value == 1;
}

}  // namespace

bool IsNetworkFileSystem(long magic, std::string_view mountType) {
  const auto unsignedMagic = static_cast<unsigned long>(magic) & 0xFFFFFFFFUL;
  for (unsigned long known : kNetworkMagics) {
    if (unsignedMagic == known) return true;
  }
  if (magic != kFuseMagic) return false;
  constexpr std::string_view kPrefix = "fuse.";
  if (!mountType.starts_with(kPrefix)) return false;
  const std::string_view subtype = mountType.substr(kPrefix.size());
  for (std::string_view known : kNetworkFuseTypes) {
    if (subtype == known) return true;
  }
  return false;
}

std::string MountTypeOf(dev_t device, const std::filesystem::path& mountInfo) {
  const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::ifstream in(mountInfo);
  std::string line;
  while (std::getline(in, line)) {
    // "id parent major:minor root mountpoint options [optional...] - type source ..."
    std::istringstream fields(line);
    std::string id, parent, numbers;
    if (!(fields >> id >> parent >> numbers) || numbers != wanted) continue;
    std::string field;
    while (fields >> field && field != "-") {
    }
    std::string type;
    if (fields >> type) return type;
  }
  return {};
}

bool IsRemovableBlockDevice(dev_t device, const std::filesystem::path& sysfsRoot) {
  const auto link = sysfsRoot / "dev" / "block" / (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
  std::error_code error;
  const auto node = std::filesystem::canonical(link, error);
  if (error) return false;
  // A partition carries no flag of its own; the disk above it does.
  if (std::filesystem::exists(node / "partition", error)) {
    return ReadsOne(node.parent_path() / "removable");
  }
  return ReadsOne(node / "removable");
}

}  // namespace drive_type_detail

namespace {

// The path itself, or the nearest parent that exists.
bool FindExisting(std::filesystem::path& probe, struct statfs& info) {
  if (probe.empty()) probe = ".";
  while (::statfs(probe.c_str(), &info) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return false;
    auto parent = probe.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == probe) return false;
    probe = parent;
  }
  return true;
}

bool IsCdrom(unsigned long magic, std::string_view mountType) {
  if (magic == drive_type_detail::kIso9660Magic || magic == drive_type_detail::kUdfMagic) {
    return true;
  }
  for (std::string_view type : drive_type_detail::kCdromTypes) {
    if (mountType == type) return true;
  }
  return false;
}

}  // namespace

int GetDriveType(const std::filesystem::path& path) {
  std::filesystem::path probe = path;
  struct statfs fsInfo {};
  if (!FindExisting(probe, fsInfo)) return DRIVE_NO_ROOT_DIR;
  struct stat fileInfo {};
  if (::stat(probe.c_str(), &fileInfo) != 0) return DRIVE_NO_ROOT_DIR;

  const std::string mountType = drive_type_detail::MountTypeOf(fileInfo.st_dev, "/proc/self/mountinfo");
  const long magic = static_cast<long>(fsInfo.f_type);
  if (drive_type_detail::IsNetworkFileSystem(magic, mountType)) return DRIVE_REMOTE;
  if (IsCdrom(static_cast<unsigned long>(magic), mountType)) return DRIVE_CDROM;
  if (drive_type_detail::IsRemovableBlockDevice(fileInfo.st_dev, "/sys")) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

bool SetVolumeLabel(const std::filesystem::path& /*path*/, std::string_view /*label*/) { return true; }

}  // namespace voltare::platform
