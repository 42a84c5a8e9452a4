// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_info.h"

#include <gtest/gtest.h>

namespace voltare::platform {
namespace {

TEST(ProcessorModel, TakesTheModelFieldOfEachArchitecture) {
  EXPECT_EQ(ProcessorModelFromCpuInfo("processor\t: 0\n"
                                      "vendor_id\t: GenuineIntel\n"
                                      "model\t\t: 158\n"
                                      "model name\t: Intel(R) Core(TM)   i7-8700 CPU @ 3.20GHz  \n"
                                      "processor\t: 1\n"
                                      "model name\t: second core\n"),
            "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
  EXPECT_EQ(ProcessorModelFromCpuInfo("Processor\t: ARMv7 Processor rev 4 (v7l)\n"
                                      "Hardware\t: BCM2835\n"),
            "ARMv7 Processor rev 4 (v7l)");
  EXPECT_EQ(ProcessorModelFromCpuInfo("processor\t: 0\nhart\t\t: 1\nisa\t\t: rv64imafdc\n"
                                      "uarch\t\t: sifive,u74-mc\n"),
            "sifive,u74-mc");
  EXPECT_EQ(ProcessorModelFromCpuInfo("processor\t: 0\ncpu\t\t: POWER9 (architected)\n"), "POWER9 (architected)");
}

TEST(ProcessorModel, EmptyWhenTheSystemDoesNotNameIt) {
  // arm64 kernels list only identification numbers.
  EXPECT_EQ(ProcessorModelFromCpuInfo("processor\t: 0\nBogoMIPS\t: 48.00\n"
                                      "CPU implementer\t: 0x41\nCPU part\t: 0xd08\n"),
            "");
  EXPECT_EQ(ProcessorModelFromCpuInfo("model name\t:\n"), "");
  EXPECT_EQ(ProcessorModelFromCpuInfo(""), "");
}

TEST(SystemInfoReading, TheRunningSystemIsLinux) {
  const SystemInfo info = ReadSystemInfo();
  EXPECT_EQ(info.systemName, "Linux");
  EXPECT_FALSE(info.kernelRelease.empty());
  EXPECT_FALSE(info.architecture.empty());
  EXPECT_GT(info.processorCount, 0u);
  EXPECT_GT(info.totalMemoryBytes, 16u * 1024 * 1024);
}

}  // namespace
}  // namespace voltare::platform
