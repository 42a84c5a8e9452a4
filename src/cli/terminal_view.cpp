// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/terminal_view.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

#include <algorithm>
#include <array>
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/dialogs/password_box.h"
#include "app/dialogs/plx_archiver.h"
#include "app/main_window/batch_messages.h"
#include "app/shared/password_strength.h"
#include "cli/stop_signal.h"
#include "cli/terminal_text.h"
#include "common/locked_memory.h"
#include "common/translate.h"
#include "platform/shell_open.h"

namespace voltare::cli {

namespace {

constexpr int kBarWidth = 30;

// Reads one line from standard input; nothing at the end of input.
std::optional<std::string> ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A password's line, read straight into locked memory: everything up to the
// first line end, less a CR before it. The bytes come `piece` at a time
// (one at a time from a terminal, so that nothing after the line is taken)
// through a locked scratch block that is zeroed when it goes. Nothing when
// the input ends at once or a read fails or is interrupted (Ctrl+C).
std::optional<common::SecretString> ReadSecretLine(int fd, std::size_t piece) {
  constexpr std::size_t kScratchSize = 256;
  const common::LockedBox<std::array<char, kScratchSize>> scratch;
  piece = std::min(piece, kScratchSize);
  common::SecretString line;
  bool readAny = false;
  for (;;) {
    const ssize_t got = ::read(fd, scratch->data(), piece);
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    readAny = true;
    const std::string_view bytes(scratch->data(), static_cast<std::size_t>(got));
    const std::size_t end = bytes.find('\n');
    line.append(bytes.substr(0, end));
    if (end != std::string_view::npos) break;
  }
  if (!readAny) return std::nullopt;
  if (!line.empty() && line.view().back() == '\r') line.pop_back();
  return line;
}

// Closes a file descriptor when it goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const noexcept { return fd_; }

 private:
  int fd_;
};

// Switches the terminal's echo off for as long as it lives.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

// `text` with its ASCII letters in lower case.
std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

// The first character of a UTF-8 text ("s" of "sí").
std::string_view FirstCharacter(std::string_view word) {
  std::size_t length = word.empty() ? 0 : 1;
  while (length < word.size() && (static_cast<unsigned char>(word[length]) & 0xC0) == 0x80) ++length;
  return word.substr(0, length);
}

// Whether `answer` is the word or its first letter, in any ASCII letter case.
bool Answers(std::string_view answer, std::string_view word) {
  const std::string typed = Lowered(answer), lowered = Lowered(word);
  return !typed.empty() && (typed == lowered || typed == FirstCharacter(lowered));
}

}  // namespace

std::optional<bool> YesOrNo(std::string_view answer) {
  // English always: scripts and fingers of any language know y and n.
  if (Answers(answer, "yes")) return true;
  if (Answers(answer, "no")) return false;
  // The words the catalogue gives; a language whose yes and no begin alike
  // takes them in full only.
  const std::string_view yes = tr_("yes"), no = tr_("no");
  const bool lettersDiffer = FirstCharacter(Lowered(yes)) != FirstCharacter(Lowered(no));
  const std::string typed = Lowered(answer);
  if (typed == Lowered(yes) || (lettersDiffer && Answers(answer, yes))) return true;
  if (typed == Lowered(no) || (lettersDiffer && Answers(answer, no))) return false;
  // The system's own letters for the language (LC_MESSAGES' YESEXPR and
  // NOEXPR). Those match any answer that begins with one, so only a single
  // character is taken: "yellow" is asked again, not read as Yes.
  if (answer.empty() || FirstCharacter(answer).size() != answer.size()) return std::nullopt;
  const std::string line(answer);
  if (const int matched = ::rpmatch(line.c_str()); matched >= 0) return matched == 1;
  return std::nullopt;
}

// ---------------------------------------------------------------------------

void TerminalProgress::repaint() {
  if (!isTerminal_) return;
  if (position_ <= 0 || max_ <= 0) {
    Erase();
    return;
  }
  const std::int64_t done = std::min(position_, max_);
  const int filled = static_cast<int>(done * kBarWidth / max_);
  const int percent = static_cast<int>(done * 100 / max_);
  std::fprintf(out_, "\r\033[K%s [%s%s] %3d%%", label_.c_str(),
               std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(kBarWidth - filled), ' ').c_str(), percent);
  std::fflush(out_);
  shown_ = true;
}

