// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading back what a peer left on disk (the SMTP peer's inbox files, a
// recording script's output).

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace voltare::net::testing {

// The file's lines without their line feeds; none when it is missing.
inline std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The whole file as text.
inline std::string Text(const std::filesystem::path& path) {
  const auto bytes = voltare::testing::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

}  // namespace voltare::net::testing
