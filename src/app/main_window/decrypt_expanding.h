// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A large Blowfish or CAST-128 file (transforms/decrypt_expand.h), or any
// sealed file (transforms/sealed_expand.h), decrypted and expanded in one
// pass on two threads, with the same status texts, questions and staged
// output as the two steps one after the other.

#include <filesystem>
#include <string>

#include "app/shared/interaction.h"
#include "platform/result_codes.h"
#include "transforms/key_material.h"

namespace voltare::app {

// Decrypts `path` into a staged output that replaces `target` only when
// complete. `decompressingStatus` takes the status line once the password is
// accepted, as the second step's status does. Codes as DecryptExpandFile or
// SealedDecryptExpandFile.
[[nodiscard]] platform::ResultCode DecryptExpandInto(Interaction& ui, int algorithmId, const std::string& path,
                                                     const transforms::KeyMaterial& key,
                                                     const std::string& decompressingStatus,
                                                     const std::filesystem::path& target);

}  // namespace voltare::app