bool TerminalProgress::cancelRequested() const { return StopSignal() != 0; }

void TerminalProgress::Erase() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
}

// ---------------------------------------------------------------------------

TerminalView::TerminalView(TerminalOptions options)
    : options_(std::move(options)),
      inputIsTerminal_(::isatty(STDIN_FILENO) == 1),
      progress_(stderr, ::isatty(STDERR_FILENO) == 1) {}

app::MessageButton TerminalView::ShowMessage(app::MessageKind kind, std::string_view, std::string_view text,
                                             app::MessageButtons buttons) {
  progress_.Erase();
  const std::string shown = EscapeControls(text, true);
  if (buttons == app::MessageButtons::YesNo) {
    if (options_.answer) {
      // Answered by the command line, yet still told: what was asked may be
      // news to the user (a newer release, a file about to be replaced).
      // TRANSLATORS: the answer --yes gave, after the question and "[y/n]".
      const char* yes = tr_("y (--yes)");
      // TRANSLATORS: the answer --no gave, after the question and "[y/n]".
      const char* no = tr_("n (--no)");
      std::cerr << shown << ' ' << tr_("[y/n]") << ' ' << (*options_.answer ? yes : no) << '\n' << std::flush;
      return *options_.answer ? app::MessageButton::Yes : app::MessageButton::No;
    }
    if (!inputIsTerminal_) throw UnansweredQuestion(shown);
    return AskOnTerminal(shown) ? app::MessageButton::Yes : app::MessageButton::No;
  }
  if (std::ranges::find(held_, text) != held_.end()) {
    heldShown_.emplace_back(text);
    return app::MessageButton::Ok;
  }
  const bool failed = kind == app::MessageKind::Error;
  const bool toError = failed || kind == app::MessageKind::Warning;
  if (failed) errorShown_ = true;
  std::ostream& out = toError ? std::cerr : std::cout;
  out << shown << '\n' << std::flush;
  return app::MessageButton::Ok;
}

std::string TerminalView::Shown(const std::string& path) const {
  if (const auto named = shownNames_.find(path); named != shownNames_.end()) return named->second;
  return namer_ ? namer_(path) : path;
}

void TerminalView::FileFailed(const app::FileFailure& failure) {
  const std::string shown = Shown(failure.path);
  failedFiles_.push_back(shown);
  if (app::ScopeOf(failure.code) == app::FailureScope::Unexpected) {
    Error(platform::ErrorFormat(failure.code, shown + ": " + platform::ErrorText(failure.code)));
    return;
  }
  Report(app::FailureLine(failure, shown), false);
}

void TerminalView::BatchStopped(const std::vector<std::string>& notTried) {
  if (notTried.empty()) return;
  std::vector<std::string> shown;
  for (const std::string& path : notTried) shown.push_back(Shown(path));
  Report(app::BatchStoppedText(shown), false);
}

void TerminalView::ReleaseHeldMessages() {
  held_.clear();
  for (const std::string& text : std::exchange(heldShown_, {})) {
    ShowMessage(app::MessageKind::Information, {}, text, app::MessageButtons::Ok);
  }
}

void TerminalView::Report(std::string_view text, bool keepLineBreaks) {
  progress_.Erase();
  std::cerr << "voltare-cli: " << EscapeControls(text, keepLineBreaks) << '\n' << std::flush;
  errorShown_ = true;
}

bool TerminalView::AskOnTerminal(std::string_view question) {
  for (;;) {
    // TRANSLATORS: after a Yes/No question on the terminal: the first letters
    // of the translations of "yes" and "no", which are taken as answers.
    std::cerr << std::string(question) + " " + tr_("[y/n]") + " " << std::flush;
    const std::optional<std::string> line = ReadLine();
    if (!line) {
      std::cerr << '\n';
      return false;
    }
    if (const std::optional<bool> answer = YesOrNo(*line)) return *answer;
  }
}

