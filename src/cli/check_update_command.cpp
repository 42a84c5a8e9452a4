// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli check-update

#include <iostream>

#include "app/email/update_check.h"
#include "cli/command.h"
#include "common/translate.h"
#include "platform/network_route.h"

namespace voltare::cli {

namespace {

int CheckUpdate(Session& session) {
  if (!platform::HasDefaultRoute()) {
    session.ui.Report(tr_("no network connection (no default route); nothing was checked"));
    return kExitFailure;
  }
  switch (app::CheckForNewVersion(session.ui)) {
    case app::UpdateCheckResult::Failed:
      // Some failures are left unannounced at the desktop's start-up; asked
      // for here, every one is.
      if (!session.ui.ErrorShown())
        session.ui.Report(
            common::Filled(tr_("could not fetch the update description from %s"), {app::UpdateAddress()}));
      return kExitFailure;
    case app::UpdateCheckResult::NoNewerRelease:
      std::cout << tr_("No newer release is announced.") << '\n';
      return kExitSuccess;
    case app::UpdateCheckResult::Declined:
    case app::UpdateCheckResult::Accepted:
      return kExitSuccess;
  }
  return kExitFailure;
}

}  // namespace

void AddCheckUpdateCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("check-update", tr_("Look for a newer release on the maker's web server"));
  command->footer(
      tr_("\nFetches the maker's update description over HTTP, as the program does at\n"
          "start when \"CheckUpdate\" is on (here whatever that setting says), but only\n"
          "while the machine has a network connection (a default route). When a newer\n"
          "release is announced, the question whether to open the maker's web page is\n"
          "answered by --yes or --no, or asked on the terminal.\n"
          "\nEnvironment:\n"
          "  VOLTARE_UPDATE_URL     fetch the description from this http:// address instead\n"
          "  VOLTARE_ASSUME_ONLINE  1: take the connection as up, 0: as down (also for the\n"
          "                         check the desktop program makes at start)\n"
          "\nExit status 1 also when there is no connection."));
  command->callback([&chosen] { chosen = CheckUpdate; });
}

}  // namespace voltare::cli
