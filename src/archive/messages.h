// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive subsystem's own texts.

#include <string_view>

#include "common/translate.h"

namespace voltare::archive::messages {

// Filled with the 1-based position of the member and the number of members.
inline constexpr common::Text kBundlingStatus = N_("Bundling files to one (%d/%d) -- PLX");

// The label a removable disk gets when an archive is written to it.
inline constexpr std::string_view kRemovableDiskLabel = "PLXDisk";

}  // namespace voltare::archive::messages
