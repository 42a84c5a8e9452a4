// "&Encrypt File(s)": every selected entry of the list is compressed into a
// temporary file and that is encrypted into the entry's path with ".vlt"
// appended; optionally the results are packed into one archive and the
// sources wiped, each only once its encrypted file has been read back.

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/algorithm_table.h"
#include "app/application.h"
#include "app/batch_messages.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/run_overrides.h"
#include "app/scratch_file.h"
#include "archive/plx_bundle.h"
#include "archive/plx_reader.h"
#include "crypto/burn.h"
#include "platform/os_error.h"
#include "platform/settings_store.h"
#include "platform/staged_file.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"
#include "transforms/parallel_deflate.h"
#include "transforms/verify.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;
using platform::ResultCode;

constexpr char kEncryptedSuffix[] = ".vlt";

// The settings a batch reads before each password prompt.
struct BatchSettings {
  std::string algorithmText;
  int wipe = 0;
};

// "Algorithm" and "Wipe" as this run sees them; nothing when the command must
// end: silently for a value out of range, with a message when the store
// cannot be read or a value is missing or not a number.
std::optional<BatchSettings> ReadBatchSettings(Interaction& ui, const RunOverrides& overrides) {
  try {
    const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
    if (!key) {
      ui.Error(messages::kRegistryError);
      return std::nullopt;
    }
    BatchSettings settings;
    settings.algorithmText = ReadSettingText(*key, "Algorithm", overrides);
    const int algorithm = platform::ParseInteger(settings.algorithmText);
    settings.wipe = ReadSettingInteger(*key, "Wipe", overrides);
    if (algorithm > 2 || settings.wipe > 1) return std::nullopt;
    return settings;
  } catch (const platform::SettingsFileDamaged& damaged) {
    ui.Error(platform::ErrorFormat(platform::ErrBadFile, damaged.what()));
  } catch (const platform::SettingsError&) {
    ui.Error(messages::kRegistryError);
  } catch (const std::exception& failure) {
    ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
  }
  return std::nullopt;
}

PasswordRequest EncryptionPasswordRequest(const std::string& firstSelected, const AlgorithmEntry* algorithm,
                                          bool firstFile) {
  PasswordRequest request;
  request.fileName = fs::path(firstSelected).filename().string();
  if (algorithm != nullptr) request.algorithmCaption = std::string(algorithm->caption);
  request.maxLength = 0;
  request.bundleVisible = firstFile;
  request.headerVisible = true;
  request.algorithmVisible = true;
  request.newPassword = true;
  return request;
}

// A set of paths that tells whether another path names one of them: by its
// spelling, or as the same file on disk (a link, another spelling). Built
// once per batch, so a large batch costs one look-up per file.
class PathSet {
 public:
  explicit PathSet(const std::vector<std::string>& paths, const char* suffix = "") {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const fs::path path = paths[i] + suffix;
      byName_.emplace(path.lexically_normal().string(), i);
      if (const auto id = IdentityOf(path)) byFile_.emplace(*id, i);
    }
  }

  // The position of the path `path` names, if any.
  std::optional<std::size_t> Find(const fs::path& path) const {
    if (const auto named = byName_.find(path.lexically_normal().string()); named != byName_.end()) {
      return named->second;
    }
    const auto id = IdentityOf(path);
    if (!id) return std::nullopt;
    const auto same = byFile_.find(*id);
    return same == byFile_.end() ? std::nullopt : std::optional(same->second);
  }

 private:
  using Identity = std::pair<dev_t, ino_t>;

  static std::optional<Identity> IdentityOf(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return Identity{status.st_dev, status.st_ino};
  }

  std::map<std::string, std::size_t> byName_;
  std::map<Identity, std::size_t> byFile_;
};

// The archive's full path, asked for once per batch; nothing when the user
// cancels, declines to replace an existing file, or names a file of the batch
// (refused with a message: packing would destroy what it packs). An existing
// archive is not removed here: the bundler replaces it only once the new one
// is complete, so a batch that ends early leaves it as it was.
std::optional<fs::path> ChooseArchiveName(Interaction& ui, const std::vector<std::string>& batch) {
  const PathSet sources(batch), outputs(batch, kEncryptedSuffix);
  const auto chosen =
      ui.ChooseSaveFile({std::string(messages::kArchiveNameTitle), std::string(messages::kArchiveFilter)});
  if (!chosen) return std::nullopt;
  fs::path archive = *chosen;
  archive.replace_extension(".plx");
  if (sources.Find(archive) || outputs.Find(archive)) {
    ui.Error(messages::FormatName(messages::kArchiveIsBatchFile, archive.string()));
    return std::nullopt;
  }
  std::error_code error;
  if (fs::exists(fs::symlink_status(archive, error)) &&
      !ui.Ask(MessageKind::Warning, messages::FormatName(messages::kReplaceArchive, archive.string()))) {
    return std::nullopt;
  }
  return archive;
}

