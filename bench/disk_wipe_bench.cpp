// SPDX-License-Identifier: GPL-3.0-or-later
// The wipe where its cost lies: on a real ext4 file system in a loop-mounted
// image, where every flush reaches a block device (a tmpfs makes flushing
// free and hides what it costs). A 16 MiB file, Normal Wipe of one pass,
// beside `shred -n 1 -z` of the same file on the same image; each the fastest
// of three runs, each run on a file whose bytes were on the disk before it.
// Target: the wipe takes at most twice as long as shred. Needs root (to
// mount the image); elsewhere the table says why it is empty.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "compare.h"
#include "transforms/wipe.h"

namespace {

namespace fs = std::filesystem;
using voltare::bench::Quoted;
using voltare::bench::Shell;
using voltare::bench::Workspace;

constexpr std::size_t kFileSize = 16 << 20;
constexpr int kRuns = 3;
constexpr double kTargetRatio = 2.0;

struct DiskWipeFigures {
  double wipeSeconds = 0;
  double shredSeconds = 0;
  std::string device;
  std::string skipped;
};

DiskWipeFigures& Figures() {
  static DiskWipeFigures figures;
  return figures;
}

// A file of kFileSize whose bytes are on the disk, not only in the page cache.
void MakeFileOnDisk(const fs::path& path) {
  const std::vector<char> data(kFileSize, 'w');
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) throw std::runtime_error("cannot make " + path.string());
  const bool written = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written) throw std::runtime_error("cannot write " + path.string());
}

double FastestOf(const fs::path& path, const std::function<void()>& wipe) {
  double fastest = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    MakeFileOnDisk(path);
    const auto start = std::chrono::steady_clock::now();
    wipe();
    fastest = std::min(fastest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return fastest;
}

// Where the image itself lies: the device a reader should picture.
std::string BackingDevice(const fs::path& image) {
  std::string said;
  const std::string command = "df --output=source,fstype " + Quoted(image.parent_path()) + " | tail -n 1";
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) said += line;
    ::pclose(pipe);
  }
  said.erase(std::remove(said.begin(), said.end(), '\n'), said.end());
  said.erase(std::unique(said.begin(), said.end(), [](char a, char b) { return a == ' ' && b == ' '; }), said.end());
  return "loop-mounted ext4 image on " + (said.empty() ? std::string("an unknown device") : said);
}

// Unmounts the image when the benchmark ends, however it ends.
class MountedImage {
 public:
  explicit MountedImage(const fs::path& dir) : image_(dir / "disk.img"), mount_(dir / "disk") {
    fs::create_directories(mount_);
    Shell("truncate -s 128M " + Quoted(image_) + " && mkfs.ext4 -q -F " + Quoted(image_) + " >/dev/null 2>&1");
    Shell("mount -o loop " + Quoted(image_) + " " + Quoted(mount_) + " 2>/dev/null");
  }
  ~MountedImage() { std::system(("umount " + Quoted(mount_) + " 2>/dev/null").c_str()); }
  MountedImage(const MountedImage&) = delete;
  MountedImage& operator=(const MountedImage&) = delete;

  const fs::path& image() const { return image_; }
  const fs::path& root() const { return mount_; }

 private:
  fs::path image_;
  fs::path mount_;
};

void DiskWipeBenchmark(benchmark::State& state) {
  if (::geteuid() != 0) {
    Figures().skipped = "mounting a disk image needs root";
    state.SkipWithError(Figures().skipped.c_str());
    return;
  }
  try {
    const Workspace space("voltare-disk-wipe-bench");
    const MountedImage disk(space.dir());
    const fs::path file = disk.root() / "video.bin";
    for (auto _ : state) {
      Figures().wipeSeconds = FastestOf(
          file, [&] { voltare::bench::Require(voltare::transforms::NormalWipeFile(file, 1, nullptr), "Normal Wipe"); });
      Figures().shredSeconds = FastestOf(file, [&] { Shell("shred -n 1 -z " + Quoted(file)); });
    }
    Figures().device = BackingDevice(disk.image());
  } catch (const std::exception& e) {
    Figures().skipped = e.what();
    state.SkipWithError(e.what());
  }
}

void PrintTable(std::ostream& out) {
  const DiskWipeFigures& figures = Figures();
  out << "\nWipe of a 16 MiB file on ext4, fastest of " << kRuns << " runs";
  if (!figures.skipped.empty() || figures.shredSeconds <= 0) {
    out << ": not measured (" << (figures.skipped.empty() ? "no figures" : figures.skipped) << ")\n";
    return;
  }
  out << " (" << figures.device << ")\n";
  char line[160];
  const auto row = [&](const char* name, double seconds) {
    std::snprintf(line, sizeof line, "  %-28s %8.3f s %8.1f MB/s\n", name, seconds, kFileSize / seconds / 1e6);
    out << line;
  };
  row("Normal Wipe, 1 pass", figures.wipeSeconds);
  row("shred -n 1 -z", figures.shredSeconds);
  const double ratio = figures.wipeSeconds / figures.shredSeconds;
  std::snprintf(line, sizeof line, "  wipe / shred: %.2f, target <= %.1f: %s\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "MISSED");
  out << line;
}

const bool registered = [] {
  benchmark::RegisterBenchmark("wipe of 16 MiB on a loop-mounted ext4 image", DiskWipeBenchmark)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  voltare::bench::AddClosingTable(PrintTable);
  return true;
}();

}  // namespace
