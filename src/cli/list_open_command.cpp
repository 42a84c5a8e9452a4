// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli list-open IN.vls

#include <iostream>

#include "cli/command.h"
#include "cli/terminal_text.h"
#include "common/translate.h"
#include "platform/result_codes.h"

namespace voltare::cli {

namespace {

int OpenList(Session& session, const std::string& in) {
  app::TMainForm& form = session.app.MainForm;
  const std::string path = ExistingPaths(form, {in}).front();
  session.ui.NameFile(path, in);
  const platform::ResultCode result = form.LoadListFile(path);
  // ErrReported was shown (or the prompt cancelled, which says so itself).
  if (result != platform::Success && result != platform::ErrReported) {
    session.ui.FileFailed({app::FileAction::OpenList, path, result});
  }
  if (result != platform::Success) return kExitFailure;
  for (const app::ListItem& item : form.ListView.Items()) std::cout << EscapeControls(item.fileName) << '\n';
  return kExitSuccess;
}

}  // namespace

void AddListOpenCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("list-open", tr_("Print the files of a saved list (.vls)"));
  command->footer(
      tr_("\nOpens IN, strong or compatible, with the password from the password\n"
          "prompt and prints the full path of every entry, one per line, in list order.\n"
          "Entries whose files no longer exist are left out and reported once on\n"
          "standard error. Control characters and backslashes in names are written\n"
          "as \\t, \\n, \\xNN, \\\\.\n"
          "\nExample: voltare-cli --password-file pw.txt list-open letters.vls"));
  auto in = std::make_shared<std::string>();
  command->add_option("IN", *in, tr_("The list file (.vls) to open"))->required();
  command->callback([&chosen, in] { chosen = [in = *in](Session& session) { return OpenList(session, in); }; });
}

}  // namespace voltare::cli
