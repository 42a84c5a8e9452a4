// SPDX-License-Identifier: GPL-3.0-or-later
// The batch wipe: a list of files securely deleted one after another with the
// method of the settings, reached from the left panel (files chosen in a
// dialog), from the menus (the selected entries) and after batch encryption.

#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window/batch_messages.h"
#include "app/main_window/main_form.h"
#include "app/main_window/messages.h"
#include "app/main_window/wipe_checks.h"
#include "app/shared/application.h"
#include "app/shared/run_overrides.h"
#include "platform/drive_type.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"
#include "transforms/wipe.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

// "TypeOfWipe" and "Loop" as this run sees them; both are read and converted
// before either is judged. Nothing, after the message, when the run cannot
// start.
std::optional<WipeMethod> ReadWipeMethod(Interaction& ui, const RunOverrides& overrides) {
  try {
    const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (!key) {
      ui.Error(messages::WithSettingsPath(messages::kSettingsFileError));
      return std::nullopt;
    }
    WipeMethod method;
    method.type = ReadSettingInteger(*key, "TypeOfWipe", overrides);
    method.passes = ReadSettingInteger(*key, "Loop", overrides);
    if (method.type != kGovernmentWipe && method.type != kNormalWipe) {
      ui.Error(messages::WithSettingsPath(messages::kWipeSettingsError));
      return std::nullopt;
    }
    return method;
  } catch (const platform::SettingsFileDamaged& damaged) {
    ui.ProgressBar().setPosition(0);
    ui.Error(platform::ErrorFormat(platform::ErrBadFile, damaged.what()));
  } catch (...) {
    ui.ProgressBar().setPosition(0);
    ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode()));
  }
  return std::nullopt;
}

// How the wipe of a list ended.
struct WipeEnd {
  enum Kind {
    AllWiped,
    SomeSkipped,          // each one reported
    StoppedBetweenFiles,  // nothing touched since the last file
    StoppedInFile,        // `path` is half wiped
    EndedByFailure,       // a failure no later file would escape, reported
  } kind = AllWiped;
  std::string path;
};

[[nodiscard]] platform::ResultCode WipeOne(const std::string& path, const WipeMethod& method,
                                           platform::Progress& progress,
                                           const transforms::WipeEnvironment& environment) {
  return method.type == kGovernmentWipe ? transforms::GovernmentWipeFile(path, &progress, environment)
                                        : transforms::NormalWipeFile(path, method.passes, &progress, environment);
}

// The wipe of a file through what `held` hands on for it; a refusal is shown
// here, and ErrReported returned for it.
[[nodiscard]] platform::ResultCode WipeHandedOver(Interaction& ui, const std::string& path, const WipeMethod& method,
                                                  const HeldWipeSource& held,
                                                  const transforms::WipeEnvironment& environment) {
  WipeHandOver handOver = held(path);
  if (handOver.refusal) {
    ui.Error(*handOver.refusal);
    return platform::ErrReported;
  }
  if (!handOver.held) return handOver.failure == platform::Success ? platform::ErrInternal : handOver.failure;
  platform::Progress& progress = ui.ProgressBar();
  return method.type == kGovernmentWipe
             ? transforms::GovernmentWipeHeldFile(std::move(handOver.held), &progress, environment)
             : transforms::NormalWipeHeldFile(std::move(handOver.held), method.passes, &progress, environment);
}

// Wipes the files one after another; a file that cannot be wiped is reported
// and skipped, a stop ends the list.
WipeEnd WipeEach(Interaction& ui, RunningBatch& batch, const std::vector<std::string>& paths, const WipeMethod& method,
                 const HeldWipeSource& held, const WipeTurn& turn) {
  platform::Progress& progress = ui.ProgressBar();
  transforms::WipeEnvironment environment;
  environment.showError = [&ui](const std::string& text) { ui.Error(text); };
  WipeEnd end;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    // A stop asked for between two files ends the batch with nothing touched.
    if (progress.cancelRequested()) return {WipeEnd::StoppedBetweenFiles, {}};
    if (platform::GetDriveType(path) == platform::DRIVE_REMOTE) {
      ui.Error(messages::kNetworkDrive);
      end.kind = WipeEnd::SomeSkipped;
      continue;
    }
    ui.SetStatusText(messages::FormatCount(messages::kWipingStatus, turn.before + i + 1, turn.total));
    const platform::ResultCode result =
        held ? WipeHandedOver(ui, path, method, held, environment) : WipeOne(path, method, progress, environment);
    // The rest of the list stays as it is; this file cannot be restored.
    if (result == platform::ErrCancelled) return {WipeEnd::StoppedInFile, path};
    if (result != platform::Success) {
      ReportWipeFailure(ui, result, path);
      end.kind = WipeEnd::SomeSkipped;
      // A read-only file system refuses every file on it alike.
      if (result != platform::ErrReported && ScopeOf(result) != FailureScope::File) {
        ui.BatchStopped({paths.begin() + static_cast<std::ptrdiff_t>(i) + 1, paths.end()});
        return {WipeEnd::EndedByFailure, path};
      }
    } else {
      batch.PieceDone();
    }
  }
  return end;
}