[[nodiscard]] ResultCode EncryptWith(std::uint8_t algorithmCode, const fs::path& source, const fs::path& destination,
                       const transforms::KeyMaterial& key, platform::Progress* progress) {
  switch (algorithmCode) {
    case kBlowfishCode:
      return transforms::BlowfishEncryptFile(source, destination, key.password, progress, false);
    case kCast5Code:
      return transforms::Cast5EncryptFile(source, destination, key.password, progress);
    case kDesCode: {
      std::uint64_t desKey = transforms::DesKeyFromKeyBlock(*key.keyBlock);
      const ResultCode result = transforms::DesEncryptFile(source, destination, static_cast<std::uint32_t>(desKey),
                                                           static_cast<std::uint32_t>(desKey >> 32), progress);
      crypto::BurnBytes(&desKey, sizeof desKey);
      return result;
    }
    default:
      return platform::ErrInternal;
  }
}

// A large file with a CBC algorithm is compressed and encrypted in one pass
// (see CompressEncryptWith); everything else in two, through a temporary file.
bool EncryptsInOnePass(std::uint8_t algorithmCode, const std::string& path) {
  if (algorithmCode != kBlowfishCode && algorithmCode != kCast5Code) return false;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  return !error && transforms::DeflatesInParallel(size);
}

[[nodiscard]] ResultCode CompressEncryptWith(std::uint8_t algorithmCode, const fs::path& source, const fs::path& destination,
                               const transforms::KeyMaterial& key, platform::Progress* progress,
                               const std::function<void()>& compressed) {
  if (algorithmCode == kBlowfishCode) {
    return transforms::BlowfishCompressEncryptFile(source, destination, key.password, progress, compressed);
  }
  return transforms::Cast5CompressEncryptFile(source, destination, key.password, progress, compressed);
}

// Where the batch's encrypted files are read back from, in batch order: each
// source's ".vlt" next to it, or the entries of the new archive, read where
// they lie.
class EncryptedCopies {
 public:
  explicit EncryptedCopies(const fs::path* archive) : archive_(archive) {}

  // Reads the next source's encrypted file back against the source.
  [[nodiscard]] ResultCode Verify(const std::string& source, const transforms::KeyMaterial& key, platform::Progress& progress) {
    if (archive_ == nullptr) return transforms::VerifyEncryptedFile(fs::path(source + kEncryptedSuffix), source, key, &progress);
    if (damaged_) return platform::ErrBadFile;
    try {
      if (!reader_) reader_.emplace(*archive_);
      if (!reader_->NextEntry() || reader_->name() != fs::path(source).filename().string() + kEncryptedSuffix) {
        return platform::ErrBadFile;
      }
      return transforms::VerifyEncryptedFile(reader_->DataSource(), source, key, &progress);
    } catch (...) {
      // The entries after one that cannot be read cannot be found either.
      damaged_ = true;
      return platform::CurrentExceptionCode();
    }
  }

 private:
  const fs::path* archive_;
  std::optional<archive::ArchiveReader> reader_;
  bool damaged_ = false;
};

// Proves, before the sources are wiped, that each one's encrypted file
// decrypts back to it (keys[i] is what sources[i] was encrypted with). A
// source whose file does not is reported and left out of the result: it must
// not be wiped. Nothing when the user stopped the read-back: then no source
// may be wiped at all.
std::optional<std::vector<std::string>> VerifyEncryptedCopies(Interaction& ui, const std::vector<std::string>& sources,
                                               const std::vector<std::shared_ptr<const transforms::KeyMaterial>>& keys,
                                               const fs::path* archive) {
  const BusyCursor busy(ui);
  const std::string savedStatus = ui.StatusText();
  platform::Progress& progress = ui.ProgressBar();
  EncryptedCopies copies(archive);
  std::optional<std::vector<std::string>> verified(std::in_place);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    ui.SetStatusText(messages::FormatCount(messages::kVerifyingStatus, i + 1, sources.size()));
    const ResultCode result =
        progress.cancelRequested() ? platform::ErrCancelled : copies.Verify(sources[i], *keys[i], progress);
    if (result == platform::ErrCancelled) {
      verified.reset();
      break;
    }
    if (result == platform::Success) {
      verified->push_back(sources[i]);
    } else {
      ui.Error(messages::FormatName(messages::kNotVerified, sources[i]));
    }
  }
  ui.SetStatusText(savedStatus);
  progress.setPosition(0);
  progress.repaint();
  return verified;
}

