// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How every command talks to the user.
//
// Command logic never draws anything: it asks an Interaction to show a message,
// a dialog or a modal window, to move the progress bar or to set the status
// text. The desktop window implements it with real dialogs, voltare-cli with
// the terminal and its command-line answers, the tests with a scripted fake
// user. All calls are synchronous: a question's answer is there when the call
// returns.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shared/file_failure.h"
#include "app/shared/modal_form.h"
#include "app/shared/printer.h"
#include "common/secret_string.h"
#include "platform/progress.h"

namespace voltare::app {

class TPasswordBox;
class TPLXArchiver;

// ---------------------------------------------------------------------------
// Message boxes

enum class MessageKind { Warning, Error, Information, Confirmation };
enum class MessageButtons { Ok, YesNo };
enum class MessageButton { Ok, Yes, No };
// The answer Enter gives to a Yes/No question: No where Yes destroys data
// (a wipe, a file replaced), so that a stray key press keeps it.
enum class EnterAnswers { Yes, No };

// The caption a message box of this kind carries: "Warning", "Error",
// "Information" or "Confirm".
std::string_view DefaultCaption(MessageKind kind);

std::string_view KindName(MessageKind kind);  // "warning", "error", ...

// ---------------------------------------------------------------------------
// File and directory dialogs

// Options of the open-file dialog, combinable with |.
enum OpenOption : std::uint32_t {
  OpenNone = 0,
  OpenAllowMultiSelect = 1u << 0,
  OpenHideReadOnly = 1u << 1,
  OpenEnableSizing = 1u << 2,
  OpenFileMustExist = 1u << 3,
};

struct OpenDialogRequest {
  std::string title;  // empty: the platform's default title
  // Pairs of description and pattern(s) separated by '|':
  // "All Files (*.*)|*.*", "KOVA Voltare Save Files (*.vls)|*.vls".
  std::string filter;
  std::uint32_t options = OpenNone;
};

struct SaveDialogRequest {
  std::string title;   // empty: the platform's default title
  std::string filter;  // as in OpenDialogRequest
};

struct DirectoryRequest {
  std::string caption;
  std::filesystem::path start;  // empty: nothing preselected
};

// ---------------------------------------------------------------------------
// Window-to-window requests

// What a caller asks the password prompt (TPasswordBox) to show.
struct PasswordRequest {
  std::string fileName;           // name without directory, or empty
  std::string algorithmCaption;   // "Blowfish", "CAST5", "DES" or empty
  std::int32_t maxLength = 0;     // 0: no limit
  bool bundleVisible = false;     // the "&Bundle files to one file" box
  bool headerVisible = false;     // the "Algorithm:" heading
  bool algorithmVisible = false;  // the algorithm caption
  // The password will encrypt: a prompt without a visible edit (a terminal)
  // asks for it twice, since a typing slip would make data nobody can open.
  bool newPassword = false;
  // For a new password, the algorithm (0-3) it will protect under: the
  // password meter estimates against it. -1 leaves the choice to
  // TMainForm::AskPassword, which takes what texts and lists use.
  int protectionAlgorithm = -1;
};

// What the password prompt answers. An empty password means Cancel.
struct [[nodiscard]] PasswordReply {
  common::SecretString password;
  bool bundle = false;  // only when the bundle box was visible and checked at OK
};

// What a caller asks the archive viewer to show.
struct ArchiveRequest {
  std::filesystem::path archivePath;
};

// What the archive viewer answers: the output directory (ending with '/') and
// the chosen entries, as their 0-based positions in the archive, ascending;
// for Cancel an empty directory and no entries at all.
struct ArchiveChoice {
  std::string outputDirectory;
  std::optional<std::vector<std::size_t>> entries;
};

// ---------------------------------------------------------------------------
// What the desktop shell knows of a file

struct FileInfo {
  std::string displayName;  // the name the desktop shows for the file
  std::string typeName;     // "Text Document", "TXT File", ...
  int iconIndex = -1;       // the view's small icon for the file; -1 none
};

// The file information without a desktop: the file name, and "<EXT> File"
// ("File" for a name without extension). Views without a MIME database use it.
FileInfo PlainFileInfo(const std::filesystem::path& path);

// ---------------------------------------------------------------------------

class Interaction {
 public:
  virtual ~Interaction() = default;

  // A modal message box; returns the button pressed (Ok for MessageButtons::Ok).
  virtual MessageButton ShowMessage(MessageKind kind, std::string_view caption, std::string_view text,
                                    MessageButtons buttons) = 0;

