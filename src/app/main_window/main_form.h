// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window as a form object: its file list, the enabled states of its
// menu entries and tool buttons, the heading above the list, the batch
// command that is running, and every handler. A view shows these controls and
// calls the handlers; Run() reaches a handler by its control's name.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window/file_list.h"
#include "app/main_window/messages.h"
#include "app/main_window/running_batch.h"
#include "app/main_window/wipe_checks.h"
#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "common/translate.h"
#include "platform/result_codes.h"

namespace voltare::transforms {
struct KeyMaterial;
}

namespace voltare::app {

class Application;
class TMainForm;

// One entry of the command table: a menu entry, tool button or left-panel
// button and the handler it runs.
struct Command {
  std::string_view control;   // "EncryptFiles1", "CutButton", ...
  common::Text caption;       // "&Encrypt File(s)", or the tool button's hint
  std::string_view shortcut;  // "Ctrl+E", or empty
  void (TMainForm::*handler)();
};

class TMainForm {
 public:
  TMainForm(Interaction& ui, Application& app, std::filesystem::path startDirectory);
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // --- command table
  static std::span<const Command> Commands();
  // Runs the handler of a control; false when no command has that name.
  bool Run(std::string_view control);
  MenuItem* FindMenuItem(std::string_view control);
  // Every control member, by its name.
  std::vector<NamedControl> Controls();

  // --- window events
  void FormCreate();
  // The display's colour depth as the window appears: below 16 bits the
  // user is told that pictures may look poor; start-up goes on.
  void CheckColorDepth(int bitsPerPixel);
  // The first activation handles the command line (the program's arguments
  // without the program name); later activations do nothing.
  void FormActivate(std::span<const std::string> arguments);
  // Deletes leftover temporary files; always allows the close.
  bool FormCloseQuery();
  void DropFiles(std::span<const std::string> paths);
  // The files named to encrypt (voltare-cli): a folder brings its files less
  // those already encrypted (one note counts them); a pipe is taken, a
  // device or socket refused. Each file left out counts in SourcesLeftOut.
  void AddFilesToEncrypt(std::span<const std::string> paths);
  void ListViewDblClick();
  void ListViewSelectItem();
  void Edit1Click();
  void Actions1Click();
  void PopupMenuPopup();

  // --- commands
  void NewButtonClick();
  void OpenButtonClick();
  void SaveButtonClick();
  void Exit1Click();
  void CutButtonClick();
  void CopyButtonClick();
  void PasteButtonClick();
  void SelectAll1Click();
  void DeselectAll1Click();
  void ClearList1Click();
  void AddFileButtonClick();
  void AddDirClick();
  void DeleteButtonClick();
  void PropertiesClick();
  void ContentsClick();
  void VisitKOVASoftwareontheweb1Click();

  // --- clipboard commands, printed list, about box
  void EncryptClipboard1Click();
  void DecryptClipboard1Click();
  // The same two; true when the clipboard holds the result.
  bool EncryptClipboard();
  bool DecryptClipboard();
  void EditClipboard1Click();
  void PrintButtonClick();
  void AboutClick();

  // --- batch encryption and the batch wipe
  void EncryptFiles1Click();
  // The encryption command; true when it ended with its success message.
  bool EncryptSelectedFiles();
  // One file of a batch: compressed into a temporary file, encrypted into the
  // path with ".vlt" appended. `index` (0-based) and `count` feed the status
  // texts; ErrReported when the failure has already been shown.
  [[nodiscard]] platform::ResultCode EncryptOneFile(const std::string& path, std::uint8_t algorithmCode,
                                                    const transforms::KeyMaterial* key, std::size_t index,
                                                    std::size_t count);
  void WipeFiles2Click();
  void WipeFiles3Click();
  // Asks once, then wipes the files with the method of the settings. False
  // when a file was not wiped or the batch was stopped; No to the questions
  // wipes nothing and is no failure.
  // `roots`, when given, holds for each path the folder given that brought
  // it (ListItem::root): with any, the question gives the count, and the
  // folders the wipe emptied, up to and including their root, are removed.
  bool WipeFileList(const std::vector<std::string>& paths, const std::vector<std::string>& roots = {});
  // WipeFileList in two steps, for a caller that has work to do between the
  // question and the wipe. The method, once the user agreed; nothing when
  // the settings could not be read (shown) or the user said No (`declined`).
  // `question`: the confirmation asked (default: kConfirmWipe).
  std::optional<WipeMethod> AskToWipe(const std::vector<std::string>& paths, bool& declined,
                                      const std::string& question = {});
  // Wipes files the user agreed to wipe. `held`, when set, gives each file
  // right before its wipe (else each is opened by its name); `turn`, when
  // set, makes this one turn of a longer wipe.
  bool WipeAgreedFiles(const std::vector<std::string>& paths, const WipeMethod& method, const HeldWipeSource& held = {},
                       WipeTurn* turn = nullptr);

