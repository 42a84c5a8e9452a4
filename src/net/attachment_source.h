// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What may travel as an attachment: a regular file, or a stream such as a
// named pipe or a shell's <(...) that is read once to its end (the encoding
// needs no size first). A device or a socket never ends or cannot be read
// as a file, so it is refused with its reason.

#include <filesystem>
#include <string>

namespace voltare::platform {
class File;
}

namespace voltare::net {

// The message that refuses `path` as an attachment, naming it and saying
// why; empty when it can be attached or does not exist (that has its own
// message where it matters).
std::string AttachmentRefusal(const std::filesystem::path& path);

// Opens `path` for reading as an attachment. Throws NetError with the
// refusal above, or "Cannot open file <path>" when it cannot be opened.
platform::File OpenAttachment(const std::string& path);

}  // namespace voltare::net
