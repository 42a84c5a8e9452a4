// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A large Blowfish or CAST-128 file decrypted and expanded in one pass, on
// two threads (transforms/decrypt_expand.h), with the same status texts,
// questions and staged output as the two steps one after the other.

#include <filesystem>
#include <string>
#include <string_view>

#include "app/shared/interaction.h"
#include "platform/result_codes.h"

namespace voltare::app {

// Decrypts `path` into a staged output that replaces `target` only when
// complete. `decompressingStatus` takes the status line once the password is
// accepted, as the second step's status does. Codes as DecryptExpandFile.
[[nodiscard]] platform::ResultCode DecryptExpandInto(Interaction& ui, int algorithmId, const std::string& path,
                                                     std::string_view password, const std::string& decompressingStatus,
                                                     const std::filesystem::path& target);

}  // namespace voltare::app
