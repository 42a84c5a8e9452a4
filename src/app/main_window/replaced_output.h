// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An output that takes the name of something already there: whether to ask
// first, and what the new file inherits from the one it replaces.

#include <filesystem>

namespace voltare::app {

// True when something other than a folder has the output's name: a file, a
// FIFO, a device, a symbolic link (dangling or not). Any of them is replaced
// by the rename that puts the output in place, so the user is asked first.
bool OutputNameTaken(const std::filesystem::path& target);

// Gives the finished output, open as `staging`, the permissions of the regular file
// it is about to replace at `target`, so that a 0644 document stays readable
// to the group. Only the read, write and execute bits are kept, and the group
// and others get no bit the owner lacks: replacing never widens access.
// Nothing changes when `target` is not a regular file or not ours (the output
// keeps its private mode: another user's mode may have been chosen to let
// that user read what we write), or the mode cannot be set.
// Set through the descriptor: the staging name is never used again.
void KeepReplacedMode(const std::filesystem::path& target, int staging) noexcept;

}  // namespace voltare::app
