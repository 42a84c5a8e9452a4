// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the about box tells about the machine: the operating system and its
// kernel version, the processor and the physical memory. Plain data, so the
// box can be shown (and tested) for any machine; ReadSystemInfo fills it from
// the running system.

#include <cstdint>
#include <string>
#include <string_view>

namespace voltare::platform {

struct SystemInfo {
  std::string systemName;              // the kernel's name, "Linux"
  std::string kernelRelease;           // e.g. "6.1.0-13-amd64"
  std::string kernelVersion;           // the build text, e.g. "#1 SMP PREEMPT_DYNAMIC ..."
  std::string architecture;            // e.g. "x86_64", "aarch64"
  std::string processorModel;          // e.g. "AMD EPYC"; empty when the system does not say
  unsigned processorCount = 0;         // online processors; 0 when unknown
  std::uint64_t totalMemoryBytes = 0;  // physical memory; 0 when unknown
};

// The running system. Parts it cannot learn stay empty or 0.
SystemInfo ReadSystemInfo();

// The processor's model name from the text of /proc/cpuinfo: the first of the
// fields different architectures use for it ("model name", "Processor",
// "cpu model", "uarch", "cpu", "Hardware"), with runs of blanks made one.
// Empty when none is there.
std::string ProcessorModelFromCpuInfo(std::string_view cpuinfo);

}  // namespace voltare::platform
