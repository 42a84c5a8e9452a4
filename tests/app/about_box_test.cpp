// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/about_box.h"

#include <gtest/gtest.h>

namespace voltare::app {
namespace {

platform::SystemInfo Machine() {
  platform::SystemInfo system;
  system.systemName = "Linux";
  system.kernelRelease = "6.1.0-13-amd64";
  system.kernelVersion = "#1 SMP PREEMPT_DYNAMIC";
  system.architecture = "x86_64";
  system.processorModel = "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz";
  system.processorCount = 12;
  system.totalMemoryBytes = 16710569984ull;  // 16318916 KB
  return system;
}

TEST(AboutBoxTest, LinesOfAKnownMachine) {
  const TAboutBox box(Machine());
  EXPECT_EQ(box.Caption, "About KOVA Voltare");
  EXPECT_EQ(box.FormName(), "AboutBox");
  EXPECT_EQ(box.Lines(),
            (std::vector<std::string>{
                "KOVA Voltare", "Version 2.50", "Copyright (C) KOVA Software", "Linux (Kernel 6.1.0-13-amd64)",
                "Running on Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz (x86_64)", "Total Physical Memory: 16318916 KB"}));
}

TEST(AboutBoxTest, WhatTheSystemDoesNotTellIsCalledUnknown) {
  platform::SystemInfo system = Machine();
  system.processorModel.clear();
  EXPECT_EQ(ProcessorLine(system), "Running on an unknown processor (x86_64)");
  system.architecture.clear();
  EXPECT_EQ(ProcessorLine(system), "Running on an unknown processor");

  system.kernelRelease.clear();
  EXPECT_EQ(OperatingSystemLine(system), "Linux");
  system.systemName.clear();
  EXPECT_EQ(OperatingSystemLine(system), "Unknown");
}

TEST(AboutBoxTest, MemoryCountsWholeKilobytes) {
  platform::SystemInfo system;
  system.totalMemoryBytes = 1023;
  EXPECT_EQ(MemoryLine(system), "Total Physical Memory: 0 KB");
  system.totalMemoryBytes = 2047;
  EXPECT_EQ(MemoryLine(system), "Total Physical Memory: 1 KB");
  system.totalMemoryBytes = 1ull << 42;  // beyond 32 bits
  EXPECT_EQ(MemoryLine(system), "Total Physical Memory: 4294967296 KB");
}

TEST(AboutBoxTest, OkClosesAndTheRunningMachineIsDescribed) {
  TAboutBox box(Machine());
  box.Open();
  const auto before = box.Lines();
  box.OKButtonClick();
  EXPECT_FALSE(box.IsShowing());
  EXPECT_EQ(box.Lines(), before);

  const TAboutBox running;
  EXPECT_EQ(running.OSInfo.caption.rfind("Linux (Kernel ", 0), 0u) << running.OSInfo.caption;
}

}  // namespace
}  // namespace voltare::app