std::vector<std::filesystem::path> TerminalView::ChooseOpenFiles(const app::OpenDialogRequest&) {
  return std::exchange(openAnswer_, std::nullopt).value_or(std::vector<std::filesystem::path>{});
}

std::optional<std::filesystem::path> TerminalView::ChooseSaveFile(const app::SaveDialogRequest&) {
  return std::exchange(saveAnswer_, std::nullopt);
}

std::optional<std::filesystem::path> TerminalView::ChooseDirectory(const app::DirectoryRequest&) {
  return std::exchange(directoryAnswer_, std::nullopt);
}

void TerminalView::RunPasswordPrompt(app::TPasswordBox& box) {
  std::optional<common::SecretString> password;
  if (options_.passwordFile) {
    // The file's first line is typed and OK pressed, whatever it holds.
    password = PasswordFromFile();
  } else if (inputIsTerminal_) {
    password = box.NewPassword ? NewPasswordFromTerminal(box) : PasswordFromTerminal(box);
    if (!password) Report(tr_("the password prompt was cancelled"));
  } else {
    Report(tr_("a password is needed; give it with --password-file or run on a terminal"));
  }
  if (password) {
    box.Password.text = std::move(*password);
    box.PasswordChange();
    box.ContinueClick();
    if (!box.IsShowing()) WarnOfWeakPassword(box.Meter);
  }
  // Nothing to answer with, or the prompt refused the answer: Cancel.
  if (box.IsShowing()) box.CancelClick();
}

// A new password that one graphics card would find within a year is named
// as such, once, and the command goes on: the user may have reasons.
void TerminalView::WarnOfWeakPassword(const app::PasswordMeter& meter) {
  if (meter.algorithm < 0 || meter.level == 0 || meter.seconds >= app::strength::kWarnBelowSeconds) return;
  progress_.Erase();
  std::cerr << "voltare-cli: "
            << common::Filled(
                   tr_("weak password: one graphics card would guess it in %s against %s"),
                   {app::strength::DurationText(meter.seconds), app::strength::AlgorithmName(meter.algorithm)})
            << '\n';
}

std::optional<common::SecretString> TerminalView::PasswordFromFile() {
  constexpr std::size_t kFilePiece = 256;
  const FileDescriptor file(::open(options_.passwordFile->c_str(), O_RDONLY | O_CLOEXEC));
  std::optional<common::SecretString> line;
  if (file.get() >= 0) line = ReadSecretLine(file.get(), kFilePiece);
  if (!line) {
    progress_.Erase();
    std::cerr << "voltare-cli: "
              << common::Filled(tr_("cannot read a password from %s"), {options_.passwordFile->string()}) << '\n';
    errorShown_ = true;
  }
  if (line) WarnOfTrailingBlank(*line);
  return line;
}

// A blank at the end of the line is part of the password, as typed into the
// prompt; an editor that left one there would lock the file away unseen.
// Said once per run, whatever number of prompts the file answers.
void TerminalView::WarnOfTrailingBlank(const common::SecretString& password) {
  const std::string_view text = password.view();
  if (trailingBlankWarned_ || text.empty() || (text.back() != ' ' && text.back() != '\t')) return;
  trailingBlankWarned_ = true;
  progress_.Erase();
  // TRANSLATORS: %s is the password file.
  std::cerr << "voltare-cli: "
            << common::Filled(tr_("the password in %s ends with a blank, which is part of it"),
                              {options_.passwordFile->string()})
            << '\n';
}

std::optional<common::SecretString> TerminalView::PasswordFromTerminal(const app::TPasswordBox& box) {
  progress_.Erase();
  // Written at once: the prompt's lines never reach the terminal in pieces.
  std::string heading = box.Label1.caption + '\n';
  if (box.FileName.visible && !box.FileName.caption.empty()) {
    heading += "  " + EscapeControls(box.FileName.caption) + '\n';
  }
  if (box.AlgoHeader.visible || box.Algorithm.visible) {
    heading += "  " + (box.AlgoHeader.visible ? box.AlgoHeader.caption + " " : std::string()) +
               (box.Algorithm.visible ? box.Algorithm.caption : std::string()) + '\n';
  }
  std::cerr << heading;
  return ReadPasswordLine(tr_("Password (empty to cancel): "));
}

