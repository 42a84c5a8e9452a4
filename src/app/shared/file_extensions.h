// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own extensions (".vlt", ".plx", ".vls") as names spell them.
// Letter case does not matter: "A.TXT.VLT" comes from file systems and mail
// programs that shout; the file's magic, not the name, decides what it is.

#include <string_view>

namespace voltare::app {

inline constexpr std::string_view kVltExtension = ".vlt";
inline constexpr std::string_view kPlxExtension = ".plx";
inline constexpr std::string_view kVlsExtension = ".vls";

// True when the last path component ends in `extension` (with its dot),
// ASCII letters compared without case, and has something before it.
bool HasExtension(std::string_view path, std::string_view extension) noexcept;

}  // namespace voltare::app
