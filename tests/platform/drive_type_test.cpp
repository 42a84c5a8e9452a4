// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drive_type.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using namespace drive_type_detail;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

TEST(DriveTypeTest, NetworkFileSystemsByMagic) {
  EXPECT_TRUE(IsNetworkFileSystem(0x6969, "nfs4"));
  EXPECT_TRUE(IsNetworkFileSystem(0xFF534D42L, "cifs"));
  EXPECT_TRUE(IsNetworkFileSystem(0xFE534D42L, "smb3"));
  EXPECT_TRUE(IsNetworkFileSystem(0x01021997, "9p"));
  EXPECT_FALSE(IsNetworkFileSystem(0xEF53, "ext4"));
  EXPECT_FALSE(IsNetworkFileSystem(0x01021994, "tmpfs"));
}

TEST(DriveTypeTest, FuseMountsAreRemoteOnlyForNetworkSubtypes) {
  constexpr long kFuse = 0x65735546;
  EXPECT_TRUE(IsNetworkFileSystem(kFuse, "fuse.sshfs"));
  EXPECT_TRUE(IsNetworkFileSystem(kFuse, "fuse.rclone"));
  EXPECT_FALSE(IsNetworkFileSystem(kFuse, "fuseblk"));
  EXPECT_FALSE(IsNetworkFileSystem(kFuse, "fuse.ntfs-3g"));
  EXPECT_FALSE(IsNetworkFileSystem(kFuse, ""));
  // The subtype alone never makes a local file system remote.
  EXPECT_FALSE(IsNetworkFileSystem(0xEF53, "fuse.sshfs"));
}

TEST(DriveTypeTest, MountTypeComesFromTheMountTable) {
  const auto table = TestDir() / "mountinfo";
  WriteFileText(table,
                "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                "40 22 0:45 / /mnt/remote rw,nosuid shared:20 master:3 - fuse.sshfs user@host: rw\n"
                "41 22 0:46 / /tmp rw - tmpfs tmpfs rw\n");
  EXPECT_EQ(MountTypeOf(makedev(0, 45), table), "fuse.sshfs");
  EXPECT_EQ(MountTypeOf(makedev(8, 1), table), "ext4");
  EXPECT_EQ(MountTypeOf(makedev(8, 2), table), "");
  EXPECT_EQ(MountTypeOf(makedev(8, 1), TestDir() / "no-such-table"), "");
}

TEST(DriveTypeTest, RemovableFlagOfTheDiskOrItsPartition) {
  const auto sys = TestDir() / "sys";
  const auto stick = sys / "devices" / "usb" / "sdb";
  const auto disk = sys / "devices" / "sata" / "sda";
  fs::create_directories(stick / "sdb1");
  fs::create_directories(disk);
  fs::create_directories(sys / "dev" / "block");
  WriteFileText(stick / "removable", "1\n");
  WriteFileText(stick / "sdb1" / "partition", "1\n");
  WriteFileText(disk / "removable", "0\n");
  fs::create_directory_symlink("../../devices/usb/sdb", sys / "dev" / "block" / "8:16");
  fs::create_directory_symlink("../../devices/usb/sdb/sdb1", sys / "dev" / "block" / "8:17");
  fs::create_directory_symlink("../../devices/sata/sda", sys / "dev" / "block" / "8:0");

  EXPECT_TRUE(IsRemovableBlockDevice(makedev(8, 16), sys));
  EXPECT_TRUE(IsRemovableBlockDevice(makedev(8, 17), sys));
  EXPECT_FALSE(IsRemovableBlockDevice(makedev(8, 0), sys));
  EXPECT_FALSE(IsRemovableBlockDevice(makedev(0, 46), sys));  // no block device
}

TEST(DriveTypeTest, PathsNotYetMadeTakeTheirDirectorysType) {
  const int here = GetDriveType(TestDir());
  EXPECT_NE(here, DRIVE_NO_ROOT_DIR);
  EXPECT_NE(here, DRIVE_UNKNOWN);
  EXPECT_EQ(GetDriveType(TestDir() / "new" / "archive.plx"), here);
}

}  // namespace
}  // namespace voltare::platform
