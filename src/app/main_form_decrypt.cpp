// "Decrypt File(s)": encrypted files and archives back into plain files.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "app/application.h"
#include "app/batch_decrypt.h"
#include "app/decrypt_messages.h"
#include "app/scratch_file.h"
#include "archive/plx_extract.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/staged_file.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/vlt_format.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;
namespace text = decrypt_messages;
using platform::ResultCode;

constexpr std::string_view kEncryptedExtension = ".vlt";
constexpr std::string_view kArchiveExtension = ".plx";

// The extension as the file name spells it, from its last dot; empty when the
// name has no dot. Compared exactly: ".VLT" is not ".vlt".
std::string ExtensionOf(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

// The prompt's caption for an algorithm code; empty for an unknown one.
std::string_view AlgorithmCaption(int id) {
  switch (id) {
    case transforms::kAlgorithmBlowfish:
      return "Blowfish";
    case transforms::kAlgorithmCast128:
      return "CAST5";
    case transforms::kAlgorithmDes:
      return "DES";
    default:
      return "";
  }
}

// One file of a batch: where its bytes are, and the name it goes by. A member
// taken out of an archive lies in a temporary file of its own and goes by its
// name in the archive.
struct BatchFile {
  std::string path;
  std::string name;
  bool damaged = false;  // a member the archive's end cut short
};

// The name a file had before encryption: its name without ".vlt".
std::string WithoutExtension(const std::string& name) {
  return name.substr(0, name.size() - std::min(name.size(), kEncryptedExtension.size()));
}

// Where a decrypted file goes: into the output directory when that names an
// existing directory, else next to the encrypted file. The replace question
// and the write both take this path, so they never name different files.
fs::path OutputPath(const BatchFile& file, const std::string& outputDirectory) {
  std::error_code error;
  const bool intoDirectory = !outputDirectory.empty() && fs::is_directory(outputDirectory, error);
  const fs::path directory = intoDirectory ? fs::path(outputDirectory) : fs::path(file.path).parent_path();
  return directory / WithoutExtension(file.name);
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

// The archive step: the viewer's answer becomes ExtractDirectory and
// ExtractSelection, the chosen members are taken out, and `files` then holds
// them. False when there is nothing to decrypt (already reported if needed).
bool OpenArchive(Application& app, std::vector<BatchFile>& files, ExtractedMembers& extracted) {
  TMainForm& form = app.MainForm;
  const std::string archivePath = files.front().path;
  if (const ResultCode unreadable = ReadFailure(archivePath); unreadable != platform::Success) {
    app.ui.Error(platform::ErrorFormat(unreadable));
    return false;
  }
  if (!IsPlxFile(archivePath)) {
    app.ui.Error(platform::ErrorFormat(platform::ErrBadFile));
    return false;
  }

  ArchiveViewerResult viewed = app.PLXArchiver.Request({archivePath});
  form.ExtractSelection.reset();  // never a selection from an earlier opening
  if (viewed.result != platform::Success) {
    // The viewer could not read the archive and was not shown.
    app.ui.Error(platform::ErrorFormat(viewed.result));
    return false;
  }
  form.ExtractDirectory = std::move(viewed.choice.outputDirectory);
  form.ExtractSelection = std::move(viewed.choice.entries);
  if (!form.ExtractSelection) return false;

  files.clear();
  std::vector<archive::ExtractedMember> members;
  platform::Progress& progress = app.ui.ProgressBar();
  const ResultCode result = [&] {
    const BusyCursor busy(app.ui);
    return archive::ExtractFromArchive(*form.ExtractSelection, archivePath, members, &progress);
  }();
  form.ExtractSelection.reset();
  progress.setPosition(0);
  progress.repaint();
  if (result != platform::Success) {
    // A stop leaves nothing taken out, and is no failure to report.
    if (result != platform::ErrCancelled) app.ui.Error(platform::ErrorFormat(result));
    return false;
  }
  extracted.Adopt(members);
  for (archive::ExtractedMember& member : members) {
    files.push_back({member.path.string(), std::move(member.name), member.cutShort});
  }
  return true;
}

PasswordRequest DecryptPasswordRequest(const BatchFile& file) {
  PasswordRequest request;
  request.fileName = file.name;
  request.algorithmCaption = AlgorithmCaption(transforms::ReadAlgorithmId(file.path));
  request.headerVisible = true;
  request.algorithmVisible = true;
  return request;  // no length limit, no bundle box
}

[[nodiscard]] ResultCode DecryptInto(Application& app, const std::string& path, const transforms::KeyMaterial* key,
                       std::size_t index, std::size_t count, const fs::path& target);

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

std::size_t DecryptFileList(Application& app, std::vector<std::string> paths) {
  TMainForm& form = app.MainForm;
  Interaction& ui = app.ui;
  const FinishedWork::Batch batch(form.BatchWork);
  std::vector<BatchFile> files;
  for (std::string& path : paths) {
    std::string name = fs::path(path).filename().string();
    files.push_back({std::move(path), std::move(name)});
  }
  ExtractedMembers extracted;
  if (files.size() == 1 && ExtensionOf(files.front().name) == kArchiveExtension) {
    if (!OpenArchive(app, files, extracted)) return 0;
  }

  bool samePassword = false;
  std::size_t succeeded = 0;
  for (std::size_t j = 0; j < files.size(); ++j) {
    // A stop asked for at the end of a file's last piece ends the batch here.
    if (ui.ProgressBar().cancelRequested()) return succeeded;
    const BatchFile& file = files[j];
    if (ExtensionOf(file.name) != kEncryptedExtension) continue;
    // A member cut short cannot decrypt whatever the password: it is
    // reported like any other damaged file, without asking for one.
    if (const ResultCode unreadable = ReadFailure(file.path); unreadable != platform::Success) {
      ui.Error(platform::ErrorFormat(unreadable));
      continue;
    }
    if (file.damaged || !transforms::IsVltFile(file.path)) {
      ui.Error(platform::ErrorFormat(platform::ErrBadFile));
      continue;
    }
    // Asked about the file the output will replace, wherever it goes. A Yes
    // does not touch the old file: it is replaced only by a complete new one.
    const fs::path target = OutputPath(file, form.ExtractDirectory);
    if (platform::FileExists(target) &&
        !ui.Ask(MessageKind::Warning, text::FillName(text::kReplaceDecrypted, target.string()))) {
      continue;
    }
    if (!samePassword) {
      form.AskPassword(DecryptPasswordRequest(file));
      if (form.CurrentPassword.empty()) return succeeded;
    }

    const ResultCode result = [&] {
      const transforms::KeyMaterial key(form.CurrentPassword);
      return DecryptInto(app, file.path, &key, j, files.size(), target);
    }();
    // Stopped by the user: the rest of the batch does not run, and no
    // success is announced; only the members taken out for it are removed.
    if (result == platform::ErrCancelled) return succeeded;
    if (result != platform::Success && result != platform::ErrReported) {
      ui.Error(platform::ErrorFormat(result));
      return succeeded;
    }
    if (result == platform::Success) {
      ++succeeded;
      form.BatchWork.PieceDone();
    }
    if (j == 0 && files.size() > 1) samePassword = ui.Ask(MessageKind::Confirmation, text::kSamePasswordForAll);
  }

  extracted.DeleteAll();
  ui.ProgressBar().setPosition(0);
  ui.ProgressBar().repaint();
  if (succeeded >= 1) ui.Information(text::kDecryptedAll);
  return succeeded;
}

ResultCode DecryptOneFile(Application& app, const std::string& path, const transforms::KeyMaterial* key,
                          std::size_t index, std::size_t count, const std::string& outputDirectory) {
  const BatchFile file{path, fs::path(path).filename().string()};
  return DecryptInto(app, path, key, index, count, OutputPath(file, outputDirectory));
}

namespace {

// DecryptOneFile with the output path already chosen.
[[nodiscard]] ResultCode DecryptInto(Application& app, const std::string& path, const transforms::KeyMaterial* key,
                       std::size_t index, std::size_t count, const fs::path& target) {
  TMainForm& form = app.MainForm;
  Interaction& ui = app.ui;
  if (index == 0) form.SavedStatusText = ui.StatusText();
  if (path.empty() || key == nullptr) return platform::ErrInternal;
  BusyCursor busy(ui);
  if (const ResultCode unreadable = ReadFailure(path); unreadable != platform::Success) return unreadable;
  if (!transforms::IsVltFile(path)) return platform::ErrBadFile;
  ScratchFile decrypted;
  if (!decrypted.Exists()) return platform::ErrNoTempFile;
  const int id = transforms::ReadAlgorithmId(path);
  if (id == -1) return platform::ErrBadFile;

  platform::Progress& progress = ui.ProgressBar();
  // Shows a failure of the decryption or the decompression; the temporary
  // file and a half-made output go with the objects that hold them.
  const auto reported = [&](ResultCode code) {
    if (code == platform::ErrCancelled) {
      ui.SetStatusText(form.SavedStatusText);
      progress.setPosition(0);
      return code;
    }
    ui.Error(platform::ErrorFormat(code));
    ui.SetStatusText(form.SavedStatusText);
    progress.setPosition(0);
    return platform::ErrReported;
  };
  try {
    progress.setPosition(0);
    ui.SetStatusText(text::FillCount(text::kDecryptingStatus, index + 1, count));
    ResultCode result = DecryptWith(id, path, decrypted.Path(), *key, progress);
    if (result != platform::Success) return reported(result);

    ui.SetStatusText(text::FillCount(text::kDecompressingStatus, index + 1, count));
    // Written under a temporary name beside the output and renamed over it
    // only when complete, so an existing file survives every failure.
    platform::StagedFile output(target);
    result = transforms::DecompressFile(decrypted.Path(), output.stagingPath(), &progress);
    if (result != platform::Success) return reported(result);
    output.Commit();

    decrypted.Delete();
    progress.setPosition(0);
    progress.repaint();
    if (index + 1 == count) ui.SetStatusText(form.SavedStatusText);
    return platform::Success;
  } catch (...) {
    ui.SetStatusText(form.SavedStatusText);
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
