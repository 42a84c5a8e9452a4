// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's windows driven by the scripted fake user, in a test's own
// directory (which is also the directory the program was "started" from).

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/shared/application.h"
#include "fake_user.h"
#include "support/test_env.h"

namespace voltare::testing {

struct AppFixture {
  FakeUser user;
  app::Application app{user, TestDir()};
  app::TMainForm& form = app.MainForm;

  // A file of `size` bytes in the test directory; its full path.
  static std::string MakeFile(const std::string& name, std::size_t size = 10) {
    const std::filesystem::path path = TestDir() / name;
    std::filesystem::create_directories(path.parent_path());
    WriteFileText(path, std::string(size, 'x'));
    return path.string();
  }
};

}  // namespace voltare::testing
