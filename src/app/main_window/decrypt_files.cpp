// SPDX-License-Identifier: GPL-3.0-or-later
// "Decrypt File(s)": encrypted files and archives back into plain files.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "app/main_window/algorithm_table.h"
#include "app/main_window/batch_messages.h"
#include "app/main_window/decrypt_expanding.h"
#include "app/main_window/decrypt_files.h"
#include "app/main_window/decrypt_messages.h"
#include "app/main_window/replaced_output.h"
#include "app/main_window/sealed_key_status.h"
#include "app/shared/application.h"
#include "app/shared/file_extensions.h"
#include "app/shared/scratch_file.h"
#include "archive/plx_extract.h"
#include "archive/plx_names.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/staged_file.h"
#include "platform/subfolder.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/decrypt_expand.h"
#include "transforms/des_file.h"
#include "transforms/verify.h"
#include "transforms/vlt_format.h"
#include "transforms/xchacha_file.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;
namespace text = decrypt_messages;
using platform::ResultCode;

// One file of a batch: where its bytes are, and the name it goes by. A member
// taken out of an archive lies in a temporary file of its own and goes by its
// name in the archive.
struct BatchFile {
  std::string path;
  std::string name;
  bool damaged = false;  // a member the archive's end cut short
  bool member = false;   // taken out of an archive

  // What the user knows the file by: its path, or its name in the archive.
  const std::string& shown() const { return member ? name : path; }
};

// The name a file had before encryption: its name less its last four characters.
std::string WithoutExtension(const std::string& name) {
  return name.substr(0, name.size() - std::min(name.size(), kVltExtension.size()));
}

// The folder a decrypted file goes to: the output directory when that names
// an existing directory, else the encrypted file's own.
fs::path OutputFolder(const BatchFile& file, const std::string& outputDirectory) {
  std::error_code error;
  const bool intoDirectory = !outputDirectory.empty() && fs::is_directory(outputDirectory, error);
  return intoDirectory ? fs::path(outputDirectory) : fs::path(file.path).parent_path();
}

// Where a decrypted file goes: its name, which may hold folders (a member
// packed from a folder tree), below OutputFolder. The replace question and
// the write both take this path, so they never name different files.
fs::path OutputPath(const BatchFile& file, const std::string& outputDirectory) {
  return OutputFolder(file, outputDirectory) / WithoutExtension(file.name);
}

// A decrypted file's place: the path the user knows it by, and the one the
// write takes. A name that holds folders is written through the folder
// opened for it (made where missing, never through a link), held open while
// the file is written.
struct OutputTarget {
  fs::path shown;
  fs::path written;
  std::unique_ptr<platform::Subfolder> folder;
};

// Throws as platform::Subfolder does when a folder on the way cannot be had.
OutputTarget OpenTarget(const BatchFile& file, const std::string& outputDirectory) {
  const fs::path relative = WithoutExtension(file.name);
  OutputTarget target{OutputPath(file, outputDirectory), {}, nullptr};
  if (!relative.has_parent_path()) {
    target.written = target.shown;
    return target;
  }
  target.folder = std::make_unique<platform::Subfolder>(OutputFolder(file, outputDirectory), relative.parent_path());
  target.written = target.folder->path() / relative.filename();
  return target;
}

// Inside a catch block: a folder on the way to a decrypted file that cannot
// be had, named with why.
void ReportFolderOnTheWay(Interaction& ui, const BatchFile& file) {
  try {
    throw;
  } catch (const platform::BlockedWay& blocked) {
    const std::string_view why = blocked.error() == ELOOP ? text::kLinkOnTheWay : text::kFileOnTheWay;
    ui.Error(messages::FormatNames(why, {file.shown(), blocked.blocker().string()}));
  } catch (...) {
    ui.FileFailed({FileAction::Decrypt, file.shown(), platform::CurrentExceptionCode()});
  }
}

// Two files of the batch that would be decrypted to the same place (the
// same file, or a file where the other needs a folder) are named, and
// nothing is decrypted: one would replace the other.
bool OutputsApart(Interaction& ui, const std::vector<BatchFile>& files, const std::string& outputDirectory) {
  std::vector<std::string> places;
  std::vector<const BatchFile*> decrypted;
  for (const BatchFile& file : files) {
    if (!HasExtension(file.name, kVltExtension)) continue;
    places.push_back(OutputPath(file, outputDirectory).lexically_normal().generic_string());
    decrypted.push_back(&file);
  }
  const auto meet = archive::FindSamePath(places);
  if (!meet) return true;
  const std::string& first = places[meet->first];
  const std::string& second = places[meet->second];
  ui.Error(messages::FormatNames(text::kSamePlace, {decrypted[meet->first]->shown(), decrypted[meet->second]->shown(),
                                                    first.size() <= second.size() ? first : second}));
  return false;
}