// Removes the folders that held the wiped files, from each file's own up to
// its root, deepest first, those that are empty now: rmdir takes only an
// empty folder and never follows a link, so a folder that still holds
// anything (a file not wiped, say) stays with all above it.
void RemoveEmptiedFolders(const std::vector<std::string>& paths, const std::vector<std::string>& roots) {
  std::set<fs::path> folders;
  for (std::size_t i = 0; i < paths.size() && i < roots.size(); ++i) {
    const fs::path root = fs::path(roots[i]).lexically_normal();
    // Never above the root: a folder given is all the user chose.
    if (roots[i].empty() || fs::path(paths[i]).lexically_normal().lexically_relative(root).begin()->string() == "..") {
      continue;
    }
    for (fs::path folder = fs::path(paths[i]).lexically_normal().parent_path(); folder.has_relative_path();
         folder = folder.parent_path()) {
      folders.insert(folder);
      if (folder == root) break;
    }
  }
  std::vector<fs::path> deepestFirst(folders.begin(), folders.end());
  std::ranges::sort(deepestFirst, std::greater<>{},
                    [](const fs::path& folder) { return std::distance(folder.begin(), folder.end()); });
  for (const fs::path& folder : deepestFirst) static_cast<void>(::rmdir(folder.c_str()));
}

// The success message comes once, after the last turn, when no turn skipped
// a file.
void ReportWipeEnd(Interaction& ui, const WipeEnd& end, const WipeTurn& turn) {
  if (end.kind == WipeEnd::StoppedInFile) ui.Warning(messages::FormatName(messages::kWipeStopped, end.path));
  if (end.kind == WipeEnd::AllWiped && turn.last && !turn.skipped) ui.Information(messages::kWiped);
}

}  // namespace

bool TMainForm::WipeFileList(const std::vector<std::string>& paths, const std::vector<std::string>& roots) {
  const bool fromFolders = std::ranges::any_of(roots, [](const std::string& root) { return !root.empty(); });
  std::string question;
  if (fromFolders) {
    question = messages::FormatCount(messages::kConfirmWipeFolders.For(paths.size()), paths.size(), 0);
  }
  bool declined = false;
  const std::optional<WipeMethod> method = AskToWipe(paths, declined, question);
  if (!method) return declined;
  const bool wiped = WipeAgreedFiles(paths, *method);
  if (fromFolders) RemoveEmptiedFolders(paths, roots);
  return wiped;
}

std::optional<WipeMethod> TMainForm::AskToWipe(const std::vector<std::string>& paths, bool& declined,
                                               const std::string& question) {
  declined = false;
  if (StopAsked()) return std::nullopt;  // the batch this wipe ends was stopped
  std::optional<WipeMethod> method = ReadWipeMethod(ui_, app_.Overrides);
  if (!method) return std::nullopt;
  if (method->type == kNormalWipe) method->passes = UsablePassCount(ui_, method->passes, app_.WipeNoticesGiven);
  // A No wipes nothing and fails nothing: the user chose it.
  declined = !ui_.Ask(MessageKind::Confirmation, question.empty() ? std::string(messages::kConfirmWipe) : question,
                      EnterAnswers::No) ||
             !MayWipeOnTheirFileSystems(ui_, paths, app_.WipeNoticesGiven);
  if (declined) return std::nullopt;
  return method;
}

bool TMainForm::WipeAgreedFiles(const std::vector<std::string>& paths, const WipeMethod& method,
                                const HeldWipeSource& held, WipeTurn* turn) {
  WipeTurn whole{0, paths.size()};
  WipeTurn& thisTurn = turn != nullptr ? *turn : whole;
  const RunningBatch::Scope batch = JoinBatch();
  const BusyCursor busy(ui_);
  const std::string savedStatus = ui_.StatusText();
  WipeEnd end;
  try {
    end = WipeEach(ui_, *batch, paths, method, held, thisTurn);
  } catch (...) {
    ui_.SetStatusText(savedStatus);
    ui_.ProgressBar().setPosition(0);
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode()));
    thisTurn.skipped = thisTurn.stopped = true;
    return false;
  }
  ui_.SetStatusText(savedStatus);
  ui_.ProgressBar().setPosition(0);
  thisTurn.skipped = thisTurn.skipped || end.kind != WipeEnd::AllWiped;
  thisTurn.stopped = end.kind == WipeEnd::StoppedBetweenFiles || end.kind == WipeEnd::StoppedInFile ||
                     end.kind == WipeEnd::EndedByFailure;
  ReportWipeEnd(ui_, end, thisTurn);
  return end.kind == WipeEnd::AllWiped;
}

void TMainForm::WipeFiles3Click() {
  OpenDialog.options = OpenNone;
  OpenDialog.options |= OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing;
  OpenDialog.filter = messages::kAllFilesFilter;
  OpenDialog.title = messages::kWipeChooserTitle;
  const std::vector<fs::path> chosen = ui_.ChooseOpenFiles(OpenDialog);
  if (chosen.empty()) return;
  WipeFileList(std::vector<std::string>(chosen.begin(), chosen.end()));
}

void TMainForm::WipeFiles2Click() {
  const std::vector<std::string> selected = ListView.SelectedFileNames();
  if (selected.empty()) return;
  WipeFileList(selected, ListView.SelectedRoots());
  // The entries go whatever the wipe did: also after No or a skipped file.
  ListView.Remove({selected.begin(), selected.end()});
  ListViewSelectItem();
}

}  // namespace voltare::app
