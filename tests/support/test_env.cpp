// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_env.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace voltare::testing {

namespace {
std::filesystem::path g_test_dir;
}

void SetTestDir(const std::filesystem::path& dir) { g_test_dir = dir; }

std::filesystem::path TestDir() {
  if (g_test_dir.empty()) throw std::logic_error("TestDir() used outside a test");
  return g_test_dir;
}

std::filesystem::path TestDataPath(std::string_view name) {
  return std::filesystem::path(VOLTARE_TEST_DATA_DIR) / name;
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFileText(const std::filesystem::path& path, std::string_view text) {
  WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::string> ReadVectorLines(std::string_view name) {
  std::ifstream in(TestDataPath(name));
  if (!in) throw std::runtime_error("missing test data " + std::string(name));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    lines.push_back(line);
  }
  return lines;
}

}  // namespace voltare::testing
