// SPDX-License-Identifier: GPL-3.0-or-later
// "&Encrypt File(s)": every selected entry of the list is compressed into a
// temporary file and that is encrypted into the entry's path with ".vlt"
// appended; optionally the results are packed into one archive and the
// sources wiped, each only once its encrypted file has been read back.

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window/algorithm_table.h"
#include "app/main_window/batch_messages.h"
#include "app/main_window/bundle_members.h"
#include "app/main_window/main_form.h"
#include "app/main_window/messages.h"
#include "app/main_window/replaced_output.h"
#include "app/main_window/sealed_key_status.h"
#include "app/main_window/source_messages.h"
#include "app/main_window/verified_sources.h"
#include "app/main_window/wipe_checks.h"
#include "app/shared/application.h"
#include "app/shared/run_overrides.h"
#include "app/shared/scratch_file.h"
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
#include "transforms/file_io.h"
#include "transforms/key_material.h"
#include "transforms/parallel_deflate.h"
#include "transforms/verify.h"
#include "transforms/xchacha_file.h"

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
      ui.Error(messages::WithSettingsPath(messages::kSettingsFileError));
      return std::nullopt;
    }
    BatchSettings settings;
    settings.algorithmText = ReadSettingText(*key, "Algorithm", overrides);
    const int algorithm = platform::ParseInteger(settings.algorithmText);
    settings.wipe = ReadSettingInteger(*key, "Wipe", overrides);
    if (algorithm > 3 || settings.wipe > 1) return std::nullopt;
    return settings;
  } catch (const std::exception&) {
    ui.Error(messages::SettingsFailureText());
  }
  return std::nullopt;
}

PasswordRequest EncryptionPasswordRequest(const std::string& firstSelected, const AlgorithmEntry* algorithm,
                                          bool firstFile) {
  PasswordRequest request;
  request.fileName = fs::path(firstSelected).filename().string();
  if (algorithm != nullptr) request.algorithmCaption = std::string(algorithm->caption);
  // The setting's digit is the algorithm's number (an unknown setting is
  // refused before any file is written, so the meter's guess is moot then).
  request.protectionAlgorithm = algorithm != nullptr ? algorithm->setting.front() - '0' : 0;
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
      !ui.Ask(MessageKind::Warning, messages::FormatName(messages::kReplaceArchive, archive.string()),
              EnterAnswers::No)) {
    return std::nullopt;
  }
  return archive;
}

[[nodiscard]] ResultCode EncryptWith(std::uint8_t algorithmCode, const fs::path& source,
                                     const transforms::Destination& destination, const transforms::KeyMaterial& key,
                                     platform::Progress* progress) {
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
    case kXChaChaCode:
      return transforms::XChaChaEncryptFile(source, destination, key.sealedKeys->ForEncryption(key.password), progress);
    default:
      return platform::ErrInternal;
  }
}

// A sealed file, and a large file with a stream algorithm, is compressed and
// encrypted in one pass (see CompressEncryptWith); everything else in two,
// through a temporary file.
bool EncryptsInOnePass(std::uint8_t algorithmCode, const std::string& path) {
  if (algorithmCode == kXChaChaCode) return true;  // its zstd frame has no two-step form
  if (algorithmCode == kDesCode) return false;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  return !error && transforms::DeflatesInParallel(size);
}

[[nodiscard]] ResultCode CompressEncryptWith(std::uint8_t algorithmCode, const fs::path& source,
                                             const transforms::Destination& destination,
                                             const transforms::KeyMaterial& key, platform::Progress* progress,
                                             const std::function<void()>& compressed) {
  if (algorithmCode == kBlowfishCode) {
    return transforms::BlowfishCompressEncryptFile(source, destination, key.password, progress, compressed);
  }
  if (algorithmCode == kXChaChaCode) {
    return transforms::XChaChaCompressEncryptFile(source, destination, key.sealedKeys->ForEncryption(key.password),
                                                  progress, compressed);
  }
  return transforms::Cast5CompressEncryptFile(source, destination, key.password, progress, compressed);
}

