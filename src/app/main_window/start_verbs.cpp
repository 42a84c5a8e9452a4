// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/start_verbs.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"
#include "app/shared/application.h"
#include "platform/result_codes.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool IsEncryptedName(std::string_view path) { return EndsWith(path, ".vlt") || EndsWith(path, ".plx"); }
bool IsListName(std::string_view path) { return EndsWith(path, ".vls"); }

// The paths that exist, made absolute; each missing one is reported.
std::vector<std::string> ExistingPaths(TMainForm& form, Interaction& ui, std::span<const std::string> files) {
  std::vector<std::string> found;
  for (const std::string& file : files) {
    const fs::path path = form.FromStartDirectory(file);
    std::error_code error;
    if (fs::exists(path, error)) {
      found.push_back(path.string());
    } else if (!error || error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
      ui.Error(messages::FormatName(messages::kNoSuchFile, path.string()));
    } else {
      // Not "missing": a folder on the way may not be searched. Say why.
      ui.FileFailed({FileAction::Take, path.string(), error.value()});
    }
  }
  return found;
}

// Folders replaced by the files a drop of them adds, in the same order.
// `keep` filters what a folder brings; named files are always kept.
template <typename Keep>
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths, Keep keep) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> inside;
    ListDirectoryFiles(path, inside);
    std::ranges::copy_if(inside, std::back_inserter(files), keep);
  }
  return files;
}

std::vector<std::string> WithoutLists(const std::vector<std::string>& files) {
  std::vector<std::string> kept;
  std::ranges::copy_if(files, std::back_inserter(kept), [](const std::string& file) { return !IsListName(file); });
  return kept;
}

// The files in the list, and exactly those selected.
void AddAndSelect(TMainForm& form, const std::vector<std::string>& files) {
  form.DropFiles(files);
  form.ListView.SetAllSelected(false);
  for (const std::string& file : files) form.ListView.Select(file);
  form.ListViewSelectItem();
}

// A saved list is opened, as `voltare LIST.vls` opens it: its password
// unlocks it. The list replaces the window's list, so it comes first.
void OpenLists(TMainForm& form, Interaction& ui, const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    if (!IsListName(file)) continue;
    const platform::ResultCode result = form.LoadListFile(file);
    if (result != platform::Success && result != platform::ErrReported) {
      ui.FileFailed({FileAction::OpenList, file, result});
    }
  }
}

// Several archives cannot share one viewer: the ".vlt" files go as one
// batch, then each archive on its own.
void DecryptAll(TMainForm& form, const std::vector<std::string>& files) {
  if (!form.DecryptFileList) return;
  std::vector<std::string> encrypted;
  std::vector<std::string> archives;
  for (const std::string& file : files) {
    if (!IsListName(file)) (EndsWith(file, ".plx") ? archives : encrypted).push_back(file);
  }
  if (!encrypted.empty()) form.DecryptFileList(encrypted);
  for (const std::string& archive : archives) form.DecryptFileList({archive});
}

void MailAll(Application& program, const std::vector<std::string>& files) {
  program.Email.StartAttachments = files;
  program.MainForm.SendMessage1Click();
  // Also when the settings dialog came instead of the composer.
  program.Email.StartAttachments.clear();
}

}  // namespace

std::vector<std::string> PlainArguments(std::span<const char* const> arguments) {
  std::vector<std::string> plain;
  bool optionsEnded = false;
  for (const char* argument : arguments) {
    const std::string_view text(argument);
    if (!optionsEnded && text == "--") {
      optionsEnded = true;
    } else if (optionsEnded || text.size() < 2 || text.front() != '-') {
      plain.emplace_back(text);
    }
  }
  return plain;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The path of one local file URI, or nullopt. A "%" without two hex digits
// after it, or a "%00", makes no path.
std::optional<std::string> PathOfFileUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.substr(0, kScheme.size()) != kScheme) return std::nullopt;
  uri.remove_prefix(kScheme.size());
  if (uri.substr(0, 9) == "localhost") uri.remove_prefix(9);
  if (uri.empty() || uri.front() != '/') return std::nullopt;
  std::string path;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] != '%') {
      path += uri[i];
      continue;
    }
    const int high = i + 2 < uri.size() ? HexValue(uri[i + 1]) : -1;
    const int low = i + 2 < uri.size() ? HexValue(uri[i + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

}  // namespace

std::optional<std::vector<std::string>> PathsOfFileUris(std::span<const std::string> uris, std::string& refused) {
  std::vector<std::string> paths;
  for (const std::string& uri : uris) {
    std::optional<std::string> path = PathOfFileUri(uri);
    if (!path) {
      refused = uri;
      return std::nullopt;
    }
    paths.push_back(std::move(*path));
  }
  return paths;
}

void RunStartVerb(Application& program, StartVerb verb, std::span<const std::string> files) {
  TMainForm& form = program.MainForm;
  const std::vector<std::string> existing = ExistingPaths(form, program.ui, files);
  const auto anyFile = [](const std::string&) { return true; };
  const auto encryptedFile = [](const std::string& path) { return IsEncryptedName(path); };
  const std::vector<std::string> expanded =
      verb == StartVerb::Decrypt ? ExpandFolders(existing, encryptedFile) : ExpandFolders(existing, anyFile);
  if (verb == StartVerb::Decrypt) OpenLists(form, program.ui, expanded);
  if (verb != StartVerb::Mail) AddAndSelect(form, verb == StartVerb::Decrypt ? WithoutLists(expanded) : expanded);
  if (expanded.empty()) return;
  switch (verb) {
    case StartVerb::Add:
      return;
    case StartVerb::Encrypt:
      form.EncryptFiles1Click();
      return;
    case StartVerb::Decrypt:
      DecryptAll(form, expanded);
      return;
    case StartVerb::Wipe:
      form.WipeFiles2Click();
      return;
    case StartVerb::Mail:
      MailAll(program, expanded);
      return;
  }
}

}  // namespace voltare::app
