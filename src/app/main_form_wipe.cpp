// The batch wipe: a list of files securely deleted one after another with the
// method of the settings, reached from the left panel (files chosen in a
// dialog), from the menus (the selected entries) and after batch encryption.

#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/batch_messages.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/run_overrides.h"
#include "platform/drive_type.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"
#include "transforms/wipe.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

constexpr int kGovernmentWipe = 0;
constexpr int kNormalWipe = 1;

struct WipeMethod {
  int type = kGovernmentWipe;
  int passes = 0;  // of a Normal Wipe
};

// "TypeOfWipe" and "Loop" as this run sees them; both are read and converted
// before either is judged. Nothing, after the message, when the run cannot
// start.
std::optional<WipeMethod> ReadWipeMethod(Interaction& ui, const RunOverrides& overrides) {
  try {
    const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (!key) {
      ui.Error(messages::kRegistryError);
      return std::nullopt;
    }
    WipeMethod method;
    method.type = ReadSettingInteger(*key, "TypeOfWipe", overrides);
    method.passes = ReadSettingInteger(*key, "Loop", overrides);
    if (method.type != kGovernmentWipe && method.type != kNormalWipe) {
      ui.Error(messages::kWipeSettingsError);
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

}  // namespace

void TMainForm::WipeFileList(const std::vector<std::string>& paths) {
  if (StopAsked()) return;  // the batch this wipe ends was stopped
  const std::optional<WipeMethod> method = ReadWipeMethod(ui_, app_.Overrides);
  if (!method) return;
  if (!ui_.Ask(MessageKind::Confirmation, messages::kConfirmWipe, EnterAnswers::No)) return;

  const FinishedWork::Batch batch(BatchWork);
  const BusyCursor busy(ui_);
  const std::string savedStatus = ui_.StatusText();
  platform::Progress& progress = ui_.ProgressBar();
  transforms::WipeEnvironment environment;
  environment.showError = [this](const std::string& text) { ui_.Error(text); };
  bool allWiped = true;
  try {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const std::string& path = paths[i];
      // A stop asked for between two files ends the batch with nothing touched.
      if (progress.cancelRequested()) {
        ui_.SetStatusText(savedStatus);
        progress.setPosition(0);
        return;
      }
      if (platform::GetDriveType(path) == platform::DRIVE_REMOTE) {
        ui_.Error(messages::kNetworkDrive);
        continue;
      }
      ui_.SetStatusText(messages::FormatCount(messages::kWipingStatus, i + 1, paths.size()));
      const platform::ResultCode result =
          method->type == kGovernmentWipe ? transforms::GovernmentWipeFile(path, &progress, environment)
                                          : transforms::NormalWipeFile(path, method->passes, &progress, environment);
      if (result == platform::ErrCancelled) {
        // The rest of the list stays as it is; this file cannot be restored.
        ui_.SetStatusText(savedStatus);
        progress.setPosition(0);
        ui_.Warning(messages::FormatName(messages::kWipeStopped, path));
        return;
      }
      if (result != platform::Success) {
        ui_.Error(platform::ErrorFormat(result));
        ui_.Information(messages::FormatName(messages::kWipeSkipped, path));
        allWiped = false;
      } else {
        BatchWork.PieceDone();
      }
    }
  } catch (...) {
    ui_.SetStatusText(savedStatus);
    progress.setPosition(0);
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode()));
    return;
  }
  ui_.SetStatusText(savedStatus);
  progress.setPosition(0);
  if (allWiped) ui_.Information(messages::kWiped);
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
  const std::size_t selected = ListView.SelectedCount();
  if (selected == 0) return;
  WipeFileList(ListView.SelectedFileNames());
  // The entries go whatever the wipe did: also after No or a skipped file.
  for (std::size_t n = selected; n > 0; --n) ListView.RemoveFirstSelected();
  ListViewSelectItem();
}

}  // namespace voltare::app
