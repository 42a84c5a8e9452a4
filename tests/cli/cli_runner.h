// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs the built voltare-cli as a user would: from a directory of its own,
// with output going to files (so there is no terminal) and standard input
// from /dev/null or from a file.

#include <filesystem>
#include <string>
#include <vector>

namespace voltare::cli::testing {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// `argument` in single quotes for the shell.
std::string Quoted(const std::string& argument);

std::string ReadText(const std::filesystem::path& path);

// A file in the test's directory whose first line is `password`, for
// --password-file.
std::string PasswordFile(const std::string& password);

// A password no graphics card would find by guessing: a command that
// encrypts under it has no weak-password warning to add.
inline constexpr char kStrongPassword[] = "kT9#vQ2!mW4@zR7%";

// The test's work directory, where the tool runs by default.
std::filesystem::path Work();

// Runs voltare-cli in `directory` with standard input from /dev/null.
CliRun RunCli(const std::vector<std::string>& arguments, const std::filesystem::path& directory = Work());

// Runs voltare-cli in `directory` as RunCli does, but held to the file modes as
// an ordinary user is: when the tests run as root, root's power to read and
// write any file is dropped.
CliRun RunCliAsUser(const std::vector<std::string>& arguments, const std::filesystem::path& directory = Work());

// Runs voltare-cli in the work directory with `input` as its standard input
// (a file, not a terminal).
CliRun RunCliWithInput(const std::vector<std::string>& arguments, const std::string& input);

// Runs voltare-cli in the work directory on a terminal of its own (a
// pseudo-terminal): each time it waits for input after a prompt (a line
// ending in ": " or "] "), the next of `typed` is typed with Enter; once they
// are used up, the terminal's input ends. `out` holds everything the
// terminal showed, standard output and error together.
CliRun RunCliOnTerminal(const std::vector<std::string>& arguments, const std::vector<std::string>& typed);

}  // namespace voltare::cli::testing
