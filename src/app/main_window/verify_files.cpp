// SPDX-License-Identifier: GPL-3.0-or-later
// "Verify File(s)": encrypted files and archives checked without writing any
// of their plain content.

#include <memory>
#include <numeric>
#include <string_view>
#include <utility>

#include "app/main_window/algorithm_table.h"
#include "app/main_window/batch_messages.h"
#include "app/main_window/decrypt_files.h"
#include "app/main_window/decrypt_messages.h"
#include "app/main_window/sealed_key_status.h"
#include "app/main_window/verify_files.h"
#include "app/main_window/verify_messages.h"
#include "app/shared/application.h"
#include "app/shared/file_extensions.h"
#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "transforms/verify.h"
#include "transforms/vlt_format.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;
namespace text = verify_messages;
using platform::ResultCode;

// One file to check: where its bytes are and the name it is reported by. An
// archive member lies in a temporary file (still encrypted) that the
// shared handle removes when the batch ends.
struct FileToVerify {
  std::string path;
  std::string name;
  bool damaged = false;  // a member the archive's end cut short
  std::shared_ptr<const platform::TempFile> scratch = nullptr;
};

// Every member of an archive, taken out still encrypted. False, reported,
// when the archive cannot be read or is no archive.
bool AddArchiveMembers(Interaction& ui, const std::string& archivePath, const std::string& archiveName,
                       std::vector<FileToVerify>& files) {
  std::vector<archive::ArchiveMember> listed;
  ResultCode result = IsPlxFile(archivePath) ? archive::ListArchiveMembers(archivePath, listed) : platform::ErrBadFile;
  std::vector<archive::ExtractedMember> members;
  if (result == platform::Success && !listed.empty()) {
    std::vector<std::size_t> all(listed.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    const BusyCursor busy(ui);
    result = archive::ExtractFromArchive(all, archivePath, members, &ui.ProgressBar());
  }
  // A stop while members are taken out is no damage to report.
  if (result == platform::ErrCancelled) return false;
  if (result != platform::Success) {
    ui.FileFailed({FileAction::Verify, archiveName, result});
    return false;
  }
  for (archive::ExtractedMember& member : members) {
    files.push_back({member.path.string(), archiveName + ": " + member.name, member.cutShort, member.file});
  }
  return true;
}

PasswordRequest VerifyPasswordRequest(const FileToVerify& file) {
  PasswordRequest request;
  request.fileName = file.name;
  request.algorithmCaption = CaptionOfFileAlgorithm(transforms::ReadAlgorithmId(file.path));
  request.headerVisible = true;
  request.algorithmVisible = true;
  return request;
}

// Why the file cannot be checked at all, before any password is asked:
// unreadable, cut short inside its archive, or no encrypted file.
ResultCode UncheckableReason(const FileToVerify& file) {
  try {
    platform::File opened(file.path, platform::File::Mode::Read);
  } catch (...) {
    return platform::CurrentExceptionCode();
  }
  return file.damaged || !transforms::IsVltFile(file.path) ? platform::ErrBadFile : platform::Success;
}

// The outcome of one file in the program's words; true when it is intact.
bool ReportOutcome(Interaction& ui, const FileToVerify& file, ResultCode result) {
  const bool sealed = transforms::ReadAlgorithmId(file.path) == transforms::kAlgorithmXChaCha20;
  switch (result) {
    case platform::Success:
      ui.Information(messages::FormatName(sealed ? text::kIntactSealed : text::kIntact, file.name));
      return true;
    case platform::ErrCancelled:
      return false;
    default:
      ui.FileFailed({FileAction::Verify, file.name, result});
      return false;
  }
}

// What one file of the batch hands to the next.
struct VerifyRun {
  Application& app;
  RunningBatch& batch;
  const std::vector<FileToVerify>& files;
  bool severalGiven = false;  // the same-password question is for several files, not one archive's members
  bool samePassword = false;
  VerifyTally tally;
};

// Checks the file at `index`; false when the batch ends here (the password
// prompt declined, or a stop).
bool VerifyNextFile(VerifyRun& run, std::size_t index) {
  Interaction& ui = run.app.ui;
  if (ui.ProgressBar().cancelRequested()) return false;
  const FileToVerify& file = run.files[index];
  if (const ResultCode reason = UncheckableReason(file); reason != platform::Success) {
    ReportOutcome(ui, file, reason);
    return true;
  }
  if (!run.samePassword) {
    run.batch.Password = run.app.MainForm.AskPassword(VerifyPasswordRequest(file)).password;
    if (run.batch.Password.empty()) return false;
  }
  ui.SetStatusText(messages::FormatCount(messages::kVerifyingStatus, index + 1, run.files.size()));
  const ResultCode result = [&] {
    const BusyCursor busy(ui);
    const transforms::KeyMaterial key(run.batch.Password, run.batch.SealedKeys);
    ShowKeyDerivations(ui, *key.sealedKeys);
    return transforms::CheckEncryptedFile(fs::path(file.path), key, &ui.ProgressBar());
  }();
  ui.ProgressBar().setPosition(0);
  if (ReportOutcome(ui, file, result)) ++run.tally.intact;
  if (result == platform::ErrCancelled) return false;
  if (!run.severalGiven) {
    // One archive: its members were packed under one password, asked once
    // it opened a member.
    run.samePassword = result != platform::ErrBadPassword;
  } else if (index == 0 && run.files.size() > 1) {
    run.samePassword = ui.Ask(MessageKind::Confirmation, decrypt_messages::kSamePasswordForAll);
  }
  return true;
}

}  // namespace

VerifyTally VerifyFileList(Application& app, const std::vector<std::string>& paths,
                           const std::vector<std::string>& shown) {
  const RunningBatch::Scope batch = app.MainForm.JoinBatch();
  const std::string savedStatus = app.ui.StatusText();
  std::vector<FileToVerify> files;
  std::size_t unreadableArchives = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    const std::string name = i < shown.size() ? shown[i] : fs::path(path).filename().string();
    if (HasExtension(path, kPlxExtension)) {
      if (!AddArchiveMembers(app.ui, path, name, files)) ++unreadableArchives;
    } else if (HasExtension(path, kVltExtension)) {
      files.push_back({path, name});
    }
  }
  VerifyRun run{app, *batch, files, paths.size() > 1, false, {}};
  for (std::size_t j = 0; j < files.size() && VerifyNextFile(run, j); ++j) {
  }
  run.tally.checked = files.size() + unreadableArchives;
  app.ui.SetStatusText(savedStatus);
  app.ui.ProgressBar().setPosition(0);
  app.ui.ProgressBar().repaint();
  return run.tally;
}

// ---------------------------------------------------------------------------

// The selected encrypted files and archives of the list; without any, the
// files chosen in the open dialog.
void TMainForm::VerifyFiles1Click() {
  std::vector<std::string> paths;
  for (const std::string& path : TakeSelectedPaths(false)) {
    if (HasExtension(path, kVltExtension) || HasExtension(path, kPlxExtension)) paths.push_back(path);
  }
  if (paths.empty()) {
    OpenDialog.filter = decrypt_messages::kDecryptFilter;
    OpenDialog.title = verify_messages::kVerifyTitle;
    OpenDialog.options = OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing;
    for (const fs::path& path : ui_.ChooseOpenFiles(OpenDialog)) paths.push_back(path.string());
  }
  if (!paths.empty()) VerifyFileList(app_, paths);
}

}  // namespace voltare::app
