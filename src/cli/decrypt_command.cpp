// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli decrypt [--output-dir DIR] [--member NAME]... FILE...

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/main_window/decrypt_files.h"
#include "app/main_window/decrypt_messages.h"
#include "app/shared/file_extensions.h"
#include "archive/plx_reader.h"
#include "cli/command.h"

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

// The ".vlt" files among `paths`; every other path is reported with the reason it is left out.
std::vector<std::string> EncryptedFiles(Session& session, const std::vector<std::string>& paths,
                                        const std::vector<std::string>& typed) {
  std::vector<std::string> files;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::error_code error;
    if (fs::is_directory(paths[i], error)) {
      session.ui.Report(typed[i] + ": a folder; decrypt takes .vlt files, or one .plx archive alone", false);
    } else if (app::HasExtension(paths[i], app::kPlxExtension)) {
      session.ui.Report(typed[i] + ": an archive (.plx) is decrypted only when it is named alone", false);
    } else if (!app::HasExtension(paths[i], app::kVltExtension)) {
      session.ui.Report(typed[i] + ": not an encrypted file (.vlt); skipped", false);
    } else {
      files.push_back(paths[i]);
    }
  }
  return files;
}

int DecryptFiles(Session& session, const DecryptOptions& options) {
  const app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, options.files);
  const bool oneArchive = paths.size() == 1 && app::HasExtension(paths.front(), app::kPlxExtension);
  if (!oneArchive && (options.outputDirectory || !options.members.empty())) {
    throw UsageError("--output-dir and --member go with a single .plx archive");
  }
  std::vector<std::string> files = paths;
  std::optional<std::size_t> count;
  if (oneArchive) {
    std::optional<fs::path> directory;
    if (options.outputDirectory) directory = form.FromStartDirectory(*options.outputDirectory);
    session.ui.AnswerArchiveViewer(directory, options.members);
    count = ChosenMembers(paths.front(), options.members);
  } else {
    files = EncryptedFiles(session, paths, options.files);
    count = files.size();
    if (files.empty()) return kExitFailure;
  }

  session.ui.HoldMessages({app::decrypt_messages::kDecryptedAll});
  const std::size_t decrypted = app::DecryptFileList(session.app, files);
  // Every file declined at its question: nothing failed, but nothing was done.
  if (decrypted == 0 && !session.ui.ErrorShown()) session.ui.Report("no file was decrypted");
  return EndBatch(session, {{decrypted, count.value_or(decrypted), "decrypted"}});
}

}  // namespace

void AddDecryptCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("decrypt", "Decrypt FILE.vlt files, or members of one archive (.plx)");
  command->footer(
      "\nEach FILE ending in .vlt (in any letter case) is decrypted into its path\n"
      "less those four characters; other files are skipped, each with the reason,\n"
      "and the command fails. An existing file of that name is replaced only\n"
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
