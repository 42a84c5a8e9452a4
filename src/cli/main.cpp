// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli [--password-file FILE] [--yes | --no] COMMAND [ARGS...]

#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "cli/parse_failure.h"
#include "cli/stop_signal.h"
#include "common/translate.h"
#include "common/version.h"
#include "platform/core_dumps.h"
#include "platform/temp_files.h"

namespace {

using namespace voltare;

constexpr const char* kDescription =
    N_("KOVA Voltare from the command line: the program's own commands, run with the\n"
       "terminal as the user. Messages appear in the program's words: information on\n"
       "standard output, warnings and errors on standard error. A file that fails is\n"
       "one line there, \"voltare-cli: PATH: what happened; what was kept\"; a full or\n"
       "read-only disk also stops the batch and names the files not tried. A batch in\n"
       "which a file failed ends with the files that failed and a summary (\"2 of 5\n"
       "files were not encrypted\") on standard error instead of the success message.");

constexpr const char* kFooter =
    N_("\nPasswords: every password prompt is answered with the first line of the\n"
       "--password-file, blanks at its end included (a warning says so); without it,\n"
       "on a terminal, the password is asked with echo\n"
       "off (an empty answer cancels), twice when it is to encrypt, and both must\n"
       "match; otherwise the prompt is cancelled.\n"
       "Yes/No questions: answered by --yes or --no (the question and its answer are\n"
       "still printed on standard error), else asked on the terminal.\n"
       "Settings: the same store as the desktop program (VOLTARE_CONFIG_DIR moves it).\n"
       "\nExit status: 0 everything succeeded, 1 the command ran and something failed\n"
       "or was cancelled, 2 wrong usage (a missing file included) or a question\n"
       "nobody could answer, 130 stopped by Ctrl+C (SIGINT), 143 stopped by SIGTERM.");

int RunCommand(const cli::CommandAction& action, const cli::TerminalOptions& options) {
  cli::TerminalView ui(options);
  // Paths on the command line are taken from where the tool was started.
  app::Application application(ui, std::filesystem::current_path());
  cli::Session session{ui, application};
  ui.NamePaths([&application](const std::string& path) { return cli::ShownPath(application.MainForm, path); });
  try {
    const int status = action(session);
    // A stopped run ends quietly: the step cleaned up and the batch went no further.
    if (const int signal = cli::StopSignal(); signal != 0) {
      ui.ProgressBar().setPosition(0);
      ui.ProgressBar().repaint();
      const std::string note = session.stopNote ? session.stopNote() : std::string();
      ui.Report(note.empty() ? std::string(tr_("stopped"))
                             // TRANSLATORS: %s says what the stopped command left ("nothing was wiped").
                             : common::Filled(tr_("stopped; %s"), {note}),
                false);
      return cli::StoppedExitStatus(signal);
    }
    if (status == cli::kExitSuccess && !ui.ErrorShown()) return cli::kExitSuccess;
    // Every failure says so, even one whose only cause was a No.
    if (!ui.ErrorShown()) ui.Report(tr_("the command did not complete"));
    return cli::kExitFailure;
  } catch (const cli::UnansweredQuestion& question) {
    std::cerr << "voltare-cli: " << tr_("this question needs an answer:") << "\n  " << question.what() << "\n"
              << tr_("Run the command again with --yes or --no.") << "\n";
    return cli::kExitUsage;
  } catch (const cli::UsageError& error) {
    std::cerr << "voltare-cli: " << error.what() << "\n";
    return cli::kExitUsage;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Before any password is read: no core dump may carry one.
  platform::TurnOffCoreDumps();
  common::StartTranslations();

  CLI::App cli(tr_(kDescription), "voltare-cli");
  cli::TranslateHelpLabels(cli);
  cli.failure_message(cli::ParseFailureText);
  cli.require_subcommand(1);
  cli.fallthrough();

  cli::TerminalOptions options;
  std::string passwordFile;
  auto* passwordOption =
      cli.add_option("--password-file", passwordFile, tr_("Answer every password prompt with the first line of FILE"))
          ->type_name("FILE");
  bool answerYes = false, answerNo = false;
  auto* yes = cli.add_flag("--yes", answerYes, tr_("Answer every Yes/No question with Yes"));
  auto* no = cli.add_flag("--no", answerNo, tr_("Answer every Yes/No question with No"));
  yes->excludes(no);
  cli.set_version_flag("--version", "voltare-cli (KOVA Voltare) " VOLTARE_VERSION, tr_("Print the version and exit"));

  cli::CommandAction action;
  for (const cli::CommandAdder add : cli::AllCommands()) add(cli, action);
  cli::GroupCommandsByTask(cli);
  cli.footer(tr_(kFooter));  // after the commands, which have footers of their own

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = cli.exit(error);
    return status == 0 ? cli::kExitSuccess : cli::kExitUsage;
  }
  if (*passwordOption) {
    if (::access(passwordFile.c_str(), R_OK) != 0) {
      std::cerr << common::Filled(tr_("--password-file: cannot read %s"), {passwordFile}) << "\n"
                << tr_("Run with --help for more information.") << "\n";
      return cli::kExitUsage;
    }
    options.passwordFile = passwordFile;
  }
  if (answerYes) options.answer = true;
  if (answerNo) options.answer = false;
  if (!action) return cli::kExitUsage;
  // What killed runs left: plain text must not lie about. Files of copies
  // still running are marked as in use and stay.
  platform::RemoveStaleTempFiles();
  cli::CatchStopSignals();
  return RunCommand(action, options);
}