// The batch's sources less any name of the archive just written: a wipe
// must never take the batch's only encrypted copy with it.
std::vector<std::string> WipeTargets(std::vector<std::string> sources, const fs::path* archive) {
  if (archive == nullptr) return sources;
  const PathSet written({archive->string()});
  std::erase_if(sources, [&written](const std::string& source) { return written.Find(source).has_value(); });
  return sources;
}

// Bundling writes X.vlt beside X, packs it and removes it: an older X.vlt
// there (a copy under another password, say) would be gone without a word.
// True when there is none, or the user lets it go.
bool BundleMayTakeOlderCopy(Interaction& ui, const std::string& encryptedPath) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(encryptedPath, error))) return true;
  return ui.Ask(MessageKind::Warning, messages::FormatName(messages::kBundleReplacesEncryptedFile, encryptedPath));
}

// Packs the batch's ".vlt" files into the archive. On failure the error is
// shown and the members stay where they are.
bool BundleBatch(Interaction& ui, const std::vector<std::string>& workList, const fs::path& archiveName,
                 const std::string& savedStatus) {
  const std::vector<fs::path> sources(workList.begin(), workList.end());
  const archive::StatusLine status{[&ui] { return ui.StatusText(); },
                                   [&ui](const std::string& text) { ui.SetStatusText(text); }};
  ResultCode result = platform::Success;
  {
    const BusyCursor busy(ui);
    result = archive::BundleFiles(sources, archiveName, &ui.ProgressBar(), status);
  }
  if (result == platform::Success) return true;
  if (result != platform::ErrCancelled) ui.Error(platform::ErrorFormat(result));
  ui.SetStatusText(savedStatus);
  ui.ProgressBar().setPosition(0);
  ui.ProgressBar().repaint();
  return false;
}

}  // namespace

void TMainForm::EncryptFiles1Click() { EncryptSelectedFiles(); }

bool TMainForm::EncryptSelectedFiles() {
  if (ListView.SelectedCount() == 0) return false;
  const FinishedWork::Batch batch(BatchWork);

  bool samePassword = false;
  std::vector<std::string> workList;
  std::uint8_t algorithmCode = 0;
  BatchSettings settings;
  // Chosen at the first prompt, for the whole batch: later prompts do not
  // offer the box, and their replies must not drop the archive asked for.
  bool bundle = false;
  fs::path archiveName;
  // The files that got their encrypted form; a skipped file is neither
  // packed nor wiped. With each, the key it was encrypted with, kept for the
  // read-back before wiping.
  std::vector<std::string> encrypted;
  std::vector<std::shared_ptr<const transforms::KeyMaterial>> keys;
  std::shared_ptr<const transforms::KeyMaterial> key;
  std::optional<PathSet> batchFiles;

  for (std::size_t i = 0; i < ListView.SelectedCount(); ++i) {
    // A stop asked for at the end of a file's last piece ends the batch here.
    if (StopAsked()) {
      ResetProgress();
      return false;
    }
    if (!samePassword) {
      const std::optional<BatchSettings> read = ReadBatchSettings(ui_, app_.Overrides);
      if (!read) return false;
      settings = *read;
      const AlgorithmEntry* algorithm = FindAlgorithm(settings.algorithmText);
      algorithmCode = algorithm != nullptr ? algorithm->code : 0;
      AskPassword(EncryptionPasswordRequest(ListView.SelectedFileNames().front(), algorithm, i == 0));
      if (CurrentPassword.empty() || algorithmCode == 0) return false;
      if (i == 0) bundle = BundleChoice;
      key = std::make_shared<const transforms::KeyMaterial>(CurrentPassword);
    }
    if (bundle && i == 0) {
      std::optional<fs::path> chosen = ChooseArchiveName(ui_, ListView.SelectedFileNames());
      if (!chosen) return false;
      archiveName = std::move(*chosen);
    }
    if (i == 0) {
      workList = ListView.SelectedFileNames();
      batchFiles.emplace(workList);
    }

    // Writing X.vlt over another file of the batch, still to be read or to
    // be wiped, would lose it.
    if (const auto inTheWay = batchFiles->Find(workList[i] + kEncryptedSuffix)) {
      if (i == 0) SavedStatusText = ui_.StatusText();
      ui_.Error(messages::FormatNames(messages::kOutputIsBatchFile, {workList[i], workList[*inTheWay]}));
      ui_.SetStatusText(SavedStatusText);
    } else if (bundle && !BundleMayTakeOlderCopy(ui_, workList[i] + kEncryptedSuffix)) {
      // No: the older encrypted file stays as it is, and this file is
      // neither packed nor wiped.
    } else {
      const ResultCode result = EncryptOneFile(workList[i], algorithmCode, key.get(), i, workList.size());
      if (result != platform::Success) {
        if (result == platform::ErrReported) {
          ui_.Error(messages::kEncryptionAborted);
        } else {
          ShowResult(result);
        }
        return false;
      }
      encrypted.push_back(workList[i]);
      keys.push_back(key);
      BatchWork.PieceDone();
    }
    if (i == 0 && workList.size() > 1) samePassword = ui_.Ask(MessageKind::Confirmation, messages::kSamePassword);
  }
  // Nothing was encrypted: every file was skipped, each with its message.
  if (encrypted.empty()) {
    ResetProgress();
    return false;
  }

  // Sources are wiped only once their encrypted form is safely stored and
  // reads back.
  if (StopAsked() || (bundle && !BundleBatch(ui_, encrypted, archiveName, SavedStatusText))) {
    ResetProgress();
    return false;
  }
  bool allVerified = true;
  if (settings.wipe != 0) {
    const fs::path* archive = bundle ? &archiveName : nullptr;
    const std::optional<std::vector<std::string>> read = VerifyEncryptedCopies(ui_, encrypted, keys, archive);
    if (!read) {
      // Stopped: the encrypted files stay, and so does every source.
      ResetProgress();
      return false;
    }
    const std::vector<std::string>& verified = *read;
    allVerified = verified.size() == encrypted.size();
    const std::vector<std::string> targets = WipeTargets(verified, archive);
    if (!targets.empty()) WipeFileList(targets);
    // Skipped files, and those whose encrypted file did not read back, were
    // not wiped; they stay in the list.
    const std::set<std::string> done(verified.begin(), verified.end());
    for (const std::string& path : workList) {
      if (!done.contains(path)) ListView.Select(path, false);
    }
    TakeSelectedPaths(true);
    ListViewSelectItem();
  }
  ResetProgress();
  if (!allVerified) return false;
  ui_.Information(messages::kEncrypted);
  return true;
}

