// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of "Verify File(s)", each filled with the file's name (an
// archive member as "archive.plx: member").

#include <string_view>

#include "common/translate.h"

namespace voltare::app::verify_messages {

// The older algorithms carry only the checksum of the compressed data: it
// shows damage, but not a change made on purpose.
inline constexpr common::Text kIntact = N_("%s is intact: it opens with this password and no damage was found.");
// A sealed file (XChaCha20-Poly1305): every piece opened with its key.
inline constexpr common::Text kIntactSealed =
    N_("%s is intact: it opens with this password, no damage was found and nothing in it was changed.");
inline constexpr common::Text kVerifyTitle = N_("Please select the files you want to verify:");

}  // namespace voltare::app::verify_messages
