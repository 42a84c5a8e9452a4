#include <array>
#include <filesystem>
#include <system_error>

#include "cli/command.h"

namespace voltare::cli {

std::vector<std::string> ExistingPaths(const app::TMainForm& form, const std::vector<std::string>& typed) {
  std::vector<std::string> paths;
  for (const std::string& file : typed) {
    const std::filesystem::path path = form.FromStartDirectory(file);
    std::error_code error;
    // A directory that may not be searched says why, rather than "no such file".
    if (!std::filesystem::exists(path, error)) {
      throw UsageError(file + ": " + (error ? error.message() : "no such file or directory"));
    }
    paths.push_back(path.string());
  }
  return paths;
}

std::span<const CommandAdder> AllCommands() {
  static constexpr std::array kAdders = {
      &AddEncryptCommand,      &AddDecryptCommand,     &AddWipeCommand,        &AddArchiveListCommand,
      &AddListSaveCommand,     &AddListOpenCommand,    &AddEncryptTextCommand, &AddDecryptTextCommand,
      &AddEmailConfigCommand,  &AddMailCommand,        &AddConfigCommand,      &AddCheckUpdateCommand,
      &AddAboutCommand,
      // Last: it takes the tool's own positional argument.
      &AddOpenPathCommand,
  };
  return kAdders;
}

void GroupCommandsByTask(CLI::App& cli) {
  struct Task {
    const char* command;
    const char* group;
  };
  static constexpr std::array kTasks = {
      Task{"encrypt", "Files"},
      Task{"decrypt", "Files"},
      Task{"wipe", "Files"},
      Task{"archive-list", "Files"},
      Task{"list-save", "Lists"},
      Task{"list-open", "Lists"},
      Task{"encrypt-text", "Texts"},
      Task{"decrypt-text", "Texts"},
      Task{"email-config", "E-mail"},
      Task{"mail", "E-mail"},
      Task{"config", "Settings and information"},
      Task{"check-update", "Settings and information"},
      Task{"about", "Settings and information"},
  };
  for (const Task& task : kTasks) cli.get_subcommand(task.command)->group(task.group);
}

}  // namespace voltare::cli