[[nodiscard]] ResultCode DecryptWith(int id, const fs::path& source, const fs::path& destination,
                                     const transforms::KeyMaterial& key, platform::Progress& progress) {
  switch (id) {
    case transforms::kAlgorithmBlowfish:
      return transforms::BlowfishDecryptFile(source, destination, key.password, &progress, false);
    case transforms::kAlgorithmCast128:
      return transforms::Cast5DecryptFile(source, destination, key.password, &progress);
    case transforms::kAlgorithmDes: {
      const std::uint64_t desKey = transforms::DesKeyFromKeyBlock(*key.keyBlock);
      return transforms::DesDecryptFile(source, destination, static_cast<std::uint32_t>(desKey),
                                        static_cast<std::uint32_t>(desKey >> 32), &progress);
    }
    case transforms::kAlgorithmXChaCha20:
      return transforms::XChaChaDecryptFile(source, destination, *key.sealedKeys, key.password, &progress);
    default:
      return platform::ErrBadFile;
  }
}

// The members taken out of an archive for one batch; they are deleted when
// the batch ends, however it ends.
class ExtractedMembers {
 public:
  ExtractedMembers() = default;
  ~ExtractedMembers() { DeleteAll(); }
  ExtractedMembers(const ExtractedMembers&) = delete;
  ExtractedMembers& operator=(const ExtractedMembers&) = delete;

  void Adopt(const std::vector<archive::ExtractedMember>& members) {
    for (const archive::ExtractedMember& member : members) files_.push_back(member.file);
  }
  void DeleteAll() { files_.clear(); }

 private:
  // Each removes its file when the last holder lets go.
  std::vector<std::shared_ptr<const platform::TempFile>> files_;
};

// Why `path` cannot be read, in the system's words; Success when it can. Asked
// before the content is judged, so that a file the user may not read is never
// reported as damaged.
[[nodiscard]] ResultCode ReadFailure(const std::string& path) {
  try {
    platform::File file(path, platform::File::Mode::Read);
    return platform::Success;
  } catch (...) {
    return platform::CurrentExceptionCode();
  }
}

// A file that cannot be read, or is no archive, is reported here, before
// the viewer would show it.
bool ArchiveReadable(Interaction& ui, const std::string& archivePath) {
  ResultCode failure = ReadFailure(archivePath);
  if (failure == platform::Success && !IsPlxFile(archivePath)) failure = platform::ErrBadFile;
  if (failure == platform::Success) return true;
  ui.FileFailed({FileAction::Decrypt, archivePath, failure});
  return false;
}

// The viewer's answer becomes the form's ExtractDirectory and the batch's
// ExtractSelection. False when nothing was chosen.
bool ChooseMembers(Application& app, RunningBatch& batch, const std::string& archivePath) {
  ArchiveViewerResult viewed = app.PLXArchiver.Request({archivePath});
  if (viewed.result != platform::Success) {
    // The viewer could not read the archive and was not shown.
    app.ui.FileFailed({FileAction::Decrypt, archivePath, viewed.result});
    return false;
  }
  app.MainForm.ExtractDirectory = std::move(viewed.choice.outputDirectory);
  batch.ExtractSelection = std::move(viewed.choice.entries);
  return batch.ExtractSelection.has_value();
}

// Takes the chosen members out into temporary files of their own.
bool ExtractChosen(Interaction& ui, RunningBatch& batch, const std::string& archivePath,
                   std::vector<archive::ExtractedMember>& members) {
  platform::Progress& progress = ui.ProgressBar();
  const ResultCode result = [&] {
    const BusyCursor busy(ui);
    return archive::ExtractFromArchive(*batch.ExtractSelection, archivePath, members, &progress);
  }();
  batch.ExtractSelection.reset();
  progress.setPosition(0);
  progress.repaint();
  // A stop leaves nothing taken out, and is no failure to report.
  if (result != platform::Success && result != platform::ErrCancelled) {
    ui.FileFailed({FileAction::Decrypt, archivePath, result});
  }
  return result == platform::Success;
}