// Where the batch's encrypted files are read back from, in batch order: each
// source's ".vlt" next to it, or the entries of the new archive, read where
// they lie. Each source, and its ".vlt", is read through what `held` holds
// of it.
class EncryptedCopies {
 public:
  // `memberNames`: each source's name in the archive.
  EncryptedCopies(const fs::path* archive, const std::map<std::string, std::string>& memberNames)
      : archive_(archive), memberNames_(memberNames) {}

  const fs::path* Archive() const noexcept { return archive_; }

  // Reads the next source's encrypted file back against the source.
  [[nodiscard]] ResultCode Verify(const std::string& source, const VerifiedSources& held,
                                  const transforms::KeyMaterial& key, platform::Progress& progress) {
    if (IsStreamSource(source)) return PassOverStream();
    try {
      std::optional<platform::File> original = held.SourceView(source);
      if (archive_ == nullptr) return VerifyOwnCopy(source, held.CopyView(source), original, key, progress);
      if (damaged_) return platform::ErrBadFile;
      return VerifyMember(source, original, key, progress);
    } catch (...) {
      return platform::CurrentExceptionCode();
    }
  }

 private:
  // A source that could not be held is read by its name (it is not wiped).
  [[nodiscard]] static ResultCode Compare(crypto::ByteSource& encrypted, const std::string& source,
                                          std::optional<platform::File>& original, const transforms::KeyMaterial& key,
                                          platform::Progress& progress) {
    return original ? transforms::VerifyEncryptedFile(encrypted, *original, key, &progress)
                    : transforms::VerifyEncryptedFile(encrypted, source, key, &progress);
  }

  // A ".vlt" that could not be held open is no copy to rely on.
  [[nodiscard]] static ResultCode VerifyOwnCopy(const std::string& source, std::optional<platform::File> copy,
                                                std::optional<platform::File>& original,
                                                const transforms::KeyMaterial& key, platform::Progress& progress) {
    if (!copy) return platform::ErrNoSuchFile;
    transforms::FileByteSource encrypted(*copy);
    return Compare(encrypted, source, original, key, progress);
  }

  [[nodiscard]] ResultCode VerifyMember(const std::string& source, std::optional<platform::File>& original,
                                        const transforms::KeyMaterial& key, platform::Progress& progress) {
    try {
      if (!reader_) reader_.emplace(*archive_);
      const auto name = memberNames_.find(source);
      if (!reader_->NextEntry() || name == memberNames_.end() || reader_->name() != name->second) {
        return platform::ErrBadFile;
      }
      return Compare(reader_->DataSource(), source, original, key, progress);
    } catch (...) {
      // The entries after one that cannot be read cannot be found either.
      damaged_ = true;
      return platform::CurrentExceptionCode();
    }
  }

  // A pipe was read once and is gone: there is nothing to compare, and
  // nothing on disk to wipe (WipeTargets leaves it out). Its member is passed.
  [[nodiscard]] ResultCode PassOverStream() {
    if (archive_ == nullptr) return platform::Success;
    try {
      if (!reader_) reader_.emplace(*archive_);
      return reader_->NextEntry() ? platform::Success : platform::ErrBadFile;
    } catch (...) {
      damaged_ = true;
      return platform::CurrentExceptionCode();
    }
  }

  const fs::path* archive_;
  const std::map<std::string, std::string>& memberNames_;
  std::optional<archive::ArchiveReader> reader_;
  bool damaged_ = false;
};

// The file a source's encrypted copy lies in: its ".vlt", or the archive.
fs::path CopyHolding(const std::string& source, const fs::path* archive) {
  return archive != nullptr ? *archive : fs::path(source + kEncryptedSuffix);
}

