// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers every test program shares.
//
// The test main installs a listener that gives each test a fresh directory and
// points TMPDIR and VOLTARE_CONFIG_DIR into it, so no test touches the user's
// settings or temporary files, and no test sees another's leftovers.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace voltare::testing {

// The current test's own directory (removed when the test ends).
std::filesystem::path TestDir();

// A published test-vector or fixture file shipped in tests/data.
std::filesystem::path TestDataPath(std::string_view name);

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteFileText(const std::filesystem::path& path, std::string_view text);

// Lines of a vector file with comments (#) and blank lines dropped.
std::vector<std::string> ReadVectorLines(std::string_view name);

}  // namespace voltare::testing
