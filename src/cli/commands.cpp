// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/main_window/batch_messages.h"
#include "app/main_window/folder_walk.h"
#include "app/shared/file_extensions.h"
#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

// A path below the folder `folder`, as the user knows it: below the folder
// as typed.
std::string Shown(const std::string& path, const std::string& folder, const std::string& typedFolder) {
  const std::filesystem::path below = std::filesystem::path(path).lexically_relative(folder);
  return (std::filesystem::path(typedFolder) / below).lexically_normal().string();
}

// The columns a UTF-8 text takes on a terminal: one per character (the
// help's texts have no wide or combining ones).
std::size_t Columns(std::string_view text) {
  return static_cast<std::size_t>(
      std::ranges::count_if(text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The parser's help, its option lines aligned by characters rather than
// bytes: "--yes Schließt aus: --no" is one column shorter than its bytes.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* option, bool isPositional) const override {
    const std::string name = "  " + make_option_name(option, isPositional) + make_option_opts(option);
    const std::string description = make_option_desc(option);
    const std::string indent(column_width_, ' ');
    std::string line = name;
    if (!description.empty()) {
      const std::size_t used = Columns(name);
      line += used < column_width_ ? std::string(column_width_ - used, ' ') : "\n" + indent;
      for (const char c : description) {
        line += c;
        if (c == '\n') line += indent;
      }
    }
    return line + "\n";
  }
};

}  // namespace

std::vector<std::string> ExistingPaths(const app::TMainForm& form, const std::vector<std::string>& typed) {
  std::vector<std::string> paths;
  for (const std::string& file : typed) {
    const std::filesystem::path path = form.FromStartDirectory(file);
    std::error_code error;
    // A directory that may not be searched says why, rather than "no such file".
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
      throw UsageError(app::messages::FormatName(tr_("%s: no such file or directory"), file));
    }
    if (error) throw UsageError(file + ": " + error.message());
    paths.push_back(path.string());
  }
  return paths;
}

const FileKind kEncryptedFiles{[](const std::string& path) {
                                 return app::HasExtension(path, app::kVltExtension) ||
                                        app::HasExtension(path, app::kPlxExtension);
                               },
                               // TRANSLATORS: %s is a path as the user typed it.
                               N_("%s: not an encrypted file (.vlt) or archive (.plx); skipped"),
                               // TRANSLATORS: %s is a folder as the user typed it.
                               N_("%s: the folder holds no encrypted file (.vlt) or archive (.plx)")};

std::vector<GivenFile> FilesGiven(Session& session, const std::vector<std::string>& paths,
                                  const std::vector<std::string>& typed, const FileKind& kind) {
  std::vector<GivenFile> files;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(paths[i], error))) {
      if (kind.take(paths[i])) {
        session.ui.NameFile(paths[i], typed[i]);
        files.push_back({paths[i], typed[i], {}});
      } else {
        session.ui.Report(common::Filled(kind.notTaken, {typed[i]}), false);
      }
      continue;
    }
    app::FolderContents found = app::WalkFolder(paths[i]);
    // One line each, and the walk goes on with the rest of the folder.
    for (const app::UnreachableEntry& entry : found.unreachable) {
      session.ui.NameFile(entry.path, Shown(entry.path, paths[i], typed[i]));
      session.ui.FileFailed({app::FileAction::Take, entry.path, entry.error});
    }
    std::ranges::sort(found.files);
    const std::size_t before = files.size();
    for (const std::string& file : found.files) {
      if (!kind.take(file)) continue;
      session.ui.NameFile(file, Shown(file, paths[i], typed[i]));
      files.push_back({file, Shown(file, paths[i], typed[i]), paths[i]});
    }
    if (files.size() == before && found.unreachable.empty()) {
      session.ui.Report(common::Filled(kind.noneInFolder, {typed[i]}), false);
    }
  }
  return files;
}

std::optional<InterruptedStep> StepStopped(const TerminalView& ui) {
  const std::string& status = ui.LastStepStatus();
  const std::size_t open = status.rfind('(');
  const std::size_t slash = status.find('/', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || slash == std::string::npos || open == 0) return std::nullopt;
  std::size_t position = 0;
  for (std::size_t i = open + 1; i < slash; ++i) {
    if (status[i] < '0' || status[i] > '9') return std::nullopt;
    position = position * 10 + static_cast<std::size_t>(status[i] - '0');
  }
  return InterruptedStep{status.substr(0, open - 1), position};
}

bool InterruptedStep::Is(const common::Text& status) const {
  // The status as StepStopped reads it: the words before " (k/n)".
  const std::string_view format = status;
  const std::size_t open = format.rfind('(');
  return open != std::string_view::npos && open > 0 && format.substr(0, open - 1) == verb;
}

std::string ShownPath(const app::TMainForm& form, const std::string& path) {
  const std::filesystem::path start = form.FromStartDirectory("x").parent_path();
  const std::filesystem::path below = std::filesystem::path(path).lexically_relative(start);
  return below.empty() || below.begin()->string() == ".." ? path : below.string();
}