ResultCode TMainForm::EncryptOneFile(const std::string& path, std::uint8_t algorithmCode,
                                     const transforms::KeyMaterial* key, std::size_t index, std::size_t count) {
  if (index == 0) SavedStatusText = ui_.StatusText();
  if (path.empty() || key == nullptr) return platform::ErrInternal;
  const auto reportFailure = [this](ResultCode code) {
    if (code == platform::ErrCancelled) {
      ui_.SetStatusText(SavedStatusText);
      ResetProgress();
      return code;
    }
    ui_.Error(platform::ErrorFormat(code));
    ui_.SetStatusText(SavedStatusText);
    return platform::ErrReported;
  };
  try {
    const BusyCursor busy(ui_);
    platform::Progress& progress = ui_.ProgressBar();
    const auto showStatus = [&](std::string_view status) {
      ui_.SetStatusText(messages::FormatCount(status, index + 1, count));
    };
    // Written under a temporary name beside the ".vlt" and renamed over it only
    // when complete: an older one survives every failure, and a link of that
    // name is replaced, never written through.
    const fs::path target = path + kEncryptedSuffix;
    ResultCode result = platform::Success;
    if (EncryptsInOnePass(algorithmCode, path)) {
      // The cores compress while this thread encrypts what they give: the
      // same bytes as the two steps below, without the temporary file.
      showStatus(messages::kCompressingStatus);
      result = platform::WriteStaged(target, [&](const fs::path& staging) {
        return CompressEncryptWith(algorithmCode, path, staging, *key, &progress,
                                   [&] { showStatus(messages::kEncryptingStatus); });
      });
    } else {
      ScratchFile packed;
      if (!packed.Exists()) return platform::ErrNoTempFile;
      showStatus(messages::kCompressingStatus);
      result = transforms::CompressFile(path, packed.Path(), &progress);
      if (result == platform::Success) {
        progress.setPosition(0);
        showStatus(messages::kEncryptingStatus);
        result = platform::WriteStaged(target, [&](const fs::path& staging) {
          return EncryptWith(algorithmCode, packed.Path(), staging, *key, &progress);
        });
      }
    }
    if (result != platform::Success) return reportFailure(result);

    ResetProgress();
    if (index + 1 == count) ui_.SetStatusText(SavedStatusText);
    return platform::Success;
  } catch (...) {
    ui_.SetStatusText(SavedStatusText);
    return platform::CurrentExceptionCode();
  }
}

}  // namespace voltare::app
