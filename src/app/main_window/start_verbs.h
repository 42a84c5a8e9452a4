// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `voltare --encrypt FILE...` and its sister verbs: the window starts with the
// files in its list and runs one command on all of them, as if the user had
// chosen it there. File-manager actions start the program this way.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/translate.h"

namespace voltare::app {

class Application;

enum class StartVerb { Add, Encrypt, Decrypt, Wipe, Mail };

struct StartVerbName {
  StartVerb verb;
  std::string_view option;   // without the leading "--"
  common::Text description;  // for --help and the manual page
};

inline constexpr StartVerbName kStartVerbs[] = {
    {StartVerb::Encrypt, "encrypt", N_("Encrypt the files (folders: the files in them).")},
    {StartVerb::Decrypt, "decrypt",
     N_("Decrypt the .vlt files and .plx archives (folders: the ones in them); open a .vls list.")},
    {StartVerb::Wipe, "wipe", N_("Wipe the files securely (folders: the files in them).")},
    {StartVerb::Mail, "mail", N_("Open the e-mail composer with the files as attachments.")},
    {StartVerb::Add, "add", N_("Open the window with the files in its list.")},
};

// The program's arguments after its name, as the bytes the system gave:
// every argument that is not an option, and everything after "--". File
// names need not be UTF-8, so they never pass through text conversion.
std::vector<std::string> PlainArguments(std::span<const char* const> arguments);

// The local paths of `uris` ("file:///a%20b", "file://localhost/a%20b"), as a
// file manager hands its selection over where a plain path could not pass
// whole: percent-decoded to the bytes of each name. Empty when one of them
// is not a local file URI, the first such in `refused`.
std::optional<std::vector<std::string>> PathsOfFileUris(std::span<const std::string> uris, std::string& refused);

// Runs `verb` on `files` (command-line paths, taken from the start
// directory) in the main form. A path that does not exist is reported and
// left out; the others go on. Folders expand as a drop expands them.
void RunStartVerb(Application& program, StartVerb verb, std::span<const std::string> files);

}  // namespace voltare::app