// The archive step: the viewer is shown, the chosen members are taken out,
// and `files` then holds them. False when there is nothing to decrypt
// (already reported if needed).
bool OpenArchive(Application& app, RunningBatch& batch, std::vector<BatchFile>& files, ExtractedMembers& extracted) {
  const std::string archivePath = files.front().path;
  if (!ArchiveReadable(app.ui, archivePath) || !ChooseMembers(app, batch, archivePath)) return false;
  files.clear();
  std::vector<archive::ExtractedMember> members;
  if (!ExtractChosen(app.ui, batch, archivePath, members)) return false;
  extracted.Adopt(members);
  for (archive::ExtractedMember& member : members) {
    files.push_back({member.path.string(), std::move(member.name), member.cutShort, true});
  }
  return true;
}

PasswordRequest DecryptPasswordRequest(const BatchFile& file) {
  PasswordRequest request;
  request.fileName = file.name;
  request.algorithmCaption = CaptionOfFileAlgorithm(transforms::ReadAlgorithmId(file.path));
  request.headerVisible = true;
  request.algorithmVisible = true;
  return request;  // no length limit, no bundle box
}

[[nodiscard]] ResultCode DecryptInto(Application& app, const BatchFile& file, const transforms::KeyMaterial* key,
                                     std::size_t index, std::size_t count, const fs::path& target);

// What the batch decryption hands from one file to the next.
struct DecryptionRun {
  Application& app;
  RunningBatch& batch;
  const std::vector<BatchFile>& files;
  bool severalGiven = false;  // the same-password question is for several files, not one archive's members
  bool samePassword = false;
  std::size_t succeeded = 0;
};

// True when the file can be read and is an encrypted file; otherwise it is
// reported. A member cut short cannot decrypt whatever the password: it is
// reported like any other damaged file, without asking for one.
bool Decryptable(Interaction& ui, const BatchFile& file) {
  ResultCode failure = ReadFailure(file.path);
  if (failure == platform::Success && (file.damaged || !transforms::IsVltFile(file.path))) {
    failure = platform::ErrBadFile;
  }
  if (failure == platform::Success) return true;
  ui.FileFailed({FileAction::Decrypt, file.shown(), failure});
  return false;
}

// What becomes of a file whose output name is taken.
enum class Replace { Yes, Skip, EndBatch };

// Asked about the file the output will replace, wherever it goes, only once
// the file opens with the password: a wrong one is reported without a
// question. A Yes does not touch the old file: it is replaced only by a
// complete new one.
Replace AskToReplace(DecryptionRun& run, const BatchFile& file, const OutputTarget& target) {
  Interaction& ui = run.app.ui;
  const ResultCode checked = [&] {
    const BusyCursor busy(ui);
    const transforms::KeyMaterial key(run.batch.Password, run.batch.SealedKeys);
    ShowKeyDerivations(ui, *key.sealedKeys);
    return transforms::CheckEncryptedFile(fs::path(file.path), key, &ui.ProgressBar());
  }();
  ui.ProgressBar().setPosition(0);
  if (checked == platform::ErrCancelled) return Replace::EndBatch;
  if (checked != platform::Success) {
    ui.FileFailed({FileAction::Decrypt, file.shown(), checked});
    return Replace::Skip;
  }
  const std::string question = text::FillName(text::kReplaceDecrypted, target.shown.string());
  return ui.Ask(MessageKind::Warning, question, EnterAnswers::No) ? Replace::Yes : Replace::Skip;
}

// The files after `index` that the batch would have decrypted.
std::vector<std::string> NotReached(const DecryptionRun& run, std::size_t index) {
  std::vector<std::string> rest;
  for (std::size_t i = index + 1; i < run.files.size(); ++i) {
    if (HasExtension(run.files[i].name, kVltExtension)) rest.push_back(run.files[i].shown());
  }
  return rest;
}

