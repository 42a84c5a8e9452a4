// SPDX-License-Identifier: GPL-3.0-or-later
// Test main shared by every test program: each test runs in a fresh directory
// of its own, with TMPDIR and VOLTARE_CONFIG_DIR pointing inside it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "support/test_env.h"

namespace voltare::testing {
void SetTestDir(const std::filesystem::path& dir);
}

namespace {

namespace fs = std::filesystem;

class PerTestEnvironment : public ::testing::EmptyTestEventListener {
 public:
  explicit PerTestEnvironment(fs::path root) : root_(std::move(root)) {}

  void OnTestStart(const ::testing::TestInfo& info) override {
    const std::string name = std::string(info.test_suite_name()) + "." + info.name();
    std::string safe;
    for (char c : name) safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '.') ? c : '_';
    dir_ = root_ / safe;
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    fs::create_directories(dir_ / "tmp");
    fs::create_directories(dir_ / "config");
    ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
    ::setenv("VOLTARE_CONFIG_DIR", (dir_ / "config").c_str(), 1);
    // Sealed files derive their keys with the lowest limits the format
    // accepts, so the suite stays fast; one test checks the real defaults.
    ::setenv("VOLTARE_ARGON2_LIMITS", "1,8192", 1);
    // The texts the tests expect are the English ones, whatever language
    // the developer's desktop speaks; the translation tests set their own.
    ::setenv("LANGUAGE", "en", 1);
    voltare::testing::SetTestDir(dir_);
  }

  void OnTestEnd(const ::testing::TestInfo& info) override {
    voltare::testing::SetTestDir({});
    std::error_code ignored;
    // Files a test made read-only must not stop the clean-up.
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    if (!info.result()->Failed() || std::getenv("VOLTARE_KEEP_TEST_DIRS") == nullptr) {
      fs::remove_all(dir_, ignored);
    }
  }

 private:
  fs::path root_;
  fs::path dir_;
};

fs::path MakeRunRoot() {
  std::string pattern = (fs::temp_directory_path() / "voltare-tests-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create the test root directory");
  }
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  const fs::path root = MakeRunRoot();
  ::testing::UnitTest::GetInstance()->listeners().Append(new PerTestEnvironment(root));
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;
  if (std::getenv("VOLTARE_KEEP_TEST_DIRS") == nullptr) fs::remove_all(root, ignored);
  return status;
}
