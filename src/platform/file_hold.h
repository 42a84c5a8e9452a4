// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Marks a file as in use by a running copy of the program: an advisory lock
// on the whole file, held for as long as a descriptor of it stays open. A
// killed run's files carry no mark, which is how its leftovers are told from
// the files another running copy is working on.
//
// The mark is an open-file-description record lock (fcntl), not flock: the
// transforms flock the files they read to keep other programs out, and the
// two kinds of lock do not meet.

#include <filesystem>

namespace voltare::platform {

// Marks `fd` (open for writing on `name` in the directory open as `dirFd`)
// as in use. False when `name` no longer names that file: a cleaner took it
// between its creation and the mark, and the caller must make another. A file
// system without record locks leaves the file unmarked, and a cleaner then
// cannot take it either. Names are always taken relative to a directory held
// open, never as paths whose directories someone could swap meanwhile.
bool MarkInUseAt(int fd, int dirFd, const char* name) noexcept;

// Removes `name` in the directory open as `dirFd` when it is a regular file of
// this user that nobody marks as in use and, when `isOurs` is given, that it
// accepts (open as its argument). Links, other users' files and files in use
// stay. True when removed.
bool RemoveIfUnusedAt(int dirFd, const char* name, bool (*isOurs)(int fd) noexcept = nullptr) noexcept;

}  // namespace voltare::platform
