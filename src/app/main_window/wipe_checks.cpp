// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/wipe_checks.h"

#include <algorithm>
#include <filesystem>

#include "app/main_window/batch_messages.h"
#include "common/translate.h"
#include "platform/file_system_type.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"

namespace voltare::app {

int UsablePassCount(Interaction& ui, int stored, WipeNotices& notices) {
  const int usable = std::clamp(stored, platform::kMinWipePasses, platform::kMaxWipePasses);
  if (usable != stored && !notices.passCountTold) {
    notices.passCountTold = true;
    // TRANSLATORS: the number of passes a Normal Wipe makes, put into "The
    // wipe makes %s instead".
    const std::string passes =
        common::Filled(trn_("%s pass", "%s passes", static_cast<unsigned long>(usable)), {std::to_string(usable)});
    ui.Warning(messages::FormatNames(messages::kPassCountOutOfRange, {std::to_string(stored), passes}));
  }
  return usable;
}

namespace {

std::filesystem::path FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

bool MayWipeOnTheirFileSystems(Interaction& ui, const std::vector<std::string>& paths, WipeNotices& notices) {
  if (notices.copyOnWriteAccepted) return true;
  for (const std::string& path : paths) {
    const std::string type = platform::FileSystemTypeName(FolderOf(path));
    if (!platform::KeepsOldCopiesOnOverwrite(type)) continue;
    if (!ui.Ask(MessageKind::Warning, messages::FormatNames(messages::kCopyOnWriteFileSystem, {path, type}))) {
      return false;
    }
    notices.copyOnWriteAccepted = true;
    return true;
  }
  return true;
}

void ReportWipeFailure(Interaction& ui, platform::ResultCode result, const std::string& path) {
  if (result == platform::ErrReported) return;
  ui.FileFailed({FileAction::Wipe, path, result});
}

}  // namespace voltare::app