// The sources from `first` up to `last` of a batch (keys[i] is what
// sources[i] was encrypted with), each held with its copy by `held` and read
// back through them: proof, before a source is wiped, that its encrypted file
// decrypts back to it. A source whose file does not, or that changed while it
// was read, is reported and left out of the result: it must not be wiped.
// Nothing when the user stopped the read-back: then none of them may be
// wiped.
std::optional<std::vector<std::string>> VerifyEncryptedCopies(
    Interaction& ui, const std::vector<std::string>& sources, std::size_t first, std::size_t last,
    const std::vector<std::shared_ptr<const transforms::KeyMaterial>>& keys, EncryptedCopies& copies,
    VerifiedSources& held, std::string& fileAtWork) {
  const BusyCursor busy(ui);
  const std::string savedStatus = ui.StatusText();
  platform::Progress& progress = ui.ProgressBar();
  std::optional<std::vector<std::string>> verified(std::in_place);
  for (std::size_t i = first; i < last; ++i) {
    ui.SetStatusText(messages::FormatCount(messages::kVerifyingStatus, i + 1, sources.size()));
    fileAtWork = sources[i];
    const bool onDisk = !IsStreamSource(sources[i]);
    if (onDisk) held.HoldBeforeReadBack(sources[i], CopyHolding(sources[i], copies.Archive()));
    const ResultCode result =
        progress.cancelRequested() ? platform::ErrCancelled : copies.Verify(sources[i], held, *keys[i], progress);
    if (result == platform::ErrCancelled) {
      verified.reset();
      ui.SetStatusText(messages::FormatName(messages::kStoppedReadBack, sources[i]));
      break;
    }
    if (result == platform::Success && (!onDisk || held.ConfirmAfterReadBack(sources[i]))) {
      verified->push_back(sources[i]);
    } else {
      ui.Error(messages::FormatName(messages::kNotVerified, sources[i]));
    }
  }
  if (verified) ui.SetStatusText(savedStatus);
  progress.setPosition(0);
  progress.repaint();
  return verified;
}

// The batch's sources less any name of the archive just written: a wipe
// must never take the batch's only encrypted copy with it.
std::vector<std::string> WipeTargets(Interaction& ui, std::vector<std::string> sources, const fs::path* archive) {
  std::erase_if(sources, [&ui](const std::string& source) {
    if (!IsStreamSource(source)) return false;
    ui.Warning(messages::FormatName(messages::kStreamNotWiped, source));
    return true;
  });
  if (archive == nullptr) return sources;
  const PathSet written({archive->string()});
  std::erase_if(sources, [&written](const std::string& source) { return written.Find(source).has_value(); });
  return sources;
}

// Encrypting X writes X.vlt beside it (bundling then packs it and removes
// it): an older X.vlt there, a copy under another password say, would be gone
// without a word. True when there is none, or the user lets it go.
bool MayReplaceOlderCopy(Interaction& ui, const std::string& encryptedPath, bool bundle) {
  if (!OutputNameTaken(encryptedPath)) return true;
  const std::string_view question = bundle ? messages::kBundleReplacesEncryptedFile : messages::kReplaceEncrypted;
  return ui.Ask(MessageKind::Warning, messages::FormatName(question, encryptedPath), EnterAnswers::No);
}

// Packs the batch's ".vlt" files into the archive, each under its name in
// `memberNames`. On failure the error is shown and the members stay where
// they are.
bool BundleBatch(Interaction& ui, const std::vector<std::string>& workList, const fs::path& archiveName,
                 const std::map<std::string, std::string>& memberNames, const std::string& savedStatus,
                 std::string& fileAtWork) {
  std::vector<archive::NamedSource> sources;
  for (const std::string& source : workList) sources.push_back({source, memberNames.at(source)});
  const archive::StatusLine status{[&ui] { return ui.StatusText(); },
                                   [&ui](const std::string& text) { ui.SetStatusText(text); },
                                   [&workList, &fileAtWork](std::size_t i) { fileAtWork = workList[i]; }};
  ResultCode result = platform::Success;
  {
    const BusyCursor busy(ui);
    result = archive::BundleNamedFiles(sources, archiveName, &ui.ProgressBar(), status);
  }
  if (result == platform::Success) return true;
  if (result != platform::ErrCancelled) ui.FileFailed({FileAction::Bundle, archiveName.string(), result});
  ui.SetStatusText(result == platform::ErrCancelled ? messages::FormatName(messages::kStoppedBundling, fileAtWork)
                                                    : savedStatus);
  ui.ProgressBar().setPosition(0);
  ui.ProgressBar().repaint();
  return false;
}

