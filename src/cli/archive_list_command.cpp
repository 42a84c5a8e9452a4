// voltare-cli archive-list ARCHIVE

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "archive/plx_reader.h"
#include "cli/command.h"
#include "cli/terminal_text.h"
#include "platform/result_codes.h"

namespace voltare::cli {

namespace {

int ListArchive(Session& session, const std::string& archivePath) {
  std::vector<archive::ArchiveMember> members;
  const platform::ResultCode result =
      archive::ListArchiveMembers(session.app.MainForm.FromStartDirectory(archivePath), members);
  if (result != platform::Success) {
    session.ui.Error(platform::ErrorFormat(result));
    return kExitFailure;
  }
  for (const archive::ArchiveMember& member : members) std::cout << EscapeControls(member.name) << '\t' << member.size << '\n';
  return kExitSuccess;
}

}  // namespace

void AddArchiveListCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("archive-list", "List the members of an archive (.plx)");
  command->footer(
      "\nPrints one line per member, in archive order: its name, a tab, its size\n"
      "in bytes. A damaged archive is reported as an error. Control characters\n"
      "and backslashes in names are written as \\t, \\n, \\xNN, \\\\.\n"
      "\nExample: voltare-cli archive-list letters.plx");
  auto archivePath = std::make_shared<std::string>();
  command->add_option("ARCHIVE", *archivePath, "The archive to list")->required();
  command->callback([&chosen, archivePath] {
    chosen = [archivePath = *archivePath](Session& session) { return ListArchive(session, archivePath); };
  });
}

}  // namespace voltare::cli
