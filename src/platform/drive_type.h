// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What kind of drive holds a path. The desktop program asks this to refuse
// wiping on network drives and to label removable disks; here the answer comes
// from the file system holding the path and the block device beneath it.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace voltare::platform {

inline constexpr int DRIVE_UNKNOWN = 0;
inline constexpr int DRIVE_NO_ROOT_DIR = 1;
inline constexpr int DRIVE_REMOVABLE = 2;
inline constexpr int DRIVE_FIXED = 3;
inline constexpr int DRIVE_REMOTE = 4;
inline constexpr int DRIVE_CDROM = 5;

// The drive type of the file system holding `path`. A path that does not exist
// yet is judged by its nearest existing parent; DRIVE_NO_ROOT_DIR when there
// is none.
int GetDriveType(const std::filesystem::path& path);

// Sets the label of a removable disk. Linux file systems are labelled when
// they are made, so this does nothing and succeeds.
bool SetVolumeLabel(const std::filesystem::path& path, std::string_view label);

// The pieces GetDriveType is made of, open to tests with made-up inputs.
namespace drive_type_detail {

// A network file system, by statfs magic number; FUSE mounts are judged by
// their subtype from the mount table ("fuse.sshfs" is remote, "fuseblk" not).
bool IsNetworkFileSystem(long magic, std::string_view mountType);

// The file system type the mount table (in /proc/self/mountinfo form) gives
// for the device `device`; empty when it is not listed.
std::string MountTypeOf(dev_t device, const std::filesystem::path& mountInfo);

// True when the block device `device` (or the disk it is a partition of) has
// its sysfs "removable" flag set, looked up below `sysfsRoot`.
bool IsRemovableBlockDevice(dev_t device, const std::filesystem::path& sysfsRoot);

}  // namespace drive_type_detail

}  // namespace voltare::platform
