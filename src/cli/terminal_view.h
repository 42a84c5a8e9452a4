// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user of voltare-cli: messages go to the terminal, questions are
// answered by the command line (--yes/--no, --password-file, the command's
// arguments) or, when there is a terminal, asked there.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/shared/interaction.h"
#include "app/shared/password_meter.h"
#include "common/secret_string.h"

namespace voltare::cli {

struct TerminalOptions {
  std::optional<std::filesystem::path> passwordFile;
  std::optional<bool> answer;  // --yes (true) or --no (false)
};

// A Yes/No question that neither the command line nor a terminal can answer.
class UnansweredQuestion : public std::runtime_error {
 public:
  explicit UnansweredQuestion(const std::string& question) : std::runtime_error(question) {}
};

// A typed answer to a Yes/No question, in any ASCII letter case: y, yes, n
// or no, the translated "yes" and "no" or their first letters, or a single
// character the locale takes (rpmatch); nothing for anything else.
std::optional<bool> YesOrNo(std::string_view answer);

// The progress bar on standard error, drawn only when that is a terminal.
class TerminalProgress : public platform::Progress {
 public:
  TerminalProgress(std::FILE* out, bool isTerminal) : out_(out), isTerminal_(isTerminal) {}

  void setMax(std::int64_t max) override { max_ = max; }
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override;
  // Ctrl+C or SIGTERM arrived: see stop_signal.h.
  bool cancelRequested() const override;

  void SetLabel(std::string label) { label_ = std::move(label); }
  // Takes the bar off the screen before other output.
  void Erase();

 private:
  std::FILE* out_;
  bool isTerminal_;
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
  std::string label_;
  bool shown_ = false;
};

class TerminalView : public app::Interaction {
 public:
  explicit TerminalView(TerminalOptions options);

  // The answers the command gives the dialogs from its arguments; a dialog
  // without an answer counts as cancelled.
  void AnswerOpenDialog(std::vector<std::filesystem::path> paths) { openAnswer_ = std::move(paths); }
  void AnswerSaveDialog(std::filesystem::path path) { saveAnswer_ = std::move(path); }
  void AnswerDirectoryChooser(std::filesystem::path path) { directoryAnswer_ = std::move(path); }
  // The archive viewer's answer: these members (none named: all of them)
  // into `directory` (nothing: the directory the viewer proposes).
  void AnswerArchiveViewer(std::optional<std::filesystem::path> directory, std::vector<std::string> members) {
    archiveAnswer_ = ArchiveAnswer{std::move(directory), std::move(members)};
  }

  // True once an error message has been shown, or the tool reported on
  // standard error why it could not go on (a cancelled prompt, say).
  bool ErrorShown() const noexcept { return errorShown_; }

  // The tool's own word on a failure: "voltare-cli: " and `text` on standard
  // error, with control characters escaped (line breaks too, unless
  // `keepLineBreaks`: a text that names a file may not). Counts as an error shown.
  void Report(std::string_view text, bool keepLineBreaks = true);

  // Keeps the program's messages `texts` (a batch's success messages) from
  // the terminal until ReleaseHeldMessages: a batch that failed in part ends
  // with its summary instead.
  void HoldMessages(std::initializer_list<std::string_view> texts) {
    held_.assign(texts.begin(), texts.end());
    heldShown_.clear();
  }
  // Shows the held messages the program showed meanwhile, in their order,
  // and stops holding; DropHeldMessages forgets them instead.
  void ReleaseHeldMessages();
  void DropHeldMessages() {
    held_.clear();
    heldShown_.clear();
  }

  // How a path of the program's is named to the user: as typed, or below the
  // folder typed. `NameFile` names one file exactly, `NamePaths` all others.
  void NameFile(const std::string& path, std::string shown) { shownNames_[path] = std::move(shown); }
  void NamePaths(std::function<std::string(const std::string&)> namer) { namer_ = std::move(namer); }
  std::string Shown(const std::string& path) const;

  // The files reported as failed so far, as shown, in their order.
  const std::vector<std::string>& FailedFiles() const noexcept { return failedFiles_; }

  // One line, "voltare-cli: PATH: what happened; what was kept"; a fault the
  // program has no words for keeps its error frame, naming the file.
  void FileFailed(const app::FileFailure& failure) override;
  void BatchStopped(const std::vector<std::string>& notTried) override;

  app::MessageButton ShowMessage(app::MessageKind kind, std::string_view caption, std::string_view text,
                                 app::MessageButtons buttons) override;
  std::vector<std::filesystem::path> ChooseOpenFiles(const app::OpenDialogRequest& request) override;
  std::optional<std::filesystem::path> ChooseSaveFile(const app::SaveDialogRequest& request) override;
  std::optional<std::filesystem::path> ChooseDirectory(const app::DirectoryRequest& request) override;
  void RunPasswordPrompt(app::TPasswordBox& box) override;
  void RunModal(app::ModalForm& form) override;
  void RunArchiveViewer(app::TPLXArchiver& viewer) override;
  void SetStatusText(std::string_view text) override;
  std::string StatusText() const override { return status_; }
  // The last status text that placed a step in its batch ("Encrypting
  // (2/3)..."): what a stop interrupted.
  const std::string& LastStepStatus() const noexcept { return lastStep_; }
  platform::Progress& ProgressBar() override { return progress_; }
  void SetBusyCursor(bool) override {}
  // The terminal has no desktop clipboard; the tool keeps one of its own for
  // the run, so that commands moving text through it still work.
  std::optional<std::string> ClipboardText() override { return clipboard_; }
  void SetClipboardText(std::string_view text) override { clipboard_ = std::string(text); }
  void ClearClipboard() override { clipboard_.reset(); }
  bool ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) override;
  void ShowHelp(int context) override;
  app::FileInfo GetFileInfo(const std::filesystem::path& path) override { return app::PlainFileInfo(path); }

 private:
  bool AskOnTerminal(std::string_view question);
  std::optional<common::SecretString> PasswordFromFile();
  void WarnOfTrailingBlank(const common::SecretString& password);
  void WarnOfWeakPassword(const app::PasswordMeter& meter);
  std::optional<common::SecretString> PasswordFromTerminal(const app::TPasswordBox& box);
  std::optional<common::SecretString> ReadPasswordLine(std::string_view prompt);
  std::optional<common::SecretString> NewPasswordFromTerminal(const app::TPasswordBox& box);

  TerminalOptions options_;
  bool inputIsTerminal_;
  TerminalProgress progress_;
  std::string status_;
  std::string lastStep_;
  std::optional<std::string> clipboard_;
  std::optional<std::vector<std::filesystem::path>> openAnswer_;
  std::optional<std::filesystem::path> saveAnswer_;
  std::optional<std::filesystem::path> directoryAnswer_;
  struct ArchiveAnswer {
    std::optional<std::filesystem::path> directory;
    std::vector<std::string> members;
  };
  std::optional<ArchiveAnswer> archiveAnswer_;
  bool errorShown_ = false;
  bool trailingBlankWarned_ = false;
  std::vector<std::string> held_;
  std::vector<std::string> heldShown_;
  std::map<std::string, std::string> shownNames_;
  std::function<std::string(const std::string&)> namer_;
  std::vector<std::string> failedFiles_;
};

}  // namespace voltare::cli