// Decrypts the file at `index` with the batch's password. A failure of the
// file alone skips it; one of the place written to (full, read-only), or
// one the program cannot place, ends the batch. False when the batch ends.
bool DecryptCounted(DecryptionRun& run, std::size_t index, const fs::path& target) {
  const ResultCode result = [&] {
    const transforms::KeyMaterial key(run.batch.Password, run.batch.SealedKeys);
    ShowKeyDerivations(run.app.ui, *key.sealedKeys);
    return DecryptInto(run.app, run.files[index], &key, index, run.files.size(), target);
  }();
  // Stopped by the user: the rest of the batch does not run, and no
  // success is announced; only the members taken out for it are removed.
  if (result == platform::ErrCancelled) {
    run.app.ui.SetStatusText(messages::FormatName(messages::kStoppedDecrypting, run.files[index].shown()));
    return false;
  }
  if (result == platform::Success) {
    ++run.succeeded;
    run.batch.PieceDone();
    return true;
  }
  run.app.ui.FileFailed({FileAction::Decrypt, run.files[index].shown(), result});
  if (ScopeOf(result) == FailureScope::File) return true;
  run.app.ui.BatchStopped(NotReached(run, index));
  return false;
}

// One turn of the batch: the file at `index` checked, its password asked
// when one is due, and the file decrypted. Entries without ".vlt" are passed
// over. False when the batch ends here.
bool DecryptNextFile(DecryptionRun& run, std::size_t index) {
  Interaction& ui = run.app.ui;
  // A stop asked for at the end of a file's last piece ends the batch here.
  if (ui.ProgressBar().cancelRequested()) return false;
  const BatchFile& file = run.files[index];
  if (!HasExtension(file.name, kVltExtension) || !Decryptable(ui, file)) return true;
  if (!run.samePassword) {
    run.batch.Password = run.app.MainForm.AskPassword(DecryptPasswordRequest(file)).password;
    if (run.batch.Password.empty()) return false;
  }
  std::optional<OutputTarget> target;
  try {
    target = OpenTarget(file, run.app.MainForm.ExtractDirectory);
  } catch (...) {
    ReportFolderOnTheWay(ui, file);
    return true;
  }
  if (OutputNameTaken(target->written)) {
    const Replace replace = AskToReplace(run, file, *target);
    if (replace == Replace::EndBatch) return false;
    if (replace == Replace::Skip) return true;
  }
  const std::size_t succeededBefore = run.succeeded;
  if (!DecryptCounted(run, index, target->written)) return false;
  if (!run.severalGiven) {
    // One archive: its members were packed under one password, asked once
    // it opened a member.
    run.samePassword = run.samePassword || run.succeeded > succeededBefore;
  } else if (index == 0 && run.files.size() > 1) {
    run.samePassword = ui.Ask(MessageKind::Confirmation, text::kSamePasswordForAll);
  }
  return true;
}

}  // namespace

bool IsPlxFile(const fs::path& path) noexcept {
  try {
    if (!platform::FileExists(path)) return false;
    platform::File file(path, platform::File::Mode::Read);
    std::array<std::uint8_t, 3> magic{};
    return file.read(magic) == magic.size() && magic == std::array<std::uint8_t, 3>{'P', 'L', 'X'};
  } catch (...) {
    return false;
  }
}

std::size_t DecryptFileList(Application& app, std::vector<std::string> paths, const std::vector<std::string>& names) {
  const RunningBatch::Scope batch = app.MainForm.JoinBatch();
  std::vector<BatchFile> files;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::string name = i < names.size() ? names[i] : fs::path(paths[i]).filename().string();
    files.push_back({std::move(paths[i]), std::move(name)});
  }
  const bool severalGiven = files.size() > 1;
  ExtractedMembers extracted;
  if (files.size() == 1 && HasExtension(files.front().name, kPlxExtension)) {
    if (!OpenArchive(app, *batch, files, extracted)) return 0;
  }
  if (!OutputsApart(app.ui, files, app.MainForm.ExtractDirectory)) return 0;

  DecryptionRun run{app, *batch, files, severalGiven};
  for (std::size_t j = 0; j < files.size(); ++j) {
    if (!DecryptNextFile(run, j)) return run.succeeded;
  }
  extracted.DeleteAll();
  app.ui.ProgressBar().setPosition(0);
  app.ui.ProgressBar().repaint();
  if (run.succeeded >= 1) app.ui.Information(text::kDecryptedAll);
  return run.succeeded;
}

[[nodiscard]] ResultCode DecryptOneFile(Application& app, const std::string& path, const transforms::KeyMaterial* key,
                                        std::size_t index, std::size_t count, const std::string& outputDirectory) {
  const BatchFile file{path, fs::path(path).filename().string()};
  const ResultCode result = DecryptInto(app, file, key, index, count, OutputPath(file, outputDirectory));
  if (result == platform::Success || result == platform::ErrCancelled) return result;
  app.ui.FileFailed({FileAction::Decrypt, path, result});
  return platform::ErrReported;
}

