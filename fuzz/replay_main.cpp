// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every saved input (the seed corpus and the regressions found by
// fuzzing) through its target with the ordinary build. A crash, a sanitizer
// report or a hang fails the test; the last input named is the culprit.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_target.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> InputsOf(const fs::path& folder) {
  std::vector<fs::path> inputs;
  if (!fs::is_directory(folder)) return inputs;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FUZZ-FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  int passed = 0;
  for (const auto& target : voltare::fuzz::Targets()) {
    for (const char* kind : {"corpus", "regressions"}) {
      for (const fs::path& input : InputsOf(root / kind / target.name)) {
        std::printf("%s: %s\n", std::string(target.name).c_str(), input.lexically_relative(root).c_str());
        std::fflush(stdout);
        const std::vector<std::uint8_t> bytes = ReadAll(input);
        target.entry(bytes);
        ++passed;
      }
    }
  }
  std::printf("%d passed, 0 failed\n", passed);
  return passed > 0 ? 0 : 1;
}
