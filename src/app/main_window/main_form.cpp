// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/main_form.h"

#include <unistd.h>

#include <array>
#include <exception>

#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"
#include "app/shared/application.h"
#include "app/shared/file_extensions.h"
#include "app/shared/password_meter.h"
#include "platform/file.h"
#include "platform/network_route.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"
#include "platform/temp_files.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

constexpr int kLeftBoxWidth = 120;
constexpr int kWidthMargin = 40;

// Every command reachable from a menu, tool bar or the left panel. A command
// whose handler is not built yet has no entry, and its controls stay hidden.
constexpr std::array kCommands = {
    Command{"New1", N_("&New..."), "Ctrl+N", &TMainForm::NewButtonClick},
    Command{"NewButton", N_("New"), "", &TMainForm::NewButtonClick},
    Command{"Open1", N_("&Open"), "Ctrl+O", &TMainForm::OpenButtonClick},
    Command{"OpenButton", N_("Open"), "", &TMainForm::OpenButtonClick},
    Command{"SaveAs1", N_("&Save"), "Ctrl+S", &TMainForm::SaveButtonClick},
    Command{"SaveButton", N_("Save"), "", &TMainForm::SaveButtonClick},
    Command{"Exit1", N_("E&xit"), "Ctrl+X", &TMainForm::Exit1Click},
    Command{"Cut1", N_("Cu&t"), "Ctrl+U", &TMainForm::CutButtonClick},
    Command{"CutButton", N_("Cut"), "", &TMainForm::CutButtonClick},
    Command{"Copy1", N_("&Copy"), "Ctrl+C", &TMainForm::CopyButtonClick},
    Command{"CopyButton", N_("Copy"), "", &TMainForm::CopyButtonClick},
    Command{"Paste1", N_("&Paste"), "Ctrl+V", &TMainForm::PasteButtonClick},
    Command{"PasteButton", N_("Paste"), "", &TMainForm::PasteButtonClick},
    Command{"SelectAll1", N_("Se&lect All..."), "", &TMainForm::SelectAll1Click},
    Command{"DeselectAll1", N_("&Deselect All..."), "", &TMainForm::DeselectAll1Click},
    Command{"ClearList1", N_("&Clear List"), "", &TMainForm::ClearList1Click},
    Command{"ClearList2", N_("&Clear List"), "", &TMainForm::ClearList1Click},
    Command{"Add1", N_("Add &File(s)"), "", &TMainForm::AddFileButtonClick},
    Command{"AddFileButton", N_("Add File(s)"), "", &TMainForm::AddFileButtonClick},
    Command{"AddDir1", N_("Add Dir&ectory"), "", &TMainForm::AddDirClick},
    Command{"AddDir", N_("Add Directory"), "", &TMainForm::AddDirClick},
    Command{"DeleteFile1", N_("&Delete File(s) From List"), "", &TMainForm::DeleteButtonClick},
    Command{"DeleteFile2", N_("&Delete File(s)"), "", &TMainForm::DeleteButtonClick},
    Command{"DeleteButton", N_("Delete File(s) From List"), "", &TMainForm::DeleteButtonClick},
    Command{"Properties", N_("&Properties"), "", &TMainForm::PropertiesClick},
    Command{"Contents", N_("&Contents"), "F1", &TMainForm::ContentsClick},
    Command{"Help", N_("Help"), "", &TMainForm::ContentsClick},
    Command{"VisitKOVASoftwareontheweb1", N_("Visit &KOVA Software on the web"), "",
            &TMainForm::VisitKOVASoftwareontheweb1Click},
    // Batch encryption and the batch wipe.
    Command{"EncryptFiles1", N_("&Encrypt File(s)"), "Ctrl+E", &TMainForm::EncryptFiles1Click},
    Command{"EncryptFiles2", N_("&Encrypt File(s)"), "", &TMainForm::EncryptFiles1Click},
    Command{"WipeFiles2", N_("&Wipe File(s)"), "Ctrl+W", &TMainForm::WipeFiles2Click},
    Command{"WipeFiles1", N_("&Wipe File(s)"), "", &TMainForm::WipeFiles2Click},
    Command{"WipeFiles3", N_("Wipe Files"), "", &TMainForm::WipeFiles3Click},
    // Clipboard commands, printed list, about box.
    Command{"EncryptClipboard1", N_("Encrypt &Clipboard"), "", &TMainForm::EncryptClipboard1Click},
    Command{"DecryptClipboard1", N_("Decrypt Cl&ipboard"), "", &TMainForm::DecryptClipboard1Click},
    Command{"EditClipboard1", N_("Edit Clipb&oard"), "", &TMainForm::EditClipboard1Click},
    Command{"EditClipboard", N_("Edit Clipboard"), "", &TMainForm::EditClipboard1Click},
    Command{"PrintList1", N_("&Print List"), "Ctrl+P", &TMainForm::PrintButtonClick},
    Command{"PrintButton", N_("Print List"), "", &TMainForm::PrintButtonClick},
    Command{"About", N_("&About..."), "", &TMainForm::AboutClick},
    // Batch decryption.
    Command{"DecryptFiles1", N_("Decrypt &File(s)"), "Ctrl+D", &TMainForm::DecryptFiles1Click},
    Command{"VerifyFiles1", N_("&Verify File(s)"), "", &TMainForm::VerifyFiles1Click},
    // E-mail.
    Command{"SendMessage1", N_("&Send Message"), "", &TMainForm::SendMessage1Click},
    Command{"EmailMessage", N_("Send E-mail Message"), "", &TMainForm::SendMessage1Click},
    Command{"Preferences1", N_("&Preferences"), "", &TMainForm::Preferences1Click},
};

