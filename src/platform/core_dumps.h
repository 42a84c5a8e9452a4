// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeping the program's memory, with the passwords and keys in it, out of
// core dumps: a crash then writes no dump of this process, and other
// processes of the same user cannot attach to it or read its memory.

namespace voltare::platform {

// Marks this process as not dumpable (prctl PR_SET_DUMPABLE 0). Called first
// thing at start by both programs; true when the system accepted it.
bool TurnOffCoreDumps() noexcept;

}  // namespace voltare::platform
