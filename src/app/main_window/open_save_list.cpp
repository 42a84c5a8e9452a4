// SPDX-License-Identifier: GPL-3.0-or-later
// Saved file lists (".vls"): the list's paths as an initialization file,
// compressed, then encrypted in the short-header list form, or, when the
// settings choose algorithm 3, sealed as an encrypted file of that text.
// Opening takes either.

#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "app/main_window/open_save_list.h"

#include "app/main_window/batch_messages.h"
#include "app/main_window/main_form.h"
#include "app/main_window/messages.h"
#include "app/main_window/sealed_key_status.h"
#include "app/shared/application.h"
#include "app/shared/scratch_file.h"
#include "app/shared/sealed_texts.h"
#include "common/locked_memory.h"
#include "common/secret_string.h"
#include "common/translate.h"
#include "crypto/burn.h"
#include "platform/file.h"
#include "platform/ini_file.h"
#include "platform/os_error.h"
#include "platform/staged_file.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"
#include "transforms/sealed_expand.h"
#include "transforms/sealed_key.h"
#include "transforms/vlt_format.h"
#include "transforms/xchacha_file.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kListSection = "KOVAVoltare";
constexpr std::string_view kMissingValue = "ERROR";

std::string EntryKey(std::size_t index) { return "File" + std::to_string(index); }

// The decrypted list text, read into locked memory: as a whole it never sits
// in ordinary memory, where it could reach the swap or a core dump.
common::SecretString ReadListText(const fs::path& path) {
  constexpr std::size_t kPiece = 4096;
  platform::File file(path, platform::File::Mode::Read);
  common::SecretString text;
  text.reserve(static_cast<std::size_t>(file.size()));
  const common::LockedBox<std::array<std::uint8_t, kPiece>> piece;
  while (const std::size_t got = file.read(*piece)) {
    text.append({reinterpret_cast<const char*>(piece->data()), got});
  }
  return text;
}

PasswordRequest ListPasswordRequest(std::string fileName, bool saving) {
  PasswordRequest request;
  request.fileName = std::move(fileName);
  request.newPassword = saving;
  return request;  // no algorithm, no length limit, bundle box and captions hidden
}

// The compatible list `path` decrypted and expanded into `expanded`, through `decrypted`.
[[nodiscard]] platform::ResultCode OpenCompatibleList(const fs::path& path, std::string_view password,
                                                      ScratchFile& decrypted, const ScratchFile& expanded,
                                                      platform::Progress& progress) {
  platform::ResultCode result = transforms::BlowfishDecryptFile(path, decrypted.Path(), password, &progress, true);
  if (result == platform::Success) result = transforms::DecompressFile(decrypted.Path(), expanded.Path(), &progress);
  decrypted.Delete();
  return result;
}

// The sealed list `path` opened and expanded into `expanded` in one pass.
[[nodiscard]] platform::ResultCode OpenSealedList(Interaction& ui, const fs::path& path, std::string_view password,
                                                  const ScratchFile& expanded, platform::Progress& progress) {
  transforms::SealedKeyRing ring;
  ShowKeyDerivations(ui, ring);
  std::optional<platform::File> output;
  const platform::ResultCode result = transforms::SealedDecryptExpandFile(
      path, ring, password, &progress,
      [&]() -> platform::File& { return output.emplace(expanded.Path(), platform::File::Mode::CreateTruncate); });
  if (output) output->close();
  return result;
}

// The list `path`, in whichever form, decrypted and expanded into `expanded`.
[[nodiscard]] platform::ResultCode OpenEitherList(Interaction& ui, const fs::path& path, std::string_view password,
                                                  ScratchFile& decrypted, const ScratchFile& expanded,
                                                  platform::Progress& progress) {
  if (!transforms::LooksSealed(path)) return OpenCompatibleList(path, password, decrypted, expanded, progress);
  const platform::ResultCode sealed = OpenSealedList(ui, path, password, expanded, progress);
  if (sealed != platform::ErrBadFile) return sealed;
  // A sealed header refused before any derivation may still be a compatible
  // list whose cipher text happens to begin that way; when it is not one
  // either, the refusal stands.
  const platform::ResultCode compatible = OpenCompatibleList(path, password, decrypted, expanded, progress);
  return compatible == platform::Success ? compatible : sealed;
}

}  // namespace

std::string SavedListText(const std::vector<std::string>& paths) {
  platform::IniFile list;
  for (std::size_t k = 0; k < paths.size(); ++k) list.setValue(kListSection, EntryKey(k), paths[k]);
  return list.text();
}

std::vector<std::string> SavedListPaths(std::string_view text) {
  const platform::IniFile list = platform::IniFile::Parse(text);
  const std::size_t count = list.keyNames(kListSection).size();
  std::vector<std::string> paths;
  paths.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    paths.push_back(list.value(kListSection, EntryKey(k)).value_or(std::string(kMissingValue)));
  }
  return paths;
}

