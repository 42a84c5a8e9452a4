// SPDX-License-Identifier: GPL-3.0-or-later
// One QApplication for the whole test program, on the offscreen platform
// unless a display was chosen, so that the real widgets run without a screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[12] = "voltare-gui";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