// "CheckUpdate" as the first activation reads it. A store or value that
// cannot be read is reported and counts as off, so that the command line is
// still handled after the message.
bool CheckUpdateIsOn(Interaction& ui) {
  try {
    const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (!key) {
      ui.Error(messages::WithSettingsPath(messages::kSettingsFileError));
      return false;
    }
    return key->ReadDword("CheckUpdate") != 0;
  } catch (const platform::SettingsFileDamaged& damaged) {
    ui.Error(platform::ErrorFormat(platform::ErrBadFile, damaged.what()));
  } catch (const std::exception& failure) {
    ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
  return false;
}

}  // namespace

int MainFormWidth() {
  int width = kLeftBoxWidth + kWidthMargin;
  for (const ListColumn& column : kListColumns) width += column.width;
  return width;
}

TMainForm::TMainForm(Interaction& ui, Application& app, std::filesystem::path startDirectory)
    : ui_(ui), app_(app), startDirectory_(std::move(startDirectory)) {}

TMainForm::~TMainForm() = default;

std::span<const Command> TMainForm::Commands() { return kCommands; }

bool TMainForm::Run(std::string_view control) {
  for (const Command& command : kCommands) {
    if (command.control == control) {
      (this->*command.handler)();
      return true;
    }
  }
  return false;
}

MenuItem* TMainForm::FindMenuItem(std::string_view control) {
  for (const NamedControl& named : Controls()) {
    if (named.name == control) return named.control;
  }
  return nullptr;
}

std::vector<NamedControl> TMainForm::Controls() {
  return {{"Head", &Head},
          {"ListView", &ListView},
          {"NewButton", &NewButton},
          {"OpenButton", &OpenButton},
          {"SaveButton", &SaveButton},
          {"PrintButton", &PrintButton},
          {"CutButton", &CutButton},
          {"CopyButton", &CopyButton},
          {"PasteButton", &PasteButton},
          {"AddFileButton", &AddFileButton},
          {"AddDir", &AddDir},
          {"DeleteButton", &DeleteButton},
          {"Cut1", &Cut1},
          {"Copy1", &Copy1},
          {"Paste1", &Paste1},
          {"DeleteFile1", &DeleteFile1},
          {"EncryptFiles1", &EncryptFiles1},
          {"DecryptFiles1", &DecryptFiles1},
          {"VerifyFiles1", &VerifyFiles1},
          {"WipeFiles2", &WipeFiles2},
          {"DeleteFile2", &DeleteFile2},
          {"EncryptFiles2", &EncryptFiles2},
          {"WipeFiles1", &WipeFiles1}};
}

