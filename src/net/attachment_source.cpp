// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/attachment_source.h"

#include <sys/stat.h>

#include <cerrno>

#include "net/messages.h"
#include "net/net_error.h"
#include "platform/file.h"
#include "platform/os_error.h"

namespace voltare::net {
namespace {

std::string RefusalOf(mode_t mode, const std::string& path) {
  if (S_ISDIR(mode)) return FormatText(messages::kAttachmentIsFolder, path);
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FormatText(messages::kAttachmentIsDevice, path);
  if (S_ISSOCK(mode)) return FormatText(messages::kAttachmentIsSocket, path);
  return {};
}

}  // namespace

std::string AttachmentRefusal(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return RefusalOf(status.st_mode, path.string());
}

platform::File OpenAttachment(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    const int error = errno;
    throw NetError(FormatText(messages::kCannotOpenFile, path), error);
  }
  // Checked before the open: opening a pipe may wait for its writer, but a
  // device must not be opened at all.
  if (std::string refusal = RefusalOf(status.st_mode, path); !refusal.empty()) throw NetError(refusal);
  platform::File file;
  try {
    file = platform::File(path, platform::File::Mode::Read);
  } catch (const platform::OsError& e) {
    throw NetError(FormatText(messages::kCannotOpenFile, path), e.error());
  }
  // And again on what was opened, in case the name changed hands in between.
  if (::fstat(file.fd(), &status) != 0) {
    const int error = errno;
    throw NetError(FormatText(messages::kCannotOpenFile, path), error);
  }
  if (std::string refusal = RefusalOf(status.st_mode, path); !refusal.empty()) throw NetError(refusal);
  return file;
}

}  // namespace voltare::net