namespace {

// One encrypted file as the steps of its decryption see it.
struct FileToDecrypt {
  const std::string& path;
  int algorithmId;
  const transforms::KeyMaterial& key;
  std::size_t index;  // 0-based, and the batch's count, for the status texts
  std::size_t count;
};

// Decrypts into `decrypted`, then decompresses that into the output. The
// output is written under a temporary name beside it and renamed over it
// only when complete, so an existing file survives every failure.
[[nodiscard]] ResultCode DecryptThenDecompress(Interaction& ui, const FileToDecrypt& file, const fs::path& decrypted,
                                               const fs::path& target) {
  platform::Progress& progress = ui.ProgressBar();
  progress.setPosition(0);
  ui.SetStatusText(text::FillCount(text::kDecryptingStatus, file.index + 1, file.count));
  // A sealed file always: its plain text may be a zstd frame, which only the
  // one pass expands.
  if (file.algorithmId == transforms::kAlgorithmXChaCha20 ||
      transforms::DecryptsOnTwoThreads(file.algorithmId, file.path)) {
    return DecryptExpandInto(ui, file.algorithmId, file.path, file.key,
                             text::FillCount(text::kDecompressingStatus, file.index + 1, file.count), target);
  }
  ResultCode result = DecryptWith(file.algorithmId, file.path, decrypted, file.key, progress);
  if (result != platform::Success) return result;

  ui.SetStatusText(text::FillCount(text::kDecompressingStatus, file.index + 1, file.count));
  platform::StagedFile output(target);
  result = transforms::DecompressFile(decrypted, output.file(), &progress);
  if (result != platform::Success) return result;
  KeepReplacedMode(target, output.file().fd());
  output.Commit();
  return platform::Success;
}

// A failed decryption or decompression: the status line and the bar put
// back; the caller reports it.
[[nodiscard]] ResultCode EndFailedStep(Interaction& ui, ResultCode code, const std::string& savedStatus) {
  ui.SetStatusText(savedStatus);
  ui.ProgressBar().setPosition(0);
  return code;
}

// DecryptOneFile with the output path already chosen.
[[nodiscard]] ResultCode DecryptInto(Application& app, const BatchFile& batchFile, const transforms::KeyMaterial* key,
                                     std::size_t index, std::size_t count, const fs::path& target) {
  Interaction& ui = app.ui;
  const std::string& path = batchFile.path;
  const RunningBatch::Scope batch = app.MainForm.JoinBatch();
  if (index == 0) batch->SavedStatusText = ui.StatusText();
  if (path.empty() || key == nullptr) return platform::ErrInternal;
  BusyCursor busy(ui);
  if (const ResultCode unreadable = ReadFailure(path); unreadable != platform::Success) return unreadable;
  if (!transforms::IsVltFile(path)) return platform::ErrBadFile;
  ScratchFile decrypted;
  if (!decrypted.Exists()) return platform::ErrNoTempFile;
  const int id = transforms::ReadAlgorithmId(path);
  if (id == -1) return platform::ErrBadFile;

  try {
    const FileToDecrypt file{path, id, *key, index, count};
    const ResultCode result = DecryptThenDecompress(ui, file, decrypted.Path(), target);
    if (result != platform::Success) return EndFailedStep(ui, result, batch->SavedStatusText);
    decrypted.Delete();
    ui.ProgressBar().setPosition(0);
    ui.ProgressBar().repaint();
    if (index + 1 == count) ui.SetStatusText(batch->SavedStatusText);
    return platform::Success;
  } catch (...) {
    ui.SetStatusText(batch->SavedStatusText);
    return platform::CurrentExceptionCode();
  }
}

}  // namespace

// ---------------------------------------------------------------------------

void TMainForm::DecryptFiles1Click() {
  OpenDialog.filter = decrypt_messages::kDecryptFilter;
  OpenDialog.title = decrypt_messages::kDecryptTitle;
  OpenDialog.options = OpenAllowMultiSelect | OpenHideReadOnly | OpenEnableSizing;
  const std::vector<fs::path> chosen = ui_.ChooseOpenFiles(OpenDialog);
  if (chosen.empty()) return;
  std::vector<std::string> paths;
  for (const fs::path& path : chosen) paths.push_back(path.string());
  if (DecryptFileList) DecryptFileList(paths);
}

}  // namespace voltare::app
