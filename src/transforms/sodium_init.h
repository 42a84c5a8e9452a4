// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cryptography library of the sealed files must be started once before
// its first use; every entry point of ours that reaches it calls this.

namespace voltare::transforms {

// Throws std::runtime_error when the library cannot start (no source of
// randomness): nothing may then be sealed.
void RequireSodium();

}  // namespace voltare::transforms
