// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli decrypt [--output-dir DIR] [--member NAME]... FILE...

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window/decrypt_files.h"
#include "app/main_window/decrypt_messages.h"
#include "app/shared/file_extensions.h"
#include "archive/plx_names.h"
#include "archive/plx_reader.h"
#include "cli/command.h"
#include "cli/stop_signal.h"
#include "common/translate.h"
#include "platform/subfolder.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

struct DecryptOptions {
  std::vector<std::string> files;
  std::optional<std::string> outputDirectory;
  std::vector<std::string> members;
};

// The members an archive run will decrypt: those named, or all of them.
// Nothing when the archive cannot be listed (the run reports that itself).
std::optional<std::size_t> ChosenMembers(const fs::path& archivePath, const std::vector<std::string>& names) {
  std::vector<archive::ArchiveMember> members;
  if (archive::ListArchiveMembers(archivePath, members) != platform::Success) return std::nullopt;
  if (names.empty()) return members.size();
  const std::set<std::string> named(names.begin(), names.end());
  return static_cast<std::size_t>(std::ranges::count_if(
      members, [&named](const archive::ArchiveMember& member) { return named.contains(member.name); }));
}

// The folder below `output` that keeps a file's place below the folder
// named that brought it: made there, never through a link.
fs::path KeptPlace(const fs::path& output, const GivenFile& file) {
  if (file.root.empty()) return output;
  const fs::path below = fs::path(file.path).parent_path().lexically_relative(file.root);
  if (below.empty() || below == ".") return output;
  const platform::Subfolder made(output, below);
  return output / below;
}

// Names below the output folder for the ".vlt" files: each path below the
// folder named that brought it, plain names for files named themselves
// (archive::TreeNames).
std::vector<std::string> NamesBelowOutput(const std::vector<GivenFile>& files) {
  std::vector<archive::TreeFile> tree;
  for (const GivenFile& file : files) tree.push_back({file.path, file.root});
  return archive::TreeNames(tree);
}

// The files of the batch running, as shown: the encrypted files, or the one
// archive whose members are decrypted.
struct RunningBatch {
  std::vector<std::string> files;
  bool archive = false;
};

// What a stop left: the file it interrupted was not decrypted (its step
// removes what it wrote); those before it were, and are kept.
std::string DecryptStopNote(const Session& session, const RunningBatch& running) {
  const std::optional<InterruptedStep> step = StepStopped(session.ui);
  if (!step || step->position == 0 || running.files.empty()) return {};
  const std::string& file = running.files[std::min(step->position, running.files.size()) - 1];
  // TRANSLATORS: after "stopped; "; %s is the archive, or the encrypted file, being decrypted.
  return common::Filled(running.archive ? tr_("a member of %s was not decrypted, nothing of it was written")
                                        : tr_("%s was not decrypted, nothing of it was written"),
                        {file});
}

