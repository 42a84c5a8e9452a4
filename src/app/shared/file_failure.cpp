// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/file_failure.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>

#include "common/translate.h"

namespace voltare::app {

namespace {

using platform::ResultCode;

// The failures the program expects, in words a user can act on; empty for
// the others.
std::string_view ExpectedText(ResultCode code) {
  switch (code) {
    case platform::ErrBadPassword:
      return tr_("wrong password");
    case platform::ErrBadFile:
      return tr_("damaged, or not an encrypted file");
    case platform::ErrTampered:
      return tr_("damaged, or changed after it was encrypted");
    case platform::ErrNoSuchFile:
    case ENOENT:
      return tr_("no such file or folder");
    case platform::ErrStagingReplaced:
      return tr_("its temporary file was replaced by another file while it was written");
    case platform::ErrReservedName:
      return tr_("the name has the form of the program's temporary files (.vlt-xxxxxxxx.part)");
    case EACCES:
    case EPERM:
      return tr_("permission denied");
    case ENOSPC:
      return tr_("no space left on the device");
    case EDQUOT:
      return tr_("disk quota exceeded");
    case EROFS:
      return tr_("read-only file system");
    case ENAMETOOLONG:
      return tr_("file name too long");
    case EISDIR:
    case ENXIO:
      return tr_("not a regular file");
    case ENOTDIR:
      return tr_("a part of the path is not a folder");
    case ELOOP:
      return tr_("a symbolic link is in the way");
    case EFBIG:
      return tr_("too large for the file system");
    case EIO:
      return tr_("input/output error (the disk or its connection failed)");
    case EBUSY:
    case ETXTBSY:
      return tr_("the file is in use");
    default:
      return {};
  }
}

// A sentence of ErrorText as part of a line: lower case first, no full stop.
std::string AsClause(std::string text) {
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (!text.empty()) text.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(text.front())));
  return text;
}

// A plural text with its count in place of "%d".
std::string WithCount(const char* format, std::size_t count) {
  std::string text = format;
  if (const std::size_t at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(count));
  return text;
}

std::string Capitalized(std::string text) {
  if (!text.empty()) text.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
  return text;
}

}  // namespace

FailureScope ScopeOf(ResultCode code) {
  switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    // A limit of the file system or of the process on the size of a file:
    // a batch writing on would leave a part of itself, an archive short of
    // members say, that looks whole.
    case EFBIG:
    // The temporary folder serves every file of the batch alike.
    case platform::ErrNoTempFile:
      return FailureScope::Destination;
    default:
      return ExpectedText(code).empty() ? FailureScope::Unexpected : FailureScope::File;
  }
}

std::string WhatHappened(ResultCode code) {
  const std::string_view expected = ExpectedText(code);
  return expected.empty() ? AsClause(platform::ErrorText(code)) : std::string(expected);
}

std::string_view WhatWasKept(FileAction action) {
  switch (action) {
    case FileAction::Encrypt:
      return tr_("it was not encrypted, nothing of it was written");
    case FileAction::Bundle:
      return tr_("no archive was written and nothing was wiped");
    case FileAction::Decrypt:
      return tr_("nothing was written");
    case FileAction::Verify:
      return tr_("it was not verified");
    case FileAction::Wipe:
      return tr_("it was not wiped");
    case FileAction::List:
      return tr_("nothing was listed");
    case FileAction::OpenList:
      return tr_("the list was not opened");
    case FileAction::SaveList:
      return tr_("the list was not saved, an older one of that name stays as it was");
    case FileAction::Take:
      return tr_("it was left out");
  }
  return {};
}

std::string FailureBoxText(const FileFailure& failure) {
  if (ScopeOf(failure.code) == FailureScope::Unexpected) {
    // TRANSLATORS: a file's path, then the error that stopped its operation.
    return platform::ErrorFormat(failure.code,
                                 common::Filled(tr_("%s: %s"), {failure.path, platform::ErrorText(failure.code)}));
  }
  // TRANSLATORS: a message box about one file: its path, what happened to it
  // ("Wrong password", "No space left on the device", ...), and what was kept
  // ("it was not encrypted, nothing of it was written", ...).
  return common::Filled(tr_("%s\n\n%s; %s."),
                        {failure.path, Capitalized(WhatHappened(failure.code)), WhatWasKept(failure.action)});
}

std::string FailureLine(const FileFailure& failure, std::string_view shown) {
  // TRANSLATORS: a line about one file: its name, what happened to it ("wrong
  // password", ...), and what was kept ("it was not encrypted, ...").
  return common::Filled(tr_("%s: %s; %s"), {shown, WhatHappened(failure.code), WhatWasKept(failure.action)});
}

std::string ListedNames(const std::vector<std::string>& names) {
  std::string listed;
  const std::size_t count = std::min(names.size(), kNamesListed);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) listed += ", ";
    listed += names[i];
  }
  if (names.size() > count) {
    const std::size_t more = names.size() - count;
    listed += WithCount(trn_(" and %d more", " and %d more", more), more);
  }
  return listed;
}

std::string BatchStoppedText(const std::vector<std::string>& notTried) {
  const std::size_t count = notTried.size();
  return WithCount(trn_("the batch was stopped; %d file was not tried: ",
                        "the batch was stopped; %d files were not tried: ", count),
                   count) +
         ListedNames(notTried);
}

std::string BatchStoppedSentence(const std::vector<std::string>& notTried) {
  const std::size_t count = notTried.size();
  // TRANSLATORS: %d is the number of files, %s their names ("a.txt, b.txt and 3 more").
  return common::Filled(WithCount(trn_("The batch was stopped; %d file was not tried: %s.",
                                       "The batch was stopped; %d files were not tried: %s.", count),
                                  count),
                        {ListedNames(notTried)});
}

}  // namespace voltare::app