bool TMainForm::AddListedFiles(const fs::path& listText) {
  const std::vector<std::string> paths = SavedListPaths(ReadListText(listText));
  bool anyMissing = false;
  ui_.ProgressBar().setPosition(0);  // from the expansion's bytes to the list's entries
  for (const std::string& file : paths) {
    if (StopAsked()) break;  // what was added stays; the rest is not looked at
    if (platform::FileExists(file)) {
      AddFileToList(file, static_cast<std::int64_t>(paths.size()));
    } else {
      anyMissing = true;
    }
  }
  return anyMissing;
}

[[nodiscard]] platform::ResultCode TMainForm::LoadListFile(const fs::path& path) {
  if (!platform::FileExists(path)) return platform::ErrNoSuchFile;
  // Without the magic it is no list at all: asking for a password, then
  // calling it the wrong one, would send the user looking for another. (A
  // file shorter than the magic is reported as damaged, after the prompt.)
  std::error_code sizeError;
  const std::uintmax_t size = fs::file_size(path, sizeError);
  if (!sizeError && size >= transforms::kMagicSize && !transforms::IsVltFile(path)) {
    ui_.Error(messages::FormatName(messages::kNotASavedList, path.string()));
    return platform::ErrReported;
  }
  BusyCursor busy(ui_);
  const PasswordReply reply = AskPassword(ListPasswordRequest(path.filename().string(), false));
  // Cancel ends here: nothing is read under an empty password.
  if (reply.password.empty()) return platform::ErrReported;

  ScratchFile decrypted, expanded;
  if (!decrypted.Exists() || !expanded.Exists()) {
    ShowResult(platform::ErrNoTempFile, FileAction::OpenList, path);
    return platform::ErrReported;
  }

  platform::Progress& progress = ui_.ProgressBar();
  const platform::ResultCode result = OpenEitherList(ui_, path, reply.password, decrypted, expanded, progress);
  if (result != platform::Success) {
    // Nothing of a list that fails is added: the expanded text goes unread.
    progress.setPosition(0);
    ShowResult(result, FileAction::OpenList, path);
    return platform::ErrReported;
  }

  bool anyMissing = false;
  try {
    anyMissing = AddListedFiles(expanded.Path());
  } catch (const std::exception& failure) {
    progress.setPosition(0);
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return platform::ErrReported;
  }
  expanded.Delete();
  ResetProgress();
  ListViewSelectItem();

  if (anyMissing) ui_.Error(messages::kMissingListFiles);
  Head.caption = " " + path.string() + ":";
  return platform::Success;
}

[[nodiscard]] platform::ResultCode TMainForm::SaveListFile(const fs::path& path) {
  BusyCursor busy(ui_);
  const std::optional<bool> sealed = TextsAreSealed(ui_, app_.Overrides);
  if (!sealed) return platform::ErrReported;
  const PasswordReply reply = AskPassword(ListPasswordRequest({}, true));
  // Cancel ends here: a list is never saved under an empty password.
  if (reply.password.empty()) return platform::ErrReported;

  ScratchFile plain, compressed;
  if (!plain.Exists() || !compressed.Exists()) {
    ShowResult(platform::ErrNoTempFile, FileAction::SaveList, path);
    return platform::ErrReported;
  }

  platform::Progress& progress = ui_.ProgressBar();
  try {
    std::vector<std::string> paths;
    for (const ListItem& item : ListView.Items()) paths.push_back(item.fileName);
    // Written into the temporary file itself, which stays marked as in use.
    std::string text = SavedListText(paths);
    const crypto::BurnOnExit burnText(text);
    platform::File file(plain.Path(), platform::File::Mode::CreateTruncate);
    file.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    file.close();
  } catch (const std::exception& failure) {
    progress.setPosition(0);
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return platform::ErrReported;
  }

  // Staged beside the list and renamed over it only when complete: a failed
  // save keeps the old list.
  platform::ResultCode result = platform::Success;
  if (*sealed) {
    transforms::SealedKeyRing ring;
    ShowKeyDerivations(ui_, ring);
    result = platform::WriteStaged(path, [&](platform::File& staging) {
      return transforms::XChaChaCompressEncryptFile(plain.Path(), staging, ring.ForEncryption(reply.password),
                                                    &progress, {});
    });
  } else {
    result = transforms::CompressFile(plain.Path(), compressed.Path(), &progress);
    if (result == platform::Success) {
      plain.Delete();
      result = platform::WriteStaged(path, [&](platform::File& staging) {
        return transforms::BlowfishEncryptFile(compressed.Path(), staging, reply.password, &progress, true);
      });
    }
  }
  plain.Delete();
  if (result != platform::Success) {
    progress.setPosition(0);
    ShowResult(result, FileAction::SaveList, path);
    return platform::ErrReported;
  }
  compressed.Delete();
  ResetProgress();
  Head.caption = " " + path.string() + ":";
  return platform::Success;
}

}  // namespace voltare::app
