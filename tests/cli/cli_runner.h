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

}  // namespace voltare::cli::testing
