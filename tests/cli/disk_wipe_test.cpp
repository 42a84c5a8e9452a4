// SPDX-License-Identifier: GPL-3.0-or-later
// Wiped files looked for where they lived: on a real ext4 file system in a
// loop-mounted image, whose raw bytes are searched once it is unmounted.
// Reading a wiped file back through the file system proves nothing: pages
// the kernel never wrote out still show the new bytes there, while the disk
// keeps the old ones.

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::Quoted;
using voltare::cli::testing::RunCli;
using voltare::testing::TestDir;

constexpr std::uint64_t kHole = std::uint64_t{1} << 18;  // 256 KiB
constexpr std::uint64_t kSparse = 0;                     // stands for the sparse file's layout

// Every size the wipe treats differently: less than a block, one short of a
// block, exactly one, one more, many, a large odd size, and holes.
const std::uint64_t kSizes[] = {1, 2047, 2048, 2049, 19 * 1024, (std::uint64_t{1} << 20) + 7, kSparse};

// Text that names its file on every line: any surviving stretch of it in
// the image is found by that name. It compresses well, so an encrypted copy
// never carries it in stored blocks.
std::string ProbeText(const std::string& tag, std::uint64_t length) {
  std::string text;
  for (int line = 0; text.size() < length; ++line) text += "kova-wipe-probe:" + tag + ":" + std::to_string(line) + "\n";
  text.resize(length);
  return text;
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

void WriteAt(int fd, const std::string& data, std::uint64_t offset) {
  ASSERT_EQ(::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset)), static_cast<ssize_t>(data.size()));
}

// Makes a probe file and puts its bytes on the disk, as a file kept for a
// while would be. Returns where on the device its first byte lies (0 when
// that cannot be told).
std::uint64_t MakeProbe(const fs::path& path, const std::string& tag, std::uint64_t size, char firstByte) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  EXPECT_GE(fd, 0) << path;
  if (size == kSparse) {
    WriteAt(fd, ProbeText(tag + "/a", 8192), kHole);
    WriteAt(fd, ProbeText(tag + "/b", 4101), 2 * kHole + 8192);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(3 * kHole)), 0);
  } else {
    WriteAt(fd, size == 1 ? std::string(1, firstByte) : ProbeText(tag, size), 0);
  }
  EXPECT_EQ(::fsync(fd), 0);

  alignas(struct fiemap) char buffer[sizeof(struct fiemap) + sizeof(struct fiemap_extent)] = {};
  auto* map = reinterpret_cast<struct fiemap*>(buffer);
  map->fm_length = ~std::uint64_t{0};
  map->fm_extent_count = 1;
  const bool mapped =
      ::ioctl(fd, FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents == 1 && map->fm_extents[0].fe_logical == 0;
  ::close(fd);
  return mapped ? map->fm_extents[0].fe_physical : 0;
}

// One file to be wiped, and what must be gone from the disk afterwards.
struct Probe {
  fs::path path;
  std::string tag;
  std::uint64_t size;
  char firstByte;
  std::uint64_t physical;
};

class DiskWipeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a disk image needs root";
    image_ = TestDir() / "disk.img";
    mount_ = TestDir() / "disk";
    fs::create_directories(mount_);
    if (!Shell("truncate -s 96M " + Quoted(image_) + " && mkfs.ext4 -q -F " + Quoted(image_))) {
      GTEST_SKIP() << "no ext4 image could be made (is e2fsprogs installed?)";
    }
    if (!Shell("mount -o loop " + Quoted(image_) + " " + Quoted(mount_))) {
      GTEST_SKIP() << "no loop device can be had here, so no disk image can be mounted";
    }
    mounted_ = true;
  }

  void TearDown() override { Unmount(); }

  void Unmount() {
    if (!mounted_) return;
    mounted_ = false;
    EXPECT_TRUE(Shell("umount " + Quoted(mount_)));
  }

  std::string ImageBytes() {
    std::ifstream in(image_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // A folder on the image with one probe of every size; each 1-byte probe
  // gets its own first byte (see the check below).
  std::vector<Probe> MakeProbes(const std::string& name) {
    const fs::path folder = mount_ / name;
    fs::create_directories(folder);
    std::vector<Probe> probes;
    for (const std::uint64_t size : kSizes) {
      const std::string tag = name + "-" + (size == kSparse ? "sparse" : std::to_string(size));
      const char firstByte = static_cast<char>('A' + probes_++ % 26);
      const fs::path path = folder / ("file-" + std::to_string(size));
      probes.push_back({path, tag, size, firstByte, MakeProbe(path, tag, size, firstByte)});
    }
    return probes;
  }

  fs::path image_;
  fs::path mount_;
  bool mounted_ = false;
  int probes_ = 0;
};

std::vector<std::string> Paths(const std::vector<Probe>& probes) {
  std::vector<std::string> paths;
  for (const Probe& probe : probes) paths.push_back(probe.path);
  return paths;
}

TEST_F(DiskWipeTest, NoWipedByteIsLeftOnTheDisk) {
  struct Run {
    std::string name;
    std::string typeOfWipe;  // for encrypt --wipe, which wipes as the settings say
    std::vector<std::string> command;
  };
  const std::string password = PasswordFile("disk image");
  const std::vector<Run> runs = {
      {"wipe-normal", "", {"--yes", "wipe", "--method", "normal", "--passes", "1"}},
      {"wipe-government", "", {"--yes", "wipe", "--method", "government"}},
      {"encrypt-normal", "1", {"--password-file", password, "--yes", "encrypt", "--wipe"}},
      {"encrypt-government", "0", {"--password-file", password, "--yes", "encrypt", "--wipe"}},
  };
  // A file nobody wipes: the search must find it, or it proves nothing.
  MakeProbe(mount_ / "kept", "kept", 4096, 'k');

  std::vector<Probe> wiped;
  for (const Run& run : runs) {
    SCOPED_TRACE(run.name);
    const std::vector<Probe> probes = MakeProbes(run.name);
    if (!run.typeOfWipe.empty()) {
      ASSERT_EQ(RunCli({"config", "set", "TypeOfWipe", run.typeOfWipe}).status, 0);
      if (run.typeOfWipe == "1") {
        ASSERT_EQ(RunCli({"config", "set", "Loop", "1"}).status, 0);
      }
    }
    std::vector<std::string> arguments = run.command;
    for (const std::string& path : Paths(probes)) arguments.push_back(path);
    const CliRun result = RunCli(arguments);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    for (const Probe& probe : probes) EXPECT_FALSE(fs::exists(probe.path)) << probe.path;
    wiped.insert(wiped.end(), probes.begin(), probes.end());
  }
  Unmount();

  const std::string disk = ImageBytes();
  ASSERT_NE(disk.find("kova-wipe-probe:kept:"), std::string::npos);
  int oneByteSurvivors = 0;
  for (const Probe& probe : wiped) {
    if (probe.size == 1) {
      // One byte cannot be searched for; its block can be read. A random
      // last pass may write the same byte by chance (1 in 256), but never
      // for every one-byte probe at once, each with a byte of its own.
      ASSERT_NE(probe.physical, 0U) << "the file system did not say where " << probe.path << " lay";
      oneByteSurvivors += disk.at(probe.physical) == probe.firstByte;
    } else {
      const std::string pieces = probe.size == kSparse ? "/" : ":";
      EXPECT_EQ(disk.find("kova-wipe-probe:" + probe.tag + pieces), std::string::npos)
          << probe.path << " is still on the disk";
    }
  }
  EXPECT_LT(oneByteSurvivors, 2) << "one-byte files kept their byte on the disk";
}

}  // namespace
