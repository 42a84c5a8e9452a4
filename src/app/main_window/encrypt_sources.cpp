// SPDX-License-Identifier: GPL-3.0-or-later
// The sources of an encryption named on the command line: a folder brings
// every file below it, hidden ones included, less those already encrypted; a
// file named by itself is taken as it is when it can be read to its end, and
// refused with its reason when it cannot.

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window/batch_messages.h"
#include "app/main_window/folder_walk.h"
#include "app/main_window/main_form.h"
#include "app/main_window/source_messages.h"

namespace voltare::app {

namespace {

namespace fs = std::filesystem;

std::string AlreadyEncryptedNote(std::size_t count) {
  return messages::FormatCount(messages::kAlreadyEncrypted.For(count), count, 0);
}

}  // namespace

void TMainForm::ReportUnreachable(const std::vector<UnreachableEntry>& entries) {
  for (const UnreachableEntry& entry : entries) {
    ui_.FileFailed({FileAction::Take, entry.path, entry.error});
  }
}

void TMainForm::AddFilesToEncrypt(std::span<const std::string> paths) {
  SourcesLeftOut = 0;
  std::size_t alreadyEncrypted = 0;
  std::vector<std::string> sources;
  std::vector<std::string> roots;  // for each source
  for (const std::string& path : paths) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      ReportUnreachable({{path, errno}});
      ++SourcesLeftOut;
    } else if (S_ISDIR(info.st_mode)) {
      const FolderContents found = WalkFolder(path);
      ReportUnreachable(found.unreachable);
      SourcesLeftOut += found.unreachable.size();
      for (const std::string& file : found.files) {
        if (IsEncryptedFile(file)) {
          ++alreadyEncrypted;
        } else {
          sources.push_back(file);
          roots.push_back(path);
        }
      }
    } else if (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode)) {
      sources.push_back(path);  // a pipe is read to its end, like a file
      roots.emplace_back();
    } else {
      ui_.Error(
          messages::FormatName(S_ISSOCK(info.st_mode) ? messages::kSocketRefused : messages::kDeviceRefused, path));
      ++SourcesLeftOut;
    }
  }
  for (std::size_t i = 0; i < sources.size(); ++i) {
    AddFileToList(sources[i], static_cast<std::int64_t>(sources.size()), roots[i]);
  }
  ResetProgress();
  if (alreadyEncrypted > 0) ui_.Information(AlreadyEncryptedNote(alreadyEncrypted));
}

}  // namespace voltare::app
