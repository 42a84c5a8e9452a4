// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli wipe [--method government|normal] [--passes N] FILE...

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window/batch_messages.h"
#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

struct WipeOptions {
  std::vector<std::string> files;
  std::string method;  // empty: the stored setting
  int passes = 0;      // 0: the stored setting
};

int WipeFiles(Session& session, const WipeOptions& options) {
  app::TMainForm& form = session.app.MainForm;
  // A folder brings every file below it; a file named itself comes as it is
  // (the wipe refuses what it must not wipe, each with its reason).
  // TRANSLATORS: %s is a folder as the user typed it.
  static const FileKind kAnyFile{[](const std::string&) { return true; }, "", N_("%s: the folder holds no file")};
  std::vector<std::string> paths, roots;
  for (const GivenFile& file : FilesGiven(session, ExistingPaths(form, options.files), options.files, kAnyFile)) {
    paths.push_back(file.path);
    roots.push_back(file.root);
  }
  if (paths.empty()) return kExitFailure;

  // For this run only; the store keeps its values.
  if (!options.method.empty())
    session.app.Overrides.settings["TypeOfWipe"] = options.method == "government" ? "0" : "1";
  if (options.passes > 0) session.app.Overrides.settings["Loop"] = std::to_string(options.passes);

  session.ui.HoldMessages({app::messages::kWiped});
  form.WipeFileList(paths, roots);

  // Done only when a file is gone: a refusal, a skipped file or a No leaves
  // it. A wipe whose final rename failed leaves no file behind, but showed
  // its error, and so still ends as a failure.
  const std::size_t wiped = static_cast<std::size_t>(std::ranges::count_if(paths, [](const std::string& path) {
    std::error_code error;
    return !fs::exists(fs::symlink_status(path, error));
  }));
  if (wiped == 0 && !session.ui.ErrorShown()) session.ui.Report(tr_("no file was wiped"));
  return EndBatch(session, {{wiped, paths.size(), kNotWiped}});
}

}  // namespace

void AddWipeCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("wipe", tr_("Securely delete files, or every file below a folder"));
  command->footer(
      tr_("\nEach FILE is overwritten in place, emptied, renamed and removed, after the\n"
          "program's question (--yes accepts). A folder brings every file below it:\n"
          "the one question then gives the count, and the folders the wipe emptied,\n"
          "the folder named included, are removed. Government Wipe writes 52 passes of\n"
          "fixed and random bytes; Normal Wipe writes N passes of random bytes.\n"
          "--method and --passes apply to this run only (default: the TypeOfWipe and\n"
          "Loop settings); the settings stay as they are. Files on network drives,\n"
          "symbolic links (a link and its target stay untouched), FIFOs and files\n"
          "with other names (hard links) are refused.\n"
          "\nExamples: voltare-cli --yes wipe --method normal --passes 7 old-notes.txt\n"
          "          voltare-cli --yes wipe old-drafts/"));
  auto options = std::make_shared<WipeOptions>();
  command->add_option("--method", options->method, tr_("Wipe method for this run (default: the TypeOfWipe setting)"))
      ->check(CLI::IsMember({"government", "normal"}));
  command
      ->add_option("--passes", options->passes, tr_("Passes of a Normal Wipe for this run (default: the Loop setting)"))
      ->type_name("N")
      ->check(CLI::Range(1, 100));
  command->add_option("FILE", options->files, tr_("Files and folders to wipe"))->required();
  command->callback(
      [&chosen, options] { chosen = [options = *options](Session& session) { return WipeFiles(session, options); }; });
}

}  // namespace voltare::cli
