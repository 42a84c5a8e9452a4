// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/about_box.h"

namespace voltare::app {

std::string OperatingSystemLine(const platform::SystemInfo& system) {
  // TRANSLATORS: the operating system's name when the system gives none.
  const std::string name = system.systemName.empty() ? tr_("Unknown") : system.systemName;
  if (system.kernelRelease.empty()) return name;
  // TRANSLATORS: the operating system's name and its kernel's release, as in
  // "Linux (Kernel 6.1.0-13-amd64)".
  return common::Filled(tr_("%s (Kernel %s)"), {name, system.kernelRelease});
}

std::string ProcessorLine(const platform::SystemInfo& system) {
  const bool named = !system.processorModel.empty();
  if (system.architecture.empty()) {
    // TRANSLATORS: %s is the processor's model, as the system names it.
    return named ? common::Filled(tr_("Running on %s"), {system.processorModel})
                 : std::string(tr_("Running on an unknown processor"));
  }
  // TRANSLATORS: the processor's model and its architecture, as in
  // "Running on AMD EPYC 7763 (x86_64)".
  return named ? common::Filled(tr_("Running on %s (%s)"), {system.processorModel, system.architecture})
               // TRANSLATORS: %s is the processor's architecture, such as x86_64.
               : common::Filled(tr_("Running on an unknown processor (%s)"), {system.architecture});
}

std::string MemoryLine(const platform::SystemInfo& system) {
  // TRANSLATORS: %s is the machine's memory in kilobytes (KB).
  return common::Filled(tr_("Total Physical Memory: %s KB"), {std::to_string(system.totalMemoryBytes / 1024)});
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
