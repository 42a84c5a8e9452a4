// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli list-save OUT.vls FILE...

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

// A list keeps one name per line: a name holding a line break cannot be
// stored, and would come back as two wrong ones. Each is taken out of the
// list and named; the rest is saved.
void TakeOutUnstorableNames(Session& session) {
  app::FileListView& list = session.app.MainForm.ListView;
  std::vector<std::string> unstorable;
  for (const app::ListItem& item : list.Items()) {
    if (item.fileName.find_first_of("\r\n") != std::string::npos) unstorable.push_back(item.fileName);
  }
  list.SetAllSelected(false);
  for (const std::string& name : unstorable) {
    session.ui.Report(common::Filled(tr_("%s: a name with a line break cannot be stored in a list; left out"), {name}),
                      false);
    list.Select(name);
  }
  while (!list.RemoveFirstSelected().empty()) {
  }
}

int SaveList(Session& session, const std::string& out, const std::vector<std::string>& files) {
  app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, files);
  // Files are added as if dropped on the window: a directory brings its files.
  DropEach(session, paths, files);
  TakeOutUnstorableNames(session);
  if (form.ListView.Count() == 0) {
    session.ui.Report(tr_("no file to put in the list; nothing was saved"));
    return kExitFailure;
  }

  fs::path target = form.FromStartDirectory(out);
  session.ui.AnswerSaveDialog(target);
  form.SaveButtonClick();
  target.replace_extension(".vls");
  const bool saved = form.Head.caption == " " + target.string() + ":";
  return saved && !session.ui.ErrorShown() ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddListSaveCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("list-save", tr_("Save files as a password-protected list (.vls)"));
  command->footer(
      tr_("\nThe FILEs go into an empty list (a directory brings every file below it)\n"
          "and the list is saved to OUT under a password from the password prompt.\n"
          "OUT gets the extension .vls, added or put in place of another; an existing\n"
          "file of that name is replaced. Relative paths are taken from the current\n"
          "directory and stored in full. A name holding a line break cannot be stored:\n"
          "it is left out and named, the rest is saved, and the command fails. With\n"
          "no file at all (only FIFOs or devices, say), nothing is saved. With the\n"
          "Algorithm setting 3 (xchacha20) the list is an XChaCha20-Poly1305 encrypted\n"
          "file of the list, which KOVA Voltare for Linux 2.50 or later opens; with 0\n"
          "to 2 it is the compatible Blowfish form.\n"
          "\nExample: voltare-cli --password-file pw.txt list-save letters.vls letters/"));
  auto out = std::make_shared<std::string>();
  auto files = std::make_shared<std::vector<std::string>>();
  command->add_option("OUT", *out, tr_("The list file to write"))->required();
  command->add_option("FILE", *files, tr_("Files and directories to put in the list"))->required();
  command->callback([&chosen, out, files] {
    chosen = [out = *out, files = *files](Session& session) { return SaveList(session, out, files); };
  });
}

}  // namespace voltare::cli