  // --- batch decryption (decrypt_files.h; Application installs it as DecryptFileList)
  void DecryptFiles1Click();
  // Checks encrypted files and archives without writing them out (verify_files.h).
  void VerifyFiles1Click();

  // --- e-mail: the composer (after the settings check) and the settings dialog
  void SendMessage1Click();
  void Preferences1Click();

  // --- the file list
  // `root`: the folder given that brought the file (ListItem::root).
  void AddFileToList(const std::string& path, std::int64_t batchCount, const std::string& root = {});
  [[nodiscard]] platform::ResultCode LoadListFile(const std::filesystem::path& path);
  [[nodiscard]] platform::ResultCode SaveListFile(const std::filesystem::path& path);

  // --- stopping the running step (Cancel or Esc in the window)
  // True when the step may stop: at once while nothing of the batch is
  // finished, otherwise only when the user confirms leaving it half done.
  bool ConfirmStop();

  // Asks the password prompt. The reply's password is burned with the reply.
  PasswordReply AskPassword(const PasswordRequest& request);

  // --- the batch command running now
  // Starts a batch, or joins the one running (the wipe after an encryption).
  RunningBatch::Scope JoinBatch();
  // Nothing between batches.
  const RunningBatch* Batch() const { return batch_.get(); }

  // A command-line path made absolute against the directory the program was
  // started from (the program never changes its current directory).
  std::filesystem::path FromStartDirectory(const std::filesystem::path& path) const;

  // --- controls
  std::string Caption{messages::kMainCaption};
  Label Head{tr_(" Untitled:")};
  FileListView ListView;
  Button NewButton{tr_("New")}, OpenButton{tr_("Open")}, SaveButton{tr_("Save")}, PrintButton{tr_("Print List")};
  Button CutButton{tr_("Cut"), true, false}, CopyButton{tr_("Copy"), true, false},
      PasteButton{tr_("Paste"), true, false};
  Button AddFileButton{tr_("Add File(s)")}, AddDir{tr_("Add Directory")};
  Button DeleteButton{tr_("Delete File(s) From List"), true, false};
  MenuItem Cut1{tr_("Cu&t")}, Copy1{tr_("&Copy")}, Paste1{tr_("&Paste")};
  MenuItem DeleteFile1{tr_("&Delete File(s) From List")}, EncryptFiles1{tr_("&Encrypt File(s)")};
  MenuItem DecryptFiles1{tr_("Decrypt &File(s)")}, VerifyFiles1{tr_("&Verify File(s)")},
      WipeFiles2{tr_("&Wipe File(s)")};
  MenuItem DeleteFile2{tr_("&Delete File(s)")}, EncryptFiles2{tr_("&Encrypt File(s)")},
      WipeFiles1{tr_("&Wipe File(s)")};
  // The shared open-file dialog keeps its title and options between uses.
  OpenDialogRequest OpenDialog;
  const Control* ActiveControl = nullptr;
  bool Closed = false;

  // The output directory last chosen in the archive viewer; later batch
  // decryptions write there too.
  std::string ExtractDirectory;
  // Sources the last AddFilesToEncrypt could not take: the encryption that
  // follows must not claim success for all.
  std::size_t SourcesLeftOut = 0;
  // The file the last step of an encryption worked on (compressed,
  // encrypted, packed, read back): what a stop interrupted. Kept after the
  // batch, for its report.
  std::string FileAtWork;

  // Batch decryption of a ".vlt" or ".plx" file named on the command line.
  // The decryption commands install it; until then such a file is ignored.
  std::function<void(const std::vector<std::string>& paths)> DecryptFileList;
  // The update check run at the first activation when "CheckUpdate" is on
  // and a network connection is up; installed by the update check.
  std::function<void()> CheckForUpdate;

 private:
  void HandleCommandLine(std::span<const std::string> arguments);
  // Adds the files a decrypted list names; true when any of them is missing.
  bool AddListedFiles(const std::filesystem::path& listText);
  // Adds `paths` (with `existingOnly`, those that exist) as one step the
  // user can stop; false once stopped: what was added stays.
  bool AddFilesToList(std::span<const std::string> paths, bool existingOnly = false, const std::string& root = {});
  void RepaintNowAndThen();
  KeepWalking WalkUntilStopped();
  void ResetProgress();
  // One error per file or folder a walk could not reach.
  void ReportUnreachable(const std::vector<UnreachableEntry>& entries);
  // True once the user stopped the running step: the batch goes no further.
  bool StopAsked() const { return ui_.ProgressBar().cancelRequested(); }
  std::vector<std::string> TakeSelectedPaths(bool remove);
  void ShowResult(platform::ResultCode code, FileAction action, const std::filesystem::path& path);

  Interaction& ui_;
  Application& app_;
  std::filesystem::path startDirectory_;
  bool activated_ = false;
  std::unique_ptr<RunningBatch> batch_;
  std::chrono::steady_clock::time_point lastRepaint_{};
};

// The main window's width: the left panel, the list columns and a margin.
int MainFormWidth();

}  // namespace voltare::app
