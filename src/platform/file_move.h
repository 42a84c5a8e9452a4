// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Moving a file to a new name without ever replacing what is there.

#include <filesystem>

namespace voltare::platform {

// Renames `from` to `to` unless `to` already exists. Returns 0 on success,
// otherwise the errno of the failure (EEXIST when the name is taken).
int MoveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace voltare::platform