std::size_t AddPaths(Session& session, const std::vector<std::string>& paths, const std::vector<std::string>& typed,
                     const std::function<bool(std::span<const std::string>)>& add) {
  const app::TMainForm& form = session.app.MainForm;
  std::size_t brought = 0;
  for (std::size_t i = 0; i < paths.size();) {
    // A run of files costs the list one insertion, not one per file.
    std::size_t end = i;
    std::error_code error;
    while (end < paths.size() && std::filesystem::is_regular_file(paths[end], error)) ++end;
    if (end > i) {
      add(std::span(paths).subspan(i, end - i));
      brought += end - i;
      i = end;
      continue;
    }
    const std::size_t before = form.ListView.Count();
    const bool saidWhy = add(std::span(&paths[i], 1));
    // A file named twice, or inside a folder also named, is in the list once.
    if (form.ListView.Count() > before) {
      ++brought;
    } else if (!saidWhy) {
      const bool folder = std::filesystem::is_directory(paths[i], error);
      // TRANSLATORS: %s is a path as the user typed it.
      session.ui.Report(
          common::Filled(folder ? tr_("%s: the folder holds no file to take") : tr_("%s: not a regular file; skipped"),
                         {typed[i]}),
          false);
    }
    ++i;
  }
  return brought;
}

std::size_t DropEach(Session& session, const std::vector<std::string>& paths, const std::vector<std::string>& typed) {
  app::TMainForm& form = session.app.MainForm;
  return AddPaths(session, paths, typed, [&form](std::span<const std::string> run) {
    form.DropFiles(run);
    return false;
  });
}

int EndBatch(Session& session, std::initializer_list<Tally> tallies) {
  if (!session.ui.ErrorShown()) {
    session.ui.ReleaseHeldMessages();
    return kExitSuccess;
  }
  session.ui.DropHeldMessages();
  if (!session.ui.FailedFiles().empty()) {
    // TRANSLATORS: %s names the files of a batch that failed.
    session.ui.Report(common::Filled(tr_("failed: %s"), {app::ListedNames(session.ui.FailedFiles())}), false);
  }
  for (const Tally& tally : tallies) {
    if (tally.done < tally.count) session.ui.Report(tally.notDone.For(tally.count - tally.done, tally.count));
  }
  return kExitFailure;
}

std::string ShortfallText::For(std::size_t missing, std::size_t count) const {
  if (count == 1) return ofOne.str();
  return app::messages::FormatCount(ofMany.For(missing), missing, count);
}

std::span<const CommandAdder> AllCommands() {
  static constexpr std::array kAdders = {
      &AddEncryptCommand,
      &AddDecryptCommand,
      &AddVerifyCommand,
      &AddWipeCommand,
      &AddArchiveListCommand,
      &AddListSaveCommand,
      &AddListOpenCommand,
      &AddEncryptTextCommand,
      &AddDecryptTextCommand,
      &AddEmailConfigCommand,
      &AddMailCommand,
      &AddConfigCommand,
      &AddPasswordCheckCommand,
      &AddCheckUpdateCommand,
      &AddAboutCommand,
      // Last: it takes the tool's own positional argument.
      &AddOpenPathCommand,
  };
  return kAdders;
}

void TranslateHelpLabels(CLI::App& cli) {
  // The parser's own words in the help; the subcommands made later share
  // this formatter and copy this help flag.
  const auto formatter = std::make_shared<HelpFormatter>();
  cli.formatter(formatter);
  // TRANSLATORS: the help writes a colon straight after these headings and
  // after the command groups ("Usage:", "Options:", "Files:"). A language that
  // puts a space before a colon ends the translation with a no-break space.
  formatter->label("Usage", tr_("Usage"));
  formatter->label("OPTIONS", tr_("OPTIONS"));
  formatter->label("SUBCOMMAND", tr_("SUBCOMMAND"));
  formatter->label("SUBCOMMANDS", tr_("SUBCOMMANDS"));
  formatter->label("Options", tr_("Options"));
  formatter->label("Positionals", tr_("Positionals"));
  formatter->label("Subcommands", tr_("Subcommands"));
  formatter->label("REQUIRED", tr_("REQUIRED"));
  formatter->label("Excludes", tr_("Excludes"));
  formatter->label("Needs", tr_("Needs"));
  cli.option_defaults()->group(tr_("Options"));
  cli.set_help_flag("-h,--help", tr_("Print this help message and exit"));
}

void GroupCommandsByTask(CLI::App& cli) {
  struct Task {
    const char* command;
    const char* group;
  };
  static constexpr std::array kTasks = {
      // TRANSLATORS: a heading of the help, followed by a colon (see "Usage").
      Task{"encrypt", N_("Files")},
      Task{"decrypt", "Files"},
      Task{"verify", "Files"},
      Task{"wipe", "Files"},
      Task{"archive-list", "Files"},
      Task{"list-save", N_("Lists")},
      Task{"list-open", "Lists"},
      Task{"encrypt-text", N_("Texts")},
      Task{"decrypt-text", "Texts"},
      Task{"email-config", N_("E-mail")},
      Task{"mail", "E-mail"},
      Task{"config", N_("Settings and information")},
      Task{"password-check", N_("Settings and information")},
      Task{"check-update", "Settings and information"},
      Task{"about", "Settings and information"},
  };
  for (const Task& task : kTasks) cli.get_subcommand(task.command)->group(tr_(task.group));
}

}  // namespace voltare::cli
