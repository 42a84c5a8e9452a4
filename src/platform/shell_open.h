// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening a file or a web address with the desktop's default handler, the way
// a double click in a file manager would, for the program's parts that run
// without the desktop toolkit (the desktop program uses the toolkit's own way).

#include <filesystem>
#include <string_view>

#include "platform/result_codes.h"

namespace voltare::platform {

// Starts `xdg-open` (found on PATH) for `target`, a path or a URL, in
// `workingDirectory` (the current one when empty), detached from this
// process: the call returns as soon as the opener runs and never waits for the
// handler it starts. Success, or the errno value that kept the opener from
// starting (ENOENT when there is no opener or no such working directory).
// A target that begins with '-' is passed as "./-..." so the opener cannot
// take it for an option.
[[nodiscard]] ResultCode ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory = {});

}  // namespace voltare::platform
