// voltare-cli decrypt [--output-dir DIR] [--member NAME]... FILE...

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_decrypt.h"
#include "cli/command.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

struct DecryptOptions {
  std::vector<std::string> files;
  std::optional<std::string> outputDirectory;
  std::vector<std::string> members;
};

int DecryptFiles(Session& session, const DecryptOptions& options) {
  const app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, options.files);
  const bool oneArchive = paths.size() == 1 && fs::path(paths.front()).extension() == ".plx";
  if (!oneArchive && (options.outputDirectory || !options.members.empty())) {
    throw UsageError("--output-dir and --member go with a single .plx archive");
  }
  if (oneArchive) {
    std::optional<fs::path> directory;
    if (options.outputDirectory) directory = form.FromStartDirectory(*options.outputDirectory);
    session.ui.AnswerArchiveViewer(directory, options.members);
  }

  if (app::DecryptFileList(session.app, paths) > 0) return kExitSuccess;
  if (!session.ui.ErrorShown()) session.ui.Report("no file was decrypted");
  return kExitFailure;
}

}  // namespace

void AddDecryptCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("decrypt", "Decrypt FILE.vlt files, or members of one archive (.plx)");
  command->footer(
      "\nEach FILE ending exactly in .vlt is decrypted into its path without .vlt;\n"
      "other files are skipped. An existing file of that name is replaced only\n"
      "after the program's question (--yes accepts, --no skips the file), and\n"
      "only once the new file is complete. With several files the program asks\n"
      "whether the first password holds for all (--yes accepts).\n"
      "A single FILE ending in .plx is an archive: the members named by --member\n"
      "(default: all; a name picks every member of that name) are decrypted into\n"
      "--output-dir (default: the archive's own directory), each after the question\n"
      "about the file it would replace there. A member cut off by the archive's\n"
      "end is reported as damaged; the members before it are decrypted.\n"
      "\nExamples: voltare-cli --password-file pw.txt decrypt report.doc.vlt\n"
      "          voltare-cli --password-file pw.txt --yes decrypt --output-dir out --member a.txt.vlt set.plx");
  auto options = std::make_shared<DecryptOptions>();
  command->add_option("--output-dir", options->outputDirectory, "Directory for the members of an archive")
      ->type_name("DIR");
  command->add_option("--member", options->members, "A member of the archive to decrypt (repeatable)")
      ->type_name("NAME");
  command->add_option("FILE", options->files, "Encrypted files (.vlt), or one archive (.plx)")->required();
  command->callback([&chosen, options] {
    chosen = [options = *options](Session& session) { return DecryptFiles(session, options); };
  });
}

}  // namespace voltare::cli
