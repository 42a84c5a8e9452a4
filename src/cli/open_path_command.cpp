// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli PATH...: .vlt, .plx and .vls paths and nothing else, each
// handled as the program handles a path it is started with.

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window/decrypt_files.h"
#include "app/main_window/decrypt_messages.h"
#include "app/shared/file_extensions.h"
#include "cli/command.h"
#include "cli/stop_signal.h"
#include "cli/terminal_text.h"
#include "common/translate.h"
#include "platform/file.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

// Each path must be one of the program's files and exist: checked for all
// before any is opened.
std::vector<std::string> CheckedPaths(const app::TMainForm& form, const std::vector<std::string>& words) {
  for (const std::string& word : words) {
    if (!app::HasExtension(word, app::kVltExtension) && !app::HasExtension(word, app::kPlxExtension) &&
        !app::HasExtension(word, app::kVlsExtension)) {
      // TRANSLATORS: %s is a word of the command line.
      throw UsageError(common::Filled(tr_("%s: neither a command nor a .vlt, .plx or .vls file"), {word}));
    }
  }
  return ExistingPaths(form, words);
}

// A list's files on standard output; false when it did not open (reported).
bool PrintList(Session& session, const std::string& path) {
  app::TMainForm& form = session.app.MainForm;
  form.ListView.Clear();
  const platform::ResultCode result = form.LoadListFile(path);
  if (result != platform::Success && result != platform::ErrReported) {
    session.ui.FileFailed({app::FileAction::OpenList, path, result});
  }
  if (result != platform::Success) return false;
  for (const app::ListItem& item : form.ListView.Items()) std::cout << EscapeControls(item.fileName) << '\n';
  std::cout << std::flush;
  return true;
}

// Each path as the program handles the one it is started with, in turn:
// encrypted files next to each other are one batch (one password, the
// question whether it holds for all), an archive decrypts all its members
// next to it, and a list prints its files.
int OpenPath(Session& session, const std::vector<std::string>& words) {
  const std::vector<std::string> paths = CheckedPaths(session.app.MainForm, words);
  std::size_t done = 0, count = 0;
  session.ui.HoldMessages({app::decrypt_messages::kDecryptedAll});
  for (std::size_t i = 0; i < paths.size() && StopSignal() == 0;) {
    std::vector<std::string> batch{paths[i++]};
    if (app::HasExtension(batch.front(), app::kVlsExtension)) {
      ++count;
      if (PrintList(session, batch.front())) ++done;
      continue;
    }
    if (app::HasExtension(batch.front(), app::kPlxExtension)) {
      session.ui.AnswerArchiveViewer(std::nullopt, {});
    } else {
      while (i < paths.size() && app::HasExtension(paths[i], app::kVltExtension)) batch.push_back(paths[i++]);
    }
    count += batch.size();
    const std::size_t decrypted = app::DecryptFileList(session.app, batch);
    // An archive counts once: done when any of its members was.
    done += std::min(decrypted, batch.size());
  }
  if (done == 0 && !session.ui.ErrorShown()) session.ui.Report(tr_("no file was decrypted"));
  return EndBatch(session, {{done, count, kNotOpened}});
}

}  // namespace

void AddOpenPathCommand(CLI::App& parent, CommandAction& chosen) {
  // The path is the tool's own positional argument, so a command is optional.
  // Arguments a command does not take fall through to it as well; together
  // with a command they are an error.
  parent.require_subcommand(0, 1);
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::Option* pathOption = parent.add_option(
      "PATH", *words, tr_("Without a command: encrypted files (.vlt), archives (.plx) or lists (.vls), each in turn"));
  parent.callback([&parent, &chosen, words, pathOption] {
    if (pathOption->count() > 0 && chosen) {
      throw CLI::ExtrasError(*words);
    }
    if (pathOption->count() > 0) {
      chosen = [words = *words](Session& session) { return OpenPath(session, words); };
    } else if (parent.get_subcommands().empty()) {
      throw CLI::RequiredError("A subcommand or a PATH");
    }
  });
}

}  // namespace voltare::cli