int DecryptFiles(Session& session, const DecryptOptions& options) {
  app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, options.files);
  std::vector<GivenFile> encrypted, archives;
  for (GivenFile& file : FilesGiven(session, paths, options.files, kEncryptedFiles)) {
    (app::HasExtension(file.path, app::kPlxExtension) ? archives : encrypted).push_back(std::move(file));
  }
  if (!options.members.empty() && (archives.size() != 1 || !encrypted.empty() || paths.size() != 1)) {
    throw UsageError(tr_("--member goes with a single .plx archive"));
  }
  if (encrypted.empty() && archives.empty()) return kExitFailure;
  std::optional<fs::path> output;
  if (options.outputDirectory) {
    output = form.FromStartDirectory(*options.outputDirectory);
    std::error_code error;
    fs::create_directories(*output, error);
    if (!fs::is_directory(*output, error))
      throw UsageError(common::Filled(tr_("%s: not a folder"), {*options.outputDirectory}));
  }

  session.ui.HoldMessages({app::decrypt_messages::kDecryptedAll});
  std::size_t decrypted = 0;
  std::size_t count = 0;
  // The files of the batch running, as shown, for the line a stop ends with
  // (asked after this function returned).
  const auto running = std::make_shared<RunningBatch>();
  session.stopNote = [&session, running] { return DecryptStopNote(session, *running); };
  if (!encrypted.empty()) {
    std::vector<std::string> files;
    for (const GivenFile& file : encrypted) {
      files.push_back(file.path);
      running->files.push_back(file.shown);
    }
    form.ExtractDirectory = output ? output->string() : std::string();
    decrypted +=
        app::DecryptFileList(session.app, files, output ? NamesBelowOutput(encrypted) : std::vector<std::string>{});
    count += files.size();
  }
  for (const GivenFile& archive : archives) {
    std::optional<fs::path> directory;
    try {
      if (output) directory = KeptPlace(*output, archive);
    } catch (const std::exception& failure) {
      session.ui.Report(archive.shown + ": " + failure.what(), false);
      continue;
    }
    *running = RunningBatch{{archive.shown}, true};
    session.ui.AnswerArchiveViewer(directory, options.members);
    count += ChosenMembers(archive.path, options.members).value_or(1);
    decrypted += app::DecryptFileList(session.app, {archive.path});
  }
  if (StopSignal() != 0) return kExitFailure;
  // Every file declined at its question: nothing failed, but nothing was done.
  if (decrypted == 0 && !session.ui.ErrorShown()) session.ui.Report(tr_("no file was decrypted"));
  return EndBatch(session, {{decrypted, count, kNotDecrypted}});
}

}  // namespace

void AddDecryptCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command =
      parent.add_subcommand("decrypt", tr_("Decrypt FILE.vlt files and archives (.plx), or every one below a folder"));
  command->footer(
      tr_("\nEach FILE ending in .vlt (in any letter case) is decrypted into its path\n"
          "less those four characters; each FILE ending in .plx is an archive, all\n"
          "its members decrypted (into the archive's own folder by default). A folder\n"
          "brings every .vlt and .plx below it. Other files are skipped, each with\n"
          "the reason, and the command fails.\n"
          "--output-dir (made when missing) takes the decrypted files instead, each\n"
          "at its path below the folder given (a file named itself at its name), an\n"
          "archive's members at their paths in the archive. Folders on the way are\n"
          "made there, never through a link. Two files that would be decrypted to\n"
          "the same place are both named, and nothing is decrypted.\n"
          "The password is checked first; then an existing file of that name is\n"
          "replaced only after the program's question (--yes accepts, --no skips\n"
          "the file), and only once the new file is complete. With several files the\n"
          "program asks whether the first password holds for all (--yes accepts);\n"
          "the members of one archive take the password that opened the first.\n"
          "--member (with one archive alone) picks members by name (repeatable; a\n"
          "name picks every member of that name). A member cut off by the archive's\n"
          "end is reported as damaged; the members before it are decrypted.\n"
          "\nExamples: voltare-cli --password-file pw.txt decrypt report.doc.vlt\n"
          "          voltare-cli --password-file pw.txt --yes decrypt --output-dir out photos.plx\n"
          "          voltare-cli --password-file pw.txt --yes decrypt --output-dir out --member a.txt.vlt set.plx"));
  auto options = std::make_shared<DecryptOptions>();
  command->add_option("--output-dir", options->outputDirectory, tr_("Folder for the decrypted files"))
      ->type_name("DIR");
  command->add_option("--member", options->members, tr_("A member of the archive to decrypt (repeatable)"))
      ->type_name("NAME");
  command->add_option("FILE", options->files, tr_("Encrypted files (.vlt), archives (.plx) and folders"))->required();
  command->callback([&chosen, options] {
    chosen = [options = *options](Session& session) { return DecryptFiles(session, options); };
  });
}

}  // namespace voltare::cli