std::optional<common::SecretString> TerminalView::ReadPasswordLine(std::string_view prompt) {
  std::optional<common::SecretString> line;
  {
    // Off before the prompt shows: switching it flushes typed-ahead input,
    // which must not take the answer of someone who types at once.
    EchoOff quiet;
    std::cerr << prompt << std::flush;
    line = ReadSecretLine(STDIN_FILENO, 1);
  }
  std::cerr << '\n';
  if (line && line->empty()) line.reset();  // an empty answer is Cancel
  return line;
}

// A password that will encrypt is typed twice: a slip in unseen typing would
// otherwise make a file nobody can open, and wipe its source too.
std::optional<common::SecretString> TerminalView::NewPasswordFromTerminal(const app::TPasswordBox& box) {
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::optional<common::SecretString> first =
        attempt == 0 ? PasswordFromTerminal(box) : ReadPasswordLine(tr_("Password (empty to cancel): "));
    if (!first) return std::nullopt;
    const std::optional<common::SecretString> again = ReadPasswordLine(tr_("The same password again: "));
    if (again && *again == first->view()) return first;
    if (!again) return std::nullopt;
    std::cerr << tr_("The two passwords differ.") << '\n';
  }
  return std::nullopt;
}

void TerminalView::RunModal(app::ModalForm& form) {
  // Windows of their own cannot be shown here; commands that need one drive
  // its form directly. Leaving it counts as Cancel.
  form.Close();
}

namespace {

// Selects every entry that carries one of `names`; the names no entry
// carries. The entries are indexed by name first, so that naming all members
// of a large archive costs one look-up each.
std::vector<std::string> SelectMembers(app::TPLXArchiver& viewer, const std::vector<std::string>& names) {
  std::unordered_map<std::string_view, std::vector<std::size_t>> byName;
  const auto& items = viewer.FileList.Items();
  for (std::size_t i = 0; i < items.size(); ++i) byName[items[i].caption].push_back(i);
  std::vector<std::string> missing;
  for (const std::string& name : names) {
    const auto found = byName.find(name);
    if (found == byName.end()) {
      missing.push_back(name);
      continue;
    }
    for (const std::size_t i : found->second) viewer.FileList.Select(i);
  }
  return missing;
}

}  // namespace

void TerminalView::RunArchiveViewer(app::TPLXArchiver& viewer) {
  // Without an answer from the command line the viewer is cancelled.
  const std::optional<ArchiveAnswer> answer = std::exchange(archiveAnswer_, std::nullopt);
  if (answer) {
    if (answer->directory) viewer.Directory.text = answer->directory->string();
    if (answer->members.empty()) viewer.SelectAll1Click();
    const std::vector<std::string> missing = SelectMembers(viewer, answer->members);
    for (const std::string& name : missing) Report(common::Filled(tr_("the archive has no member %s"), {name}));
    if (missing.empty()) viewer.ContinueButtonClick();
  }
  if (viewer.IsShowing()) viewer.CancelButtonClick();
}

namespace {

// A status that places a step in its batch: "Encrypting (2/3)...",
// "Bundling files to one (2/3) -- PLX".
bool PlacesStep(std::string_view status) {
  const std::size_t open = status.rfind('(');
  if (open == std::string_view::npos) return false;
  const std::size_t slash = status.find('/', open);
  const std::size_t close = status.find(')', open);
  return slash != std::string_view::npos && close != std::string_view::npos && open + 1 < slash && slash + 1 < close;
}

}  // namespace

void TerminalView::SetStatusText(std::string_view text) {
  status_ = std::string(text);
  if (PlacesStep(status_)) lastStep_ = status_;
  progress_.SetLabel(status_);
}

bool TerminalView::ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) {
  return platform::ShellOpen(target, workingDirectory) == platform::Success;
}

void TerminalView::ShowHelp(int) {
  progress_.Erase();
  std::cerr << "voltare-cli: " << tr_("run 'voltare-cli --help' for help on the commands") << '\n';
}

}  // namespace voltare::cli