// One file of a batch as the steps of its encryption see it.
struct FileToEncrypt {
  const std::string& path;
  std::uint8_t algorithmCode;
  const transforms::KeyMaterial& key;
  std::size_t index;  // 0-based, and the batch's count, for the status texts
  std::size_t count;

  void ShowStatus(Interaction& ui, std::string_view status) const {
    ui.SetStatusText(messages::FormatCount(status, index + 1, count));
  }
};

// Both ways to the ".vlt" write it under a temporary name beside it and
// rename it over the old one only when complete: an older one survives every
// failure, and a link of that name is replaced, never written through.

// The cores compress while this thread encrypts what they give: the same
// bytes as the two steps of CompressThenEncrypt, without the temporary file.
[[nodiscard]] ResultCode CompressEncryptInOnePass(Interaction& ui, const FileToEncrypt& file) {
  file.ShowStatus(ui, messages::kCompressingStatus);
  return platform::WriteStaged(file.path + kEncryptedSuffix, [&](platform::File& staging) {
    return CompressEncryptWith(file.algorithmCode, file.path, staging, file.key, &ui.ProgressBar(),
                               [&] { file.ShowStatus(ui, messages::kEncryptingStatus); });
  });
}

[[nodiscard]] ResultCode CompressThenEncrypt(Interaction& ui, const FileToEncrypt& file, const fs::path& packed) {
  platform::Progress& progress = ui.ProgressBar();
  file.ShowStatus(ui, messages::kCompressingStatus);
  const ResultCode result = transforms::CompressFile(file.path, packed, &progress);
  if (result != platform::Success) return result;
  progress.setPosition(0);
  file.ShowStatus(ui, messages::kEncryptingStatus);
  return platform::WriteStaged(file.path + kEncryptedSuffix, [&](platform::File& staging) {
    return EncryptWith(file.algorithmCode, packed, staging, file.key, &progress);
  });
}

// A failed step of one file: the status line and the bar put back; the
// batch reports the failure, since it alone knows whether it goes on.
[[nodiscard]] ResultCode EndFailedStep(Interaction& ui, ResultCode code, const std::string& savedStatus) {
  ui.SetStatusText(savedStatus);
  ui.ProgressBar().setPosition(0);
  ui.ProgressBar().repaint();
  return code;
}

void ResetProgress(Interaction& ui) {
  ui.ProgressBar().setPosition(0);
  ui.ProgressBar().repaint();
}

// The encryption command from its first prompt to its last message, phase
// by phase, with what the phases hand on to each other.
class EncryptionCommand {
 public:
  EncryptionCommand(TMainForm& form, Interaction& ui, const RunOverrides& overrides, RunningBatch& batch)
      : form_(form), ui_(ui), overrides_(overrides), batch_(batch) {}

  // Ask → encrypt each file → bundle → read back → wipe → report.
  bool Run() {
    // Counted once: the selection stays as it is while the batch runs.
    const std::size_t count = form_.ListView.SelectedCount();
    for (std::size_t i = 0; i < count; ++i) {
      if (!EncryptNextFile(i)) return false;
    }
    // Nothing was encrypted when every file was skipped, each with its
    // message. Sources are wiped only once their encrypted form is safely
    // stored and reads back.
    if (encrypted_.empty() || StopAsked() ||
        (bundle_ &&
         !BundleBatch(ui_, encrypted_, archiveName_, memberNames_, batch_.SavedStatusText, form_.FileAtWork))) {
      ResetProgress(ui_);
      return false;
    }
    if (settings_.wipe == 0) return Report(true);
    // Asked before the read-back: what is wiped is what was read back, not
    // what the files became while the question waited.
    const std::vector<std::string> targets = WipeTargets(ui_, encrypted_, Archive());
    std::optional<WipeMethod> method;
    if (!targets.empty()) {
      bool declined = false;
      method = form_.AskToWipe(targets, declined);
      if (!method) {
        TakeOffList(encrypted_);
        return Report(declined);
      }
    }
    return ReadBackAndWipe(targets, method);
  }

