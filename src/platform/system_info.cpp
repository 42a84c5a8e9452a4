// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_info.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>

#include "platform/blanks.h"
#include "platform/file.h"

namespace voltare::platform {

namespace {

std::string CollapseBlanks(std::string_view text) {
  std::string out;
  bool inBlanks = false;
  for (const char c : Trim(text)) {
    const bool blank = c == ' ' || c == '\t';
    if (!blank) out += c;
    else if (!inBlanks) out += ' ';
    inBlanks = blank;
  }
  return out;
}

// The value of the first "field : value" line whose field is `name`.
std::string_view FieldValue(std::string_view text, std::string_view name) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && Trim(line.substr(0, colon)) == name) {
      return Trim(line.substr(colon + 1));
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return {};
}

}  // namespace

std::string ProcessorModelFromCpuInfo(std::string_view cpuinfo) {
  // x86 and newer ARM kernels, older ARM, MIPS, RISC-V, PowerPC, boards.
  constexpr std::array<std::string_view, 6> kModelFields{"model name", "Processor", "cpu model",
                                                         "uarch",      "cpu",       "Hardware"};
  for (const std::string_view field : kModelFields) {
    const std::string_view value = FieldValue(cpuinfo, field);
    if (!value.empty()) return CollapseBlanks(value);
  }
  return {};
}

SystemInfo ReadSystemInfo() {
  SystemInfo info;
  struct utsname names {};
  if (::uname(&names) == 0) {
    info.systemName = names.sysname;
    info.kernelRelease = names.release;
    info.kernelVersion = names.version;
    info.architecture = names.machine;
  }
  info.processorModel = ProcessorModelFromCpuInfo(ReadTextFile("/proc/cpuinfo"));
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  info.processorCount = online > 0 ? static_cast<unsigned>(online) : 0;
  struct sysinfo memory {};
  if (::sysinfo(&memory) == 0) {
    info.totalMemoryBytes = static_cast<std::uint64_t>(memory.totalram) * memory.mem_unit;
  }
  return info;
}

}  // namespace voltare::platform