// ---------------------------------------------------------------------------
// Window events

void TMainForm::FormCreate() {
  Caption = messages::kMainCaption;
  ui_.SetStatusText(messages::FormatName(messages::kWelcome, VOLTARE_VERSION));
}

void TMainForm::CheckColorDepth(int bitsPerPixel) {
  // Zero or less: the display did not say.
  if (bitsPerPixel <= 0 || bitsPerPixel >= messages::kRecommendedColorDepth) return;
  const std::string_view format = messages::kColorDepthTooLow;
  const std::size_t at = format.find("%d");
  ui_.Information(std::string(format.substr(0, at)) + std::to_string(bitsPerPixel) +
                  std::string(format.substr(at + 2)));
}

void TMainForm::FormActivate(std::span<const std::string> arguments) {
  if (activated_) return;
  activated_ = true;
  if (CheckForUpdate && CheckUpdateIsOn(ui_) && platform::HasDefaultRoute()) CheckForUpdate();
  HandleCommandLine(arguments);
}

void TMainForm::HandleCommandLine(std::span<const std::string> arguments) {
  if (arguments.empty()) return;
  // A path with blanks may arrive split into several arguments.
  std::string joined;
  for (const std::string& argument : arguments) joined += argument + " ";
  joined.pop_back();

  const fs::path path = FromStartDirectory(joined);
  const std::string name = path.string();
  if ((HasExtension(name, kVltExtension) || HasExtension(name, kPlxExtension)) && platform::FileExists(path)) {
    if (DecryptFileList) DecryptFileList({path.string()});
  } else if (HasExtension(name, kVlsExtension) && platform::FileExists(path)) {
    const platform::ResultCode result = LoadListFile(path);
    if (result != platform::Success && result != platform::ErrReported) ShowResult(result, FileAction::OpenList, path);
  }
}

bool TMainForm::FormCloseQuery() {
  // Only what no running copy marks as in use: another copy's work stays.
  platform::RemoveStaleTempFiles();
  return true;
}

void TMainForm::DropFiles(std::span<const std::string> paths) {
  const BusyCursor busy(ui_);  // a large folder takes a while: Cancel shows
  for (const std::string& path : paths) {
    if (StopAsked()) break;
    std::error_code error;
    if (fs::is_directory(path, error)) {
      std::vector<std::string> found;
      ReportUnreachable(ListDirectoryFiles(path, found, WalkUntilStopped()));
      AddFilesToList(found, false, path);
    } else if (platform::FileExists(path)) {
      // Only regular files can be encrypted or wiped; a FIFO would even stall
      // the batch that opens it.
      AddFileToList(path, static_cast<std::int64_t>(paths.size()));
    }
  }
  ResetProgress();
}

void TMainForm::ListViewDblClick() {
  const std::vector<std::string> selected = ListView.SelectedFileNames();
  if (selected.empty()) return;
  ui_.ShellOpen(selected.front(), fs::path(selected.front()).parent_path());
}

// ---------------------------------------------------------------------------
// Enabling rules

void TMainForm::ListViewSelectItem() {
  const bool anySelected = ListView.SelectedCount() > 0;
  CutButton.enabled = CopyButton.enabled = DeleteButton.enabled = anySelected;
  const auto clipboard = ui_.ClipboardText();
  if (clipboard && !clipboard->empty()) PasteButton.enabled = true;
}

void TMainForm::Edit1Click() {
  const auto clipboard = ui_.ClipboardText();
  Paste1.enabled = PasteButton.enabled = clipboard && !clipboard->empty();
  Cut1.enabled = Copy1.enabled = ListView.SelectedCount() > 0;
}