 private:
  // Each source is held open, with its copy, from its read-back to its wipe
  // (VerifiedSources). Holding a whole batch would run out of descriptors
  // (four a source: it, its copy and their folders), so the batch is read
  // back and wiped in turns of at most this many sources; the question was
  // asked once, before the first turn. A stop ends the batch where it is.
  static constexpr std::size_t kHeldAtOnce = 64;

  // Read back → wipe, turn by turn → report. `method` is empty when nothing
  // is to be wiped.
  bool ReadBackAndWipe(const std::vector<std::string>& targets, const std::optional<WipeMethod>& method) {
    const std::vector<std::size_t> targetsFrom = TargetsFrom(targets);
    EncryptedCopies copies(Archive(), memberNames_);
    WipeTurn turn;
    std::vector<std::string> done;
    for (std::size_t first = 0; first < encrypted_.size() && !turn.stopped; first += kHeldAtOnce) {
      const std::size_t last = std::min(encrypted_.size(), first + kHeldAtOnce);
      VerifiedSources held;
      const std::optional<std::vector<std::string>> verified =
          VerifyEncryptedCopies(ui_, encrypted_, first, last, keys_, copies, held, form_.FileAtWork);
      if (!verified) {
        // Stopped: the encrypted files stay, and so does every source not
        // wiped by an earlier turn.
        if (!done.empty()) TakeOffList(done);
        ResetProgress(ui_);
        return false;
      }
      done.insert(done.end(), verified->begin(), verified->end());
      turn.last = last == encrypted_.size();
      if (method) WipeVerifiedSources(targets, *verified, *method, held, turn, targetsFrom[last]);
    }
    // A source that could not be wiped (another name, a failed removal, a
    // change since its read-back) was reported; the batch then ends without
    // its success message.
    TakeOffList(done);
    return Report(!turn.skipped && !turn.stopped && done.size() == encrypted_.size());
  }

  // Entry i: how many wipe targets lie at or after encrypted_[i]. Targets
  // keep the batch's order, so one walk finds them.
  std::vector<std::size_t> TargetsFrom(const std::vector<std::string>& targets) const {
    std::vector<bool> isTarget(encrypted_.size(), false);
    for (std::size_t i = 0, t = 0; i < encrypted_.size() && t < targets.size(); ++i) {
      if (encrypted_[i] != targets[t]) continue;
      isTarget[i] = true;
      ++t;
    }
    std::vector<std::size_t> from(encrypted_.size() + 1, 0);
    for (std::size_t i = encrypted_.size(); i > 0; --i) from[i - 1] = from[i] + (isTarget[i - 1] ? 1 : 0);
    return from;
  }

  bool StopAsked() const { return ui_.ProgressBar().cancelRequested(); }
  const fs::path* Archive() const { return bundle_ ? &archiveName_ : nullptr; }

  // One turn of the batch: the password when one is due, the archive's name
  // and the work list at the first file, then the file itself. False when
  // the batch ends here.
  bool EncryptNextFile(std::size_t index) {
    // A stop asked for at the end of a file's last piece ends the batch here.
    if (StopAsked()) {
      ResetProgress(ui_);
      return false;
    }
    if (!samePassword_ && !AskPassword(index == 0)) return false;
    if (index == 0 && !StartWorkList()) return false;
    if (!EncryptOrSkip(index)) return false;
    if (index == 0 && workList_.size() > 1) {
      samePassword_ = ui_.Ask(MessageKind::Confirmation, messages::kSamePassword);
    }
    return true;
  }

