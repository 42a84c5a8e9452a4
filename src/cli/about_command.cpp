// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli about

#include <iostream>

#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

int ShowAbout(Session& session) {
  // The terminal cannot hold the box open; its lines are what it shows.
  session.app.MainForm.AboutClick();
  for (const std::string& line : session.app.AboutBox.Lines()) std::cout << line << '\n';
  std::cout << std::flush;
  return kExitSuccess;
}

}  // namespace

void AddAboutCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command =
      parent.add_subcommand("about", tr_("The about box: version, operating system, processor, memory"));
  command->callback([&chosen] { chosen = ShowAbout; });
}

}  // namespace voltare::cli
