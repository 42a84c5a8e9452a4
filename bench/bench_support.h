// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the end-to-end benchmarks share: a private working directory, a
// progress indicator nobody watches, and running steps that must succeed.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/progress.h"
#include "platform/result_codes.h"

namespace voltare::bench {

using NoProgress = common::UnwatchedProgress;

// Throws when a step of the measured work did not succeed.
void Require(platform::ResultCode code, const std::string& step);

// `path` in single quotes for the shell.
std::string Quoted(const std::filesystem::path& path);

// Runs `command` with the shell; throws when it fails.
void Shell(const std::string& command);

// A fresh directory under TMPDIR (or /tmp), removed with everything in it
// when the object goes.
class Workspace {
 public:
  explicit Workspace(const std::string& prefix);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// Sets an environment variable for one benchmark and puts back what was there:
// the benchmarks after it would otherwise make their working directories in
// this one's workspace, removed by then.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace voltare::bench
