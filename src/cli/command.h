// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every voltare-cli command shares: the session it runs in, how it
// joins the command line, and the exit codes.
//
// A command is one source file with one function that adds its subcommand to
// the parser and, when the user names it, hands back the action to run.
// commands.cpp lists these functions; nothing else needs to change to add one.

#include <CLI/CLI.hpp>

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/shared/application.h"
#include "cli/terminal_view.h"
#include "common/translate.h"

namespace voltare::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // an error was shown, or the command was cancelled
inline constexpr int kExitUsage = 2;

// The program's windows with the terminal as their user.
struct Session {
  TerminalView& ui;
  app::Application& app;
  // After a stop (Ctrl+C, SIGTERM): what was stopped and what was kept, for
  // the line "voltare-cli: stopped; ..."; empty when there is nothing to add.
  std::function<std::string()> stopNote = {};
};

// The file a stop interrupted, as the status line placed it: the 1-based k of
// "Encrypting (k/n)..." and the verb before it; nothing before the first step.
struct InterruptedStep {
  std::string verb;  // "Encrypting", in the user's language
  std::size_t position = 0;

  // Whether the step is the one `status` ("Encrypting (%d/%d)...") shows.
  bool Is(const common::Text& status) const;
};
std::optional<InterruptedStep> StepStopped(const TerminalView& ui);

// `path` as the user would type it: below the start directory when it lies there.
std::string ShownPath(const app::TMainForm& form, const std::string& path);

// Runs the chosen command; kExitSuccess or kExitFailure (the session's error
// messages count too: see main.cpp).
using CommandAction = std::function<int(Session&)>;

// Adds one command to `parent`; its callback stores the action in `chosen`.
using CommandAdder = void (*)(CLI::App& parent, CommandAction& chosen);

// Arguments that parse but make no sense (exit 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The files named on the command line, from where the tool was started;
// UsageError for one that does not exist or cannot be looked at (a symbolic
// link exists as a name, even when it points nowhere).
std::vector<std::string> ExistingPaths(const app::TMainForm& form, const std::vector<std::string>& typed);

// A file named on the command line, or found below a folder named there.
struct GivenFile {
  std::string path;   // absolute
  std::string shown;  // as typed, or the folder as typed with the path below it
  std::string root;   // the folder named that brought it (absolute); empty for a file named itself
};

// The files a command takes, and how its messages call them: each a whole
// sentence in the catalogue, filled with the path as typed.
struct FileKind {
  std::function<bool(const std::string&)> take;
  common::Text notTaken;      // "%s: not an encrypted file (.vlt) or archive (.plx); skipped"
  common::Text noneInFolder;  // "%s: the folder holds no encrypted file (.vlt) or archive (.plx)"
};

// `paths` (typed as `typed`) with each folder replaced by the files below it
// that the command takes, in name order. Reported (and so failing the
// command): a part of a folder that cannot be reached, a folder that holds
// nothing to take, a file named itself that is not to be taken.
std::vector<GivenFile> FilesGiven(Session& session, const std::vector<std::string>& paths,
                                  const std::vector<std::string>& typed, const FileKind& kind);

// Encrypted files (.vlt) and archives (.plx), by their names.
extern const FileKind kEncryptedFiles;

// Hands `paths` to `add`, which puts them in the main window's list: the
// regular files in runs, at once (each of them brings itself), every other
// path alone, so that one that brings nothing can be named. `add` returns
// whether it said why itself; otherwise the path is reported here. The
// number of paths that brought something.
std::size_t AddPaths(Session& session, const std::vector<std::string>& paths, const std::vector<std::string>& typed,
                     const std::function<bool(std::span<const std::string>)>& add);

// Adds each path to the main window's list as a drop would (a directory
// brings its files) and says why for each that brought nothing. The number
// of paths that brought something.
std::size_t DropEach(Session& session, const std::vector<std::string>& paths, const std::vector<std::string>& typed);

// How a batch's summary says that files were not done, one whole sentence
// per kind of work: for a batch of one file, and for a larger batch, counted
// by the files not done ("%d of %d files were not encrypted").
struct ShortfallText {
  common::Text ofOne;
  common::PluralText ofMany;

  // The sentence for `missing` of `count` files.
  std::string For(std::size_t missing, std::size_t count) const;
};

