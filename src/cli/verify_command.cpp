// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli verify FILE...

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window/verify_files.h"
#include "app/shared/file_extensions.h"
#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

int VerifyFiles(Session& session, const std::vector<std::string>& typed) {
  const std::vector<GivenFile> given =
      FilesGiven(session, ExistingPaths(session.app.MainForm, typed), typed, kEncryptedFiles);
  if (given.empty()) return kExitFailure;
  std::vector<std::string> files, shown;
  for (const GivenFile& file : given) {
    files.push_back(file.path);
    shown.push_back(file.shown);
  }
  const app::VerifyTally tally = app::VerifyFileList(session.app, files, shown);
  // A file left unchecked (a stop, a declined prompt) is no verified file.
  if (tally.intact < tally.checked && !session.ui.ErrorShown()) session.ui.Report(tr_("not every file was verified"));
  return EndBatch(session, {{tally.intact, tally.checked, kNotVerified}});
}

}  // namespace

void AddVerifyCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand(
      "verify",
      tr_("Check that encrypted files (.vlt) and archives (.plx), or those below a folder, open and are sound"));
  command->footer(
      tr_("\nEach FILE ending in .vlt, and every member of each FILE ending in .plx, is\n"
          "decrypted and expanded into nothing: no decrypted byte is written anywhere.\n"
          "A folder brings every .vlt and .plx below it. Each file is reported by its\n"
          "path as given (a member after its archive's) as intact, as opened with a\n"
          "wrong password, or as damaged. With several files the program asks whether\n"
          "the first password holds for all (--yes accepts); the members of one\n"
          "archive take the password that opened the first. The command succeeds\n"
          "only when every file is intact.\n"
          "For XChaCha20-Poly1305 files (algorithm 3) every piece is authenticated:\n"
          "damage and any deliberate change are found. For Blowfish, CAST5 and DES\n"
          "(algorithms 0-2) only the checksum of the compressed data is tested: this\n"
          "finds damage, but NOT a deliberate change made by someone who knew the\n"
          "password.\n"
          "\nExample: voltare-cli --password-file pw.txt --yes verify report.doc.vlt set.plx"));
  auto files = std::make_shared<std::vector<std::string>>();
  command->add_option("FILE", *files, tr_("Encrypted files (.vlt), archives (.plx) and folders"))->required();
  command->callback(
      [&chosen, files] { chosen = [files = *files](Session& session) { return VerifyFiles(session, files); }; });
}

}  // namespace voltare::cli
