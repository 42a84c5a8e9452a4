// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/about_box.h"

namespace voltare::app {

std::string OperatingSystemLine(const platform::SystemInfo& system) {
  std::string line = system.systemName.empty() ? "Unknown" : system.systemName;
  if (!system.kernelRelease.empty()) line += " (Kernel " + system.kernelRelease + ")";
  return line;
}

std::string ProcessorLine(const platform::SystemInfo& system) {
  std::string line =
      "Running on " + (system.processorModel.empty() ? std::string("an unknown processor") : system.processorModel);
  if (!system.architecture.empty()) line += " (" + system.architecture + ")";
  return line;
}

std::string MemoryLine(const platform::SystemInfo& system) {
  return "Total Physical Memory: " + std::to_string(system.totalMemoryBytes / 1024) + " KB";
}

TAboutBox::TAboutBox() : TAboutBox(platform::ReadSystemInfo()) {}

TAboutBox::TAboutBox(const platform::SystemInfo& system) { FormCreate(system); }

void TAboutBox::FormCreate(const platform::SystemInfo& system) {
  OSInfo.caption = OperatingSystemLine(system);
  Processor.caption = ProcessorLine(system);
  Mem.caption = MemoryLine(system);
}

void TAboutBox::OKButtonClick() { Close(); }

std::vector<NamedControl> TAboutBox::Controls() {
  return {{"ProductName", &ProductName}, {"Version", &Version}, {"Notice", &Notice},    {"OSInfo", &OSInfo},
          {"Processor", &Processor},     {"Mem", &Mem},         {"OKButton", &OKButton}};
}

std::vector<std::string> TAboutBox::Lines() const {
  return {ProductName.caption, Version.caption, Notice.caption, OSInfo.caption, Processor.caption, Mem.caption};
}

}  // namespace voltare::app
