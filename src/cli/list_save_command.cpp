// voltare-cli list-save OUT.vls FILE...

#include <filesystem>
#include <iostream>

#include "cli/command.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

int SaveList(Session& session, const std::string& out, const std::vector<std::string>& files) {
  app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, files);
  // Files are added as if dropped on the window: a directory brings its files.
  form.DropFiles(paths);

  fs::path target = form.FromStartDirectory(out);
  session.ui.AnswerSaveDialog(target);
  form.SaveButtonClick();
  target.replace_extension(".vls");
  return form.Head.caption == " " + target.string() + ":" ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddListSaveCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("list-save", "Save files as a password-protected list (.vls)");
  command->footer(
      "\nThe FILEs go into an empty list (a directory brings every file below it)\n"
      "and the list is saved to OUT under a password from the password prompt.\n"
      "OUT gets the extension .vls, added or put in place of another; an existing\n"
      "file of that name is replaced. Relative paths are taken from the current\n"
      "directory and stored in full.\n"
      "\nExample: voltare-cli --password-file pw.txt list-save letters.vls letters/");
  auto out = std::make_shared<std::string>();
  auto files = std::make_shared<std::vector<std::string>>();
  command->add_option("OUT", *out, "The list file to write")->required();
  command->add_option("FILE", *files, "Files and directories to put in the list")->required();
  command->callback([&chosen, out, files] {
    chosen = [out = *out, files = *files](Session& session) { return SaveList(session, out, files); };
  });
}

}  // namespace voltare::cli
