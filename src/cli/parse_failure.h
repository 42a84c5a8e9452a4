// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command-line parser says when the arguments do not parse, in the
// user's language.

#include <CLI/CLI.hpp>

#include <string>

namespace voltare::cli {

// The parser's message for `error` and the hint to --help, each on a line of
// its own. The parser composes its messages in English from their parts; the
// ones a user meets are taken apart again and said in the catalogue's words,
// any other stays as the parser wrote it.
std::string ParseFailureText(const CLI::App* cli, const CLI::Error& error);

}  // namespace voltare::cli