  // The settings are read again before each prompt: the algorithm named
  // there is the one the prompt shows and the files get.
  bool AskPassword(bool firstFile) {
    const std::optional<BatchSettings> read = ReadBatchSettings(ui_, overrides_);
    if (!read) return false;
    settings_ = *read;
    const AlgorithmEntry* algorithm = FindAlgorithm(settings_.algorithmText);
    algorithmCode_ = algorithm != nullptr ? algorithm->code : 0;
    const std::string named = workList_.empty() ? form_.ListView.SelectedFileNames().front() : workList_.front();
    PasswordReply reply = form_.AskPassword(EncryptionPasswordRequest(named, algorithm, firstFile));
    batch_.Password = std::move(reply.password);
    batch_.Bundle = reply.bundle;
    if (batch_.Password.empty() || algorithmCode_ == 0) return false;
    if (firstFile) bundle_ = batch_.Bundle;
    key_ = std::make_shared<const transforms::KeyMaterial>(batch_.Password, batch_.SealedKeys);
    ShowKeyDerivations(ui_, *key_->sealedKeys);
    return true;
  }

  bool StartWorkList() {
    if (bundle_) {
      if (!MembersFitArchive(ui_, form_.ListView.SelectedFileNames())) return false;
      std::optional<std::vector<std::string>> names =
          ArchiveMemberNames(ui_, form_.ListView.SelectedFileNames(), form_.ListView.SelectedRoots());
      if (!names) return false;
      const std::vector<std::string> sources = form_.ListView.SelectedFileNames();
      for (std::size_t i = 0; i < sources.size(); ++i) memberNames_.emplace(sources[i], std::move((*names)[i]));
      std::optional<fs::path> chosen = ChooseArchiveName(ui_, form_.ListView.SelectedFileNames());
      if (!chosen) return false;
      archiveName_ = std::move(*chosen);
    }
    workList_ = form_.ListView.SelectedFileNames();
    batchFiles_.emplace(workList_);
    return true;
  }

  // Encrypts the work list's file at `index`, or skips it with its message.
  // False when the batch ends (the failure shown).
  bool EncryptOrSkip(std::size_t index) {
    const std::string& path = workList_[index];
    const std::string encryptedPath = path + kEncryptedSuffix;
    // Writing X.vlt over another file of the batch, still to be read or to
    // be wiped, would lose it.
    if (const auto inTheWay = batchFiles_->Find(encryptedPath)) {
      if (index == 0) batch_.SavedStatusText = ui_.StatusText();
      ui_.Error(messages::FormatNames(messages::kOutputIsBatchFile, {path, workList_[*inTheWay]}));
      ui_.SetStatusText(batch_.SavedStatusText);
      return true;
    }
    // No: the older encrypted file stays as it is, and this file is neither
    // encrypted, packed nor wiped.
    if (!MayReplaceOlderCopy(ui_, encryptedPath, bundle_)) return true;
    const ResultCode result = form_.EncryptOneFile(path, algorithmCode_, key_.get(), index, workList_.size());
    if (result != platform::Success) return ReportFailure(index, result);
    encrypted_.push_back(path);
    if (bundle_) members_.Add(encryptedPath);
    keys_.push_back(key_);
    batch_.PieceDone();
    return true;
  }

  // The file at `index` failed. A fault of the file alone skips it (it
  // stays in the list, unencrypted); a full or read-only destination, or a
  // fault the program cannot place, ends the batch, naming the files it
  // never reached. A step the user stopped is no failure. False when the
  // batch ends.
  bool ReportFailure(std::size_t index, ResultCode result) {
    if (result == platform::ErrCancelled) {
      ui_.SetStatusText(messages::FormatName(messages::kStoppedEncrypting, workList_[index]));
      return false;
    }
    failed_ = true;
    ui_.FileFailed({FileAction::Encrypt, workList_[index], result});
    if (ScopeOf(result) == FailureScope::File) return true;
    ui_.BatchStopped({workList_.begin() + static_cast<std::ptrdiff_t>(index) + 1, workList_.end()});
    ResetProgress(ui_);
    return false;
  }