  // A Yes/No message box whose Enter answers `enter`; Yes or No. Views
  // without a default button (a terminal) keep this, which asks as above.
  virtual MessageButton ShowQuestion(MessageKind kind, std::string_view caption, std::string_view text,
                                     EnterAnswers enter) {
    static_cast<void>(enter);
    return ShowMessage(kind, caption, text, MessageButtons::YesNo);
  }

  // The open-file dialog; the chosen paths, none when cancelled. Without
  // OpenAllowMultiSelect at most one path.
  virtual std::vector<std::filesystem::path> ChooseOpenFiles(const OpenDialogRequest& request) = 0;
  // The save-file dialog; the chosen path, nothing when cancelled.
  virtual std::optional<std::filesystem::path> ChooseSaveFile(const SaveDialogRequest& request) = 0;
  // The directory chooser; the chosen directory, nothing when cancelled.
  virtual std::optional<std::filesystem::path> ChooseDirectory(const DirectoryRequest& request) = 0;

  // Runs the password prompt modally. The box is already filled from its
  // request and open; the view lets the user act on its controls (Password,
  // MaskEdit, RemindPass, PLX) and calls its handlers (ContinueClick,
  // CancelClick, PasswordKeyDown) until one of them closes it.
  virtual void RunPasswordPrompt(TPasswordBox& box) = 0;
  // Runs any other modal form the same way, until one of its handlers closes it.
  virtual void RunModal(ModalForm& form) = 0;
  // Runs the archive viewer modally. It is already filled from its archive
  // and open; the view lets the user act on its controls (FileList selection,
  // Directory) and calls its handlers (SelectDirClick, SelectAll1Click,
  // ContinueButtonClick, CancelButtonClick) until one of them closes it.
  virtual void RunArchiveViewer(TPLXArchiver& viewer) = 0;

  // The main window's status line.
  virtual void SetStatusText(std::string_view text) = 0;
  virtual std::string StatusText() const = 0;
  // The main window's progress bar.
  virtual platform::Progress& ProgressBar() = 0;
  // The hourglass while long work runs; see BusyCursor below.
  virtual void SetBusyCursor(bool busy) = 0;

  // The clipboard as plain text (UTF-8); nothing when it holds no text.
  virtual std::optional<std::string> ClipboardText() = 0;
  // Puts bytes on the clipboard. A clipboard that holds only text (the
  // desktop's) repairs bytes that are not UTF-8, such as a text decrypted
  // with a wrong password; one that holds bytes keeps them exactly.
  virtual void SetClipboardText(std::string_view text) = 0;
  virtual void ClearClipboard() = 0;
  // As SetClipboardText, for a secret (decrypted text): the desktop's
  // clipboard marks it so that clipboard managers keep it out of their history.
  virtual void SetSecretClipboardText(std::string_view text) { SetClipboardText(text); }

  // Opens a file or an address with the desktop's default handler; false
  // when nothing could be started. `workingDirectory` may be empty.
  virtual bool ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) = 0;
  // Opens the program's guide at a topic (10 contents, 20 the algorithms).
  virtual void ShowHelp(int context) = 0;
  // The desktop's display name, type name and icon of a file.
  virtual FileInfo GetFileInfo(const std::filesystem::path& path) = 0;

  // Printing: runs the print dialog; a job on the printer the user confirmed,
  // or nothing for Cancel. Views without printers keep this default.
  virtual std::unique_ptr<Printer> RunPrintDialog() { return nullptr; }

  // A file of a batch failed; the batch goes on or stops as the failure's
  // scope says. The window shows an error box that names the file.
  virtual void FileFailed(const FileFailure& failure);
  // A batch ended before the files `notTried` (their paths) were reached.
  virtual void BatchStopped(const std::vector<std::string>& notTried);

  // Shorthands for the message boxes commands use, with the kind's caption.
  void Warning(std::string_view text);
  void Error(std::string_view text);
  void Information(std::string_view text);
  // A Yes/No question of the given kind; true for Yes.
  bool Ask(MessageKind kind, std::string_view text, EnterAnswers enter = EnterAnswers::Yes);
};

// Shows the busy cursor for as long as it lives, on every path out.
class BusyCursor {
 public:
  explicit BusyCursor(Interaction& ui) : ui_(ui) { ui_.SetBusyCursor(true); }
  ~BusyCursor() { ui_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Interaction& ui_;
};

}  // namespace voltare::app
