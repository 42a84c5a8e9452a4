// voltare-cli PATH: a .vlt, .plx or .vls path and nothing else is handled as
// the program handles a path it is started with.

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/batch_decrypt.h"
#include "cli/command.h"
#include "cli/terminal_text.h"
#include "platform/file.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

int OpenPath(Session& session, const std::vector<std::string>& words) {
  app::TMainForm& form = session.app.MainForm;
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  const fs::path path = form.FromStartDirectory(joined);
  const std::string extension = path.extension().string();
  if (extension != ".vlt" && extension != ".plx" && extension != ".vls") {
    throw UsageError(joined + ": neither a command nor a .vlt, .plx or .vls file");
  }
  if (!platform::FileExists(path)) throw UsageError(joined + ": no such file");

  // An archive opens with all its members chosen, into its own directory.
  if (extension == ".plx") session.ui.AnswerArchiveViewer(std::nullopt, {});
  // The first activation itself, without the desktop's update check; the
  // decryption it starts is counted for the exit status.
  std::size_t decrypted = 0;
  form.CheckForUpdate = nullptr;
  form.DecryptFileList = [&session, &decrypted](const std::vector<std::string>& paths) {
    decrypted = app::DecryptFileList(session.app, paths);
  };
  const std::string untitled = form.Head.caption;
  form.FormActivate(words);

  if (extension == ".vls") {
    if (form.Head.caption == untitled) return kExitFailure;  // not loaded; already reported
    for (const app::ListItem& item : form.ListView.Items()) std::cout << EscapeControls(item.fileName) << '\n';
    return kExitSuccess;
  }
  if (decrypted > 0) return kExitSuccess;
  if (!session.ui.ErrorShown()) session.ui.Report("no file was decrypted");
  return kExitFailure;
}

}  // namespace

void AddOpenPathCommand(CLI::App& parent, CommandAction& chosen) {
  // The path is the tool's own positional argument, so a command is optional.
  // Arguments a command does not take fall through to it as well; together
  // with a command they are an error.
  parent.require_subcommand(0, 1);
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::Option* pathOption =
      parent.add_option("PATH", *words, "Without a command: an encrypted file (.vlt), archive (.plx) or list (.vls)");
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