void TMainForm::Actions1Click() {
  const bool canAct = ListView.Count() > 0 && ListView.SelectedCount() > 0;
  DeleteFile1.enabled = EncryptFiles1.enabled = WipeFiles2.enabled = canAct;
}

void TMainForm::PopupMenuPopup() {
  const bool canAct = ListView.Count() > 0 && ListView.SelectedCount() > 0;
  EncryptFiles2.enabled = DeleteFile2.enabled = WipeFiles1.enabled = canAct;
}

// ---------------------------------------------------------------------------
// List commands

void TMainForm::AddFileToList(const std::string& path, std::int64_t batchCount, const std::string& root) {
  if (ListView.Contains(path)) return;
  platform::Progress& progress = ui_.ProgressBar();
  progress.setMax(batchCount);

  const FileInfo info = ui_.GetFileInfo(path);
  ListItem item;
  item.displayName = info.displayName;
  item.fileName = path;
  item.typeName = info.typeName;
  item.imageIndex = info.iconIndex;
  item.root = root;
  FillFileColumns(item);
  ListView.Insert(std::move(item));

  progress.setPosition(progress.position() + 1);
  RepaintNowAndThen();
}

bool TMainForm::AddFilesToList(std::span<const std::string> paths, bool existingOnly, const std::string& root) {
  for (const std::string& path : paths) {
    if (StopAsked()) return false;
    if (existingOnly && !platform::FileExists(path)) continue;
    AddFileToList(path, static_cast<std::int64_t>(paths.size()), root);
  }
  return true;
}

// A walk through a large tree paints the window and hears Cancel as it goes.
KeepWalking TMainForm::WalkUntilStopped() {
  return [this] {
    RepaintNowAndThen();
    return !StopAsked();
  };
}

// Painting the window for every one of many small files would cost more
// than adding them; a few times a second keeps it alive and Cancel heard.
void TMainForm::RepaintNowAndThen() {
  constexpr auto kInterval = std::chrono::milliseconds(40);
  const auto now = std::chrono::steady_clock::now();
  if (now - lastRepaint_ < kInterval) return;
  lastRepaint_ = now;
  ui_.ProgressBar().repaint();
}

