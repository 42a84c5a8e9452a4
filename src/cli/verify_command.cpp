// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli verify FILE...

#include <memory>
#include <string>
#include <vector>

#include "app/main_window/verify_files.h"
#include "app/shared/file_extensions.h"
#include "cli/command.h"

namespace voltare::cli {

namespace {

// The encrypted files and archives among `paths`; every other path is
// reported with the reason it is left out, and makes the command fail.
std::vector<std::string> VerifiableFiles(Session& session, const std::vector<std::string>& paths,
                                         const std::vector<std::string>& typed) {
  std::vector<std::string> files;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (app::HasExtension(paths[i], app::kVltExtension) || app::HasExtension(paths[i], app::kPlxExtension)) {
      files.push_back(paths[i]);
    } else {
      session.ui.Report(typed[i] + ": not an encrypted file (.vlt) or archive (.plx); skipped", false);
    }
  }
  return files;
}

int VerifyFiles(Session& session, const std::vector<std::string>& typed) {
  const std::vector<std::string> files = VerifiableFiles(session, ExistingPaths(session.app.MainForm, typed), typed);
  if (files.empty()) return kExitFailure;
  const app::VerifyTally tally = app::VerifyFileList(session.app, files);
  // A file left unchecked (a stop, a declined prompt) is no verified file.
  if (tally.intact < tally.checked && !session.ui.ErrorShown()) session.ui.Report("not every file was verified");
  return EndBatch(session, {{tally.intact, tally.checked, "verified"}});
}

}  // namespace

void AddVerifyCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command =
      parent.add_subcommand("verify", "Check that encrypted files (.vlt) and archives (.plx) open and are sound");
  command->footer(
      "\nEach FILE ending in .vlt, and every member of each FILE ending in .plx, is\n"
      "decrypted and expanded into nothing: no decrypted byte is written anywhere.\n"
      "Each file is reported as intact, as opened with a wrong password, or as\n"
      "damaged. With several files the program asks whether the first password\n"
      "holds for all (--yes accepts). The command succeeds only when every file\n"
      "is intact.\n"
      "For XChaCha20-Poly1305 files (algorithm 3) every piece is authenticated:\n"
      "damage and any deliberate change are found. For Blowfish, CAST5 and DES\n"
      "(algorithms 0-2) only the checksum of the compressed data is tested: this\n"
      "finds damage, but NOT a deliberate change made by someone who knew the\n"
      "password.\n"
      "\nExample: voltare-cli --password-file pw.txt --yes verify report.doc.vlt set.plx");
  auto files = std::make_shared<std::vector<std::string>>();
  command->add_option("FILE", *files, "Encrypted files (.vlt) and archives (.plx)")->required();
  command->callback(
      [&chosen, files] { chosen = [files = *files](Session& session) { return VerifyFiles(session, files); }; });
}

}  // namespace voltare::cli
