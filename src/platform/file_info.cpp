// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_info.h"

#include <system_error>

#include "common/translate.h"

namespace voltare::platform {

namespace {

std::filesystem::path WithoutTrailingSeparator(const std::filesystem::path& path) {
  std::string text = path.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string FileDisplayName(const std::filesystem::path& path) {
  const std::filesystem::path trimmed = WithoutTrailingSeparator(path);
  const std::string name = trimmed.filename().string();
  return name.empty() ? trimmed.string() : name;
}

std::string FileTypeName(const std::filesystem::path& path) {
  const std::string extension = WithoutTrailingSeparator(path).extension().string();
  if (extension.size() <= 1) return tr_("File");  // none, or only the dot
  std::string upper;
  for (const char c : extension.substr(1)) upper += UpperAscii(c);
  // TRANSLATORS: a file's type in the file list; %s is its extension in
  // capitals ("TXT File").
  return common::Filled(tr_("%s File"), {upper});
}

FileNames DescribeFile(const std::filesystem::path& path) {
  std::error_code error;
  const bool directory = std::filesystem::is_directory(path, error);
  return {FileDisplayName(path), directory ? tr_("File Folder") : FileTypeName(path)};
}

}  // namespace voltare::platform
