// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli archive-list ARCHIVE

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "archive/plx_reader.h"
#include "cli/command.h"
#include "cli/terminal_text.h"
#include "common/translate.h"
#include "platform/result_codes.h"

namespace voltare::cli {

namespace {

int ListArchive(Session& session, const std::string& archivePath) {
  const std::string path = ExistingPaths(session.app.MainForm, {archivePath}).front();
  std::vector<archive::ArchiveMember> members;
  std::uint32_t lost = 0;
  const platform::ResultCode result = archive::ListArchiveMembers(path, members, &lost);
  if (result != platform::Success) {
    session.ui.NameFile(path, archivePath);
    session.ui.FileFailed({app::FileAction::List, path, result});
    return kExitFailure;
  }
  bool cutOff = lost > 0;
  for (const archive::ArchiveMember& member : members) {
    std::cout << EscapeControls(member.name) << '\t' << member.size << (member.cutOff ? "\tdamaged: cut off" : "")
              << '\n';
    cutOff = cutOff || member.cutOff;
  }
  std::cout << std::flush;
  if (!cutOff) return kExitSuccess;
  // TRANSLATORS: %s is the archive as the user typed it; in the counted form
  // the second %s is the number of members lost after the cut.
  session.ui.Report(lost == 0 ? common::Filled(tr_("%s: the archive is cut off"), {archivePath})
                              : common::Filled(trn_("%s: the archive is cut off; %s more member is missing",
                                                    "%s: the archive is cut off; %s more members are missing", lost),
                                               {archivePath, std::to_string(lost)}));
  return kExitFailure;
}

}  // namespace

void AddArchiveListCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("archive-list", tr_("List the members of an archive (.plx)"));
  command->footer(
      tr_("\nPrints one line per member, in archive order: its name, a tab, its size\n"
          "in bytes. A damaged archive is reported as an error. In an archive cut\n"
          "short, the member the cut runs through is marked \"damaged: cut off\" and\n"
          "the command fails (exit status 1). Control characters\n"
          "and backslashes in names are written as \\t, \\n, \\xNN, \\\\.\n"
          "\nExample: voltare-cli archive-list letters.plx"));
  auto archivePath = std::make_shared<std::string>();
  command->add_option("ARCHIVE", *archivePath, tr_("The archive to list"))->required();
  command->callback([&chosen, archivePath] {
    chosen = [archivePath = *archivePath](Session& session) { return ListArchive(session, archivePath); };
  });
}

}  // namespace voltare::cli
