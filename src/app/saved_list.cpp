// Saved file lists (".vls"): the list's paths as an initialization file,
// compressed, then encrypted in the short-header list form.

#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "app/main_form.h"
#include "app/messages.h"
#include "app/scratch_file.h"
#include "common/locked_memory.h"
#include "common/secret_string.h"
#include "crypto/burn.h"
#include "platform/file.h"
#include "platform/ini_file.h"
#include "platform/os_error.h"
#include "platform/staged_file.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

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

}  // namespace

bool TMainForm::AddListedFiles(const fs::path& listText) {
  // Read once, then looked up the way single reads would see it: the key
  // names through their list buffer, each value through its value buffer.
  const platform::IniFile list = platform::IniFile::Parse(ReadListText(listText));
  const std::vector<std::string> keys =
      platform::ListThroughBuffer(list.keyNames(kListSection), platform::kProfileListBufferSize);
  bool anyMissing = false;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::optional<std::string> value = list.value(kListSection, EntryKey(k));
    const std::string file =
        value ? platform::CutToBuffer(*value, platform::kProfileValueBufferSize) : std::string(kMissingValue);
    if (platform::FileExists(file)) {
      AddFileToList(file, static_cast<std::int64_t>(keys.size()));
    } else {
      anyMissing = true;
    }
  }
  return anyMissing;
}

platform::ResultCode TMainForm::LoadListFile(const fs::path& path) {
  if (!platform::FileExists(path)) return platform::ErrNoSuchFile;
  BusyCursor busy(ui_);
  const PasswordReply reply = AskPassword(ListPasswordRequest(path.filename().string(), false));
  // Cancel ends here: nothing is read under an empty password.
  if (reply.password.empty()) return platform::ErrReported;

  ScratchFile decrypted, expanded;
  if (!decrypted.Exists() || !expanded.Exists()) return platform::ErrNoTempFile;

  platform::Progress& progress = ui_.ProgressBar();
  platform::ResultCode result =
      transforms::BlowfishDecryptFile(path, decrypted.Path(), reply.password, &progress, true);
  if (result == platform::Success) result = transforms::DecompressFile(decrypted.Path(), expanded.Path(), &progress);
  if (result != platform::Success) {
    progress.setPosition(0);
    ShowResult(result);
    return platform::ErrReported;
  }
  decrypted.Delete();

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

platform::ResultCode TMainForm::SaveListFile(const fs::path& path) {
  BusyCursor busy(ui_);
  const PasswordReply reply = AskPassword(ListPasswordRequest({}, true));
  // Cancel ends here: a list is never saved under an empty password.
  if (reply.password.empty()) return platform::ErrReported;

  ScratchFile plain, compressed;
  if (!plain.Exists() || !compressed.Exists()) return platform::ErrNoTempFile;

  platform::Progress& progress = ui_.ProgressBar();
  try {
    platform::IniFile list;
    for (std::size_t k = 0; k < ListView.Count(); ++k) {
      list.setValue(kListSection, EntryKey(k), ListView.Items()[k].fileName);
    }
    // Written into the temporary file itself, which stays marked as in use.
    std::string text = list.text();
    const crypto::BurnOnExit burnText(text);
    platform::File file(plain.Path(), platform::File::Mode::CreateTruncate);
    file.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    file.close();
  } catch (const std::exception& failure) {
    progress.setPosition(0);
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return platform::ErrReported;
  }

  platform::ResultCode result = transforms::CompressFile(plain.Path(), compressed.Path(), &progress);
  if (result == platform::Success) {
    plain.Delete();
    // Staged beside the list and renamed over it only when complete: a failed
    // save keeps the old list.
    result = platform::WriteStaged(path, [&](const fs::path& staging) {
      return transforms::BlowfishEncryptFile(compressed.Path(), staging, reply.password, &progress, true);
    });
  }
  if (result != platform::Success) {
    progress.setPosition(0);
    ShowResult(result);
    return platform::ErrReported;
  }
  compressed.Delete();
  ResetProgress();
  Head.caption = " " + path.string() + ":";
  return platform::Success;
}

}  // namespace voltare::app
