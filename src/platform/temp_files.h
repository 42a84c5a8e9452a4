#pragma once
// The program's temporary files. They live in a private directory of the user,
// ${TMPDIR:-/tmp}/kova-voltare-<uid>/, which holds compressed plaintext while a
// file is encrypted and decrypted; so it must be the user's alone.

#include <filesystem>
#include <optional>

namespace voltare::platform {

// The private temporary directory, created mode 0700 when missing. Nothing
// when it cannot be had, or when what is there is not a real directory owned by
// this user and closed to others (a symlink or someone else's directory planted
// in a shared /tmp, or one that has been opened to others).
std::optional<std::filesystem::path> PrivateTempDir();

// A new, empty, uniquely named file "Vol<unique>.TMP" in the private temporary
// directory, created exclusively with mode 0600; nothing when none can be made.
std::optional<std::filesystem::path> MakeTempFileName();

}  // namespace voltare::platform
