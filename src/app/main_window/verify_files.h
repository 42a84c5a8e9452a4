// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Verify File(s)": encrypted files (".vlt") and every member of archives
// (".plx") are decrypted and expanded into nothing, so that a wrong password
// or damage shows without any plain byte being written anywhere.

#include <cstddef>
#include <string>
#include <vector>

namespace voltare::app {

class Application;

struct VerifyTally {
  std::size_t intact = 0;   // opened with the password and found sound
  std::size_t checked = 0;  // files and members looked at, intact or not
};

// Verifies the ".vlt" and ".plx" entries of `paths` (others are passed over),
// asking for passwords as decryption does and reporting each file itself,
// by its entry in `shown` (default: its file name). The same-password
// question comes only when several files are given: the members of one
// archive share its password. The tally counts every file and member taken,
// also those a stop left unseen.
VerifyTally VerifyFileList(Application& app, const std::vector<std::string>& paths,
                           const std::vector<std::string>& shown = {});

}  // namespace voltare::app