// The summaries of the commands' batches; kNotOpened is for files named
// without a command (each decrypted, or a list printed).
inline constexpr ShortfallText kNotEncrypted{
    // TRANSLATORS: a batch's summary when the batch had one file.
    N_("1 of 1 file was not encrypted"),
    // TRANSLATORS: a batch's summary: how many files were not encrypted, of how many in the batch.
    NP_("%d of %d files was not encrypted", "%d of %d files were not encrypted")};
inline constexpr ShortfallText kNotWiped{
    // TRANSLATORS: a batch's summary when the batch had one file.
    N_("1 of 1 file was not wiped"),
    // TRANSLATORS: a batch's summary: how many files were not wiped, of how many in the batch.
    NP_("%d of %d files was not wiped", "%d of %d files were not wiped")};
inline constexpr ShortfallText kNotDecrypted{
    // TRANSLATORS: a batch's summary when the batch had one file.
    N_("1 of 1 file was not decrypted"),
    // TRANSLATORS: a batch's summary: how many files were not decrypted, of how many in the batch.
    NP_("%d of %d files was not decrypted", "%d of %d files were not decrypted")};
inline constexpr ShortfallText kNotVerified{
    // TRANSLATORS: a batch's summary when the batch had one file.
    N_("1 of 1 file was not verified"),
    // TRANSLATORS: a batch's summary: how many files were not verified, of how many in the batch.
    NP_("%d of %d files was not verified", "%d of %d files were not verified")};
inline constexpr ShortfallText kNotOpened{
    // TRANSLATORS: a batch's summary when the batch had one file.
    N_("1 of 1 file was not opened"),
    // TRANSLATORS: a batch's summary: how many files were not opened, of how many in the batch.
    NP_("%d of %d files was not opened", "%d of %d files were not opened")};

// What part of a batch was done: `done` of `count` files; `notDone` says
// what the rest were not.
struct Tally {
  std::size_t done;
  std::size_t count;
  const ShortfallText& notDone;
};

// Ends a batch command. Without an error shown: the program's held success
// messages and kExitSuccess (files the user declined are no failure).
// Otherwise kExitFailure, the success messages dropped, and for each tally
// that fell short a summary on standard error: "2 of 5 files were not encrypted".
int EndBatch(Session& session, std::initializer_list<Tally> tallies);

// Every command of the tool, in the order --help lists them.
std::span<const CommandAdder> AllCommands();

// Puts the added commands under the headings --help shows them in: what
// they work on (files, lists, texts, e-mail), then settings and information.
void GroupCommandsByTask(CLI::App& cli);
// The help's headings and the help flag in the user's language, its option
// lines aligned by characters, as a language's letters may take more bytes.
void TranslateHelpLabels(CLI::App& cli);

// The adders, one per command file.
void AddConfigCommand(CLI::App& parent, CommandAction& chosen);
void AddListSaveCommand(CLI::App& parent, CommandAction& chosen);
void AddListOpenCommand(CLI::App& parent, CommandAction& chosen);
// Batch encryption and the batch wipe.
void AddEncryptCommand(CLI::App& parent, CommandAction& chosen);
void AddWipeCommand(CLI::App& parent, CommandAction& chosen);
// The clipboard commands on a text, and the about box.
void AddEncryptTextCommand(CLI::App& parent, CommandAction& chosen);
void AddDecryptTextCommand(CLI::App& parent, CommandAction& chosen);
void AddAboutCommand(CLI::App& parent, CommandAction& chosen);
// E-mail settings, sending an encrypted message, the update check.
void AddEmailConfigCommand(CLI::App& parent, CommandAction& chosen);
void AddMailCommand(CLI::App& parent, CommandAction& chosen);
void AddCheckUpdateCommand(CLI::App& parent, CommandAction& chosen);
// How long a password would hold against guessing, per algorithm.
void AddPasswordCheckCommand(CLI::App& parent, CommandAction& chosen);
// Batch decryption, archive listing, and a path given without a command
// (the last: it takes the tool's own positional argument).
void AddDecryptCommand(CLI::App& parent, CommandAction& chosen);
// Checking encrypted files and archives without writing them out.
void AddVerifyCommand(CLI::App& parent, CommandAction& chosen);
void AddArchiveListCommand(CLI::App& parent, CommandAction& chosen);
void AddOpenPathCommand(CLI::App& parent, CommandAction& chosen);

}  // namespace voltare::cli