void TMainForm::AddFileButtonClick() {
  try {
    OpenDialog.filter = messages::kAllFilesFilter;
    OpenDialog.options |= OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing;
    OpenDialog.title = messages::kAddFilesTitle;
    const std::vector<fs::path> chosen = ui_.ChooseOpenFiles(OpenDialog);
    std::vector<std::string> paths;
    for (const fs::path& path : chosen) paths.push_back(path.string());
    const BusyCursor busy(ui_);
    AddFilesToList(paths);
    ResetProgress();
  } catch (const std::exception& failure) {
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
}

void TMainForm::AddDirClick() {
  const auto directory = ui_.ChooseDirectory({std::string(messages::kAddDirectoryCaption), {}});
  if (!directory) return;
  std::vector<std::string> found;
  const BusyCursor busy(ui_);
  ReportUnreachable(ListDirectoryFiles(*directory, found, WalkUntilStopped()));
  ui_.ProgressBar().setPosition(0);
  AddFilesToList(found, false, directory->string());
  ResetProgress();
}

void TMainForm::DeleteButtonClick() {
  if (!ui_.Ask(MessageKind::Confirmation, messages::kConfirmDelete)) return;
  TakeSelectedPaths(true);
  ListViewSelectItem();
}

void TMainForm::CutButtonClick() {
  ui_.ClearClipboard();
  const std::vector<std::string> paths = TakeSelectedPaths(true);
  PasteButton.enabled = true;
  std::string text;
  for (const std::string& path : paths) text += path + '\n';
  ui_.SetClipboardText(text);
  ListViewSelectItem();
}

void TMainForm::CopyButtonClick() {
  ui_.ClearClipboard();
  const std::vector<std::string> paths = TakeSelectedPaths(false);
  PasteButton.enabled = true;
  std::string text;
  for (const std::string& path : paths) text += path + '\n';
  ui_.SetClipboardText(text);
}

void TMainForm::PasteButtonClick() {
  const auto clipboard = ui_.ClipboardText();
  if (!clipboard || clipboard->empty()) return;
  const std::vector<std::string> lines = SplitLines(*clipboard);
  const BusyCursor busy(ui_);
  AddFilesToList(lines, true);
  ResetProgress();
}

void TMainForm::NewButtonClick() {
  if (!ui_.Ask(MessageKind::Information, messages::kConfirmNewList)) return;
  ListView.Clear();
  Head.caption = messages::kUntitledHead;
  ListViewSelectItem();
}

void TMainForm::OpenButtonClick() {
  OpenDialog.options = OpenNone;
  OpenDialog.filter = messages::kOpenListFilter;
  const std::vector<fs::path> chosen = ui_.ChooseOpenFiles(OpenDialog);
  if (chosen.empty() || !platform::FileExists(chosen.front())) return;
  const platform::ResultCode result = LoadListFile(chosen.front());
  if (result != platform::Success && result != platform::ErrReported) {
    ShowResult(result, FileAction::OpenList, chosen.front());
  }
}

void TMainForm::SaveButtonClick() {
  const auto chosen = ui_.ChooseSaveFile({"", std::string(messages::kSaveListFilter)});
  if (!chosen) return;
  fs::path path = *chosen;
  path.replace_extension(".vls");
  const platform::ResultCode result = SaveListFile(path);
  if (result != platform::Success && result != platform::ErrReported) ShowResult(result, FileAction::SaveList, path);
}

void TMainForm::SelectAll1Click() {
  ListView.SetAllSelected(true);
  ActiveControl = &ListView;
  ListViewSelectItem();
}

void TMainForm::DeselectAll1Click() {
  ListView.SetAllSelected(false);
  ActiveControl = &ListView;
  ListViewSelectItem();
}

void TMainForm::ClearList1Click() {
  ListView.Clear();
  ListViewSelectItem();
}

void TMainForm::Exit1Click() {
  if (FormCloseQuery()) Closed = true;
}

// ---------------------------------------------------------------------------
// Other windows

void TMainForm::PropertiesClick() { ShowModal(ui_, app_.PreferencesForm); }

void TMainForm::ContentsClick() { ui_.ShowHelp(messages::kHelpContents); }

void TMainForm::VisitKOVASoftwareontheweb1Click() { ui_.ShellOpen(messages::kHomePage, {}); }

PasswordReply TMainForm::AskPassword(const PasswordRequest& request) {
  if (!request.newPassword || request.protectionAlgorithm >= 0) return app_.PasswordBox.Request(request);
  PasswordRequest forText = request;
  forText.protectionAlgorithm = TextProtectionAlgorithm(app_.Overrides);
  return app_.PasswordBox.Request(forText);
}

RunningBatch::Scope TMainForm::JoinBatch() { return RunningBatch::Scope(batch_, ui_.StatusText()); }

// ---------------------------------------------------------------------------

fs::path TMainForm::FromStartDirectory(const fs::path& path) const {
  if (path.is_absolute() || path.empty()) return path;
  return startDirectory_ / path;
}

void TMainForm::ResetProgress() {
  ui_.ProgressBar().setPosition(0);
  ui_.ProgressBar().repaint();
}

std::vector<std::string> TMainForm::TakeSelectedPaths(bool remove) {
  return remove ? ListView.RemoveSelected() : ListView.SelectedFileNames();
}

// The question only where a stop costs more than the step itself.
bool TMainForm::ConfirmStop() {
  const bool halfDone = batch_ != nullptr && batch_->StopLeavesHalfDone();
  return !halfDone || ui_.Ask(MessageKind::Confirmation, messages::kStopHalfDone);
}

// A step the user stopped is no failure: nothing to report.
void TMainForm::ShowResult(platform::ResultCode code, FileAction action, const std::filesystem::path& path) {
  if (code == platform::ErrCancelled) return;
  ui_.FileFailed({action, path.string(), code});
}

}  // namespace voltare::app
