// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Batch decryption: encrypted files (".vlt") back into the files they were
// made from. A single archive (".plx") is first opened in the archive viewer;
// the members chosen there are taken out and decrypted into the directory
// chosen there. The main window's file list is not involved.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "transforms/key_material.h"

namespace voltare::app {

class Application;

// True when the file exists and its first three bytes are "PLX".
bool IsPlxFile(const std::filesystem::path& path) noexcept;

// Decrypts the ".vlt" entries of `paths` (".VLT" too: see file_extensions.h),
// asking for passwords and replacements and reporting everything itself.
// `names` (default: each file's own name) are the paths below the output
// folder the files decrypt to, '/'-joined, ".vlt" included; folders on the
// way are made there. Two files that would decrypt to the same place are
// named and nothing is decrypted. Returns how many files were decrypted.
std::size_t DecryptFileList(Application& app, std::vector<std::string> paths,
                            const std::vector<std::string>& names = {});

// Decrypts one encrypted file into the name it had before encryption: in
// `outputDirectory` when that names an existing directory, else next to the
// encrypted file. An existing file of that name is replaced only once the new
// one is complete. `index` (0-based) and `count` place the file in its batch.
// Success; ErrCancelled (stopped); ErrReported for any failure, shown as a
// failure of the file (Interaction::FileFailed).
[[nodiscard]] platform::ResultCode DecryptOneFile(Application& app, const std::string& path,
                                                  const transforms::KeyMaterial* key, std::size_t index,
                                                  std::size_t count, const std::string& outputDirectory);

}  // namespace voltare::app
