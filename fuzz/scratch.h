// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the fuzz targets put their input and outputs: one private folder per
// process, on a memory file system when there is one, since every output is
// flushed to disk and a fuzzer runs thousands of inputs a second.

#include <cstdint>
#include <filesystem>
#include <span>

namespace voltare::fuzz {

// The folder, created on first use; TMPDIR points inside it, so the program's
// own temporary files land there too.
const std::filesystem::path& ScratchDir();

// Writes the input to a file of that name in the scratch folder; its path.
std::filesystem::path WriteInput(std::span<const std::uint8_t> input, const char* name);

// Removes every file the last run left in the scratch folder.
void ClearScratch();

}  // namespace voltare::fuzz
