// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_support.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace voltare::bench {

namespace fs = std::filesystem;

void Require(platform::ResultCode code, const std::string& step) {
  if (code != platform::Success) throw std::runtime_error(step + " failed with code " + std::to_string(code));
}

std::string Quoted(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("command failed: " + command);
}

Workspace::Workspace(const std::string& prefix) {
  const char* root = std::getenv("TMPDIR");
  std::string pattern = (fs::path(root != nullptr && *root != '\0' ? root : "/tmp") / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no working directory");
  dir_ = pattern;
}

Workspace::~Workspace() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

}  // namespace voltare::bench
