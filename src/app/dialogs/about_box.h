// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box: the product, its version and three lines about the machine
// (operating system, processor, memory). The lines are worked out once, when
// the box is made at start-up, not each time it is shown.

#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/modal_form.h"
#include "common/translate.h"
#include "common/version.h"
#include "platform/system_info.h"

namespace voltare::app {

// "Linux (Kernel 6.1.0-13-amd64)"; "Unknown" names a system that gives no name.
std::string OperatingSystemLine(const platform::SystemInfo& system);
// "Running on AMD EPYC (x86_64)"; "Running on an unknown processor" when the
// system names no model (with the architecture in parentheses when known).
std::string ProcessorLine(const platform::SystemInfo& system);
// "Total Physical Memory: 16318916 KB": whole kilobytes (1024 bytes).
std::string MemoryLine(const platform::SystemInfo& system);

class TAboutBox : public ModalForm {
 public:
  // The running machine.
  TAboutBox();
  // A given machine (tests, or a view that already read it).
  explicit TAboutBox(const platform::SystemInfo& system);

  std::string_view FormName() const override { return "AboutBox"; }

  // Fills OSInfo, Processor and Mem.
  void FormCreate(const platform::SystemInfo& system);
  void OKButtonClick();

  // The texts of the box from the product name down, one per label, for a
  // terminal that shows the box as lines.
  std::vector<std::string> Lines() const;

  // Every control, by its member name.
  std::vector<NamedControl> Controls();

  std::string Caption{tr_("About KOVA Voltare")};
  Label ProductName{"KOVA Voltare"};
  // TRANSLATORS: %s is the program's version number, such as 2.50.
  Label Version{common::Filled(tr_("Version %s"), {VOLTARE_VERSION})};
  Label Notice{tr_("Copyright (C) KOVA Software")};
  Label OSInfo;
  Label Processor;
  Label Mem;
  Button OKButton{tr_("OK")};
};

}  // namespace voltare::app