  // Wipes the targets whose encrypted files read back, each through what
  // `held` holds of it and only while it and its copy are still the files
  // that were read. `laterTargets` is the count of targets of later turns.
  void WipeVerifiedSources(const std::vector<std::string>& targets, const std::vector<std::string>& verified,
                           const WipeMethod& method, VerifiedSources& held, WipeTurn& turn, std::size_t laterTargets) {
    const std::set<std::string> readBack(verified.begin(), verified.end());
    std::vector<std::string> wiped;
    std::ranges::copy_if(targets, std::back_inserter(wiped),
                         [&readBack](const std::string& path) { return readBack.contains(path); });
    turn.total = turn.before + wiped.size() + laterTargets;
    if (!wiped.empty()) {
      form_.WipeAgreedFiles(
          wiped, method, [&held](const std::string& path) { return held.TakeForWipe(path); }, &turn);
    }
    turn.before += wiped.size();
  }

  // Skipped files, and those whose encrypted file did not read back, stay in
  // the list; `done` leave it.
  // Every selected entry is of the work list, so the rest end unselected.
  void TakeOffList(const std::vector<std::string>& done) {
    form_.ListView.Remove({done.begin(), done.end()});
    form_.ListView.SetAllSelected(false);
    form_.ListViewSelectItem();
  }

  bool Report(bool allVerified) {
    ResetProgress(ui_);
    if (!allVerified || failed_ || std::exchange(form_.SourcesLeftOut, 0) != 0) return false;
    ui_.Information(messages::kEncrypted);
    return true;
  }

  TMainForm& form_;
  Interaction& ui_;
  const RunOverrides& overrides_;
  RunningBatch& batch_;

  BatchSettings settings_;
  std::uint8_t algorithmCode_ = 0;
  // The key of the last password prompt.
  std::shared_ptr<const transforms::KeyMaterial> key_;
  bool samePassword_ = false;
  bool failed_ = false;  // a file was skipped for a failure: no success message
  // Chosen at the first prompt, for the whole batch: later prompts do not
  // offer the box, and their replies must not drop the archive asked for.
  bool bundle_ = false;
  fs::path archiveName_;
  std::map<std::string, std::string> memberNames_;  // each source's name in the archive
  std::vector<std::string> workList_;
  std::optional<PathSet> batchFiles_;
  BundleMembers members_;  // a bundle that fails leaves none of them behind
  // The files that got their encrypted form; a skipped file is neither
  // packed nor wiped. With each, the key it was encrypted with, kept for the
  // read-back before wiping.
  std::vector<std::string> encrypted_;
  std::vector<std::shared_ptr<const transforms::KeyMaterial>> keys_;
};

}  // namespace

void TMainForm::EncryptFiles1Click() { EncryptSelectedFiles(); }

bool TMainForm::EncryptSelectedFiles() {
  if (ListView.SelectedCount() == 0) return false;
  const RunningBatch::Scope batch = JoinBatch();
  return EncryptionCommand(*this, ui_, app_.Overrides, *batch).Run();
}

[[nodiscard]] ResultCode TMainForm::EncryptOneFile(const std::string& path, std::uint8_t algorithmCode,
                                                   const transforms::KeyMaterial* key, std::size_t index,
                                                   std::size_t count) {
  const RunningBatch::Scope batch = JoinBatch();
  if (index == 0) batch->SavedStatusText = ui_.StatusText();
  if (path.empty() || key == nullptr) return platform::ErrInternal;
  FileAtWork = path;
  try {
    const BusyCursor busy(ui_);
    const FileToEncrypt file{path, algorithmCode, *key, index, count};
    ResultCode result = platform::Success;
    if (EncryptsInOnePass(algorithmCode, path)) {
      result = CompressEncryptInOnePass(ui_, file);
    } else {
      ScratchFile packed;
      if (!packed.Exists()) return platform::ErrNoTempFile;
      result = CompressThenEncrypt(ui_, file, packed.Path());
    }
    if (result != platform::Success) return EndFailedStep(ui_, result, batch->SavedStatusText);

    ResetProgress();
    if (index + 1 == count) ui_.SetStatusText(batch->SavedStatusText);
    return platform::Success;
  } catch (...) {
    ui_.SetStatusText(batch->SavedStatusText);
    return platform::CurrentExceptionCode();
  }
}

}  // namespace voltare::app
