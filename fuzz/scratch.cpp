// SPDX-License-Identifier: GPL-3.0-or-later
#include "scratch.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace voltare::fuzz {

namespace fs = std::filesystem;

namespace {

fs::path MakeScratchDir() {
  const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  fs::path dir = base / ("voltare-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(dir / "tmp");
  ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
  ::setenv("VOLTARE_CONFIG_DIR", (dir / "config").c_str(), 1);
  return dir;
}

// The folder goes with the process, however many inputs ran.
struct ScratchOwner {
  fs::path dir = MakeScratchDir();
  ~ScratchOwner() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

}  // namespace

const fs::path& ScratchDir() {
  static const ScratchOwner owner;
  return owner.dir;
}

fs::path WriteInput(std::span<const std::uint8_t> input, const char* name) {
  const fs::path path = ScratchDir() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
  if (!out) throw std::runtime_error("cannot write the fuzz input to " + path.string());
  return path;
}

void ClearScratch() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(ScratchDir(), ignored)) {
    if (entry.path().filename() == "tmp") {
      for (const auto& inner : fs::directory_iterator(entry.path(), ignored)) fs::remove_all(inner.path(), ignored);
    } else {
      fs::remove_all(entry.path(), ignored);
    }
  }
}

}  // namespace voltare::fuzz
