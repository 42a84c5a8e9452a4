// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/file_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <iterator>
#include <utility>

#include "platform/file.h"

namespace voltare::app {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SortsBefore(std::string_view a, std::string_view b) {
  return std::ranges::lexicographical_compare(a, b, [](char x, char y) { return Lower(x) < Lower(y); });
}

}  // namespace

const std::string& ListItem::Column(std::size_t column) const {
  switch (column) {
    case 0:
      return displayName;
    case 1:
      return fileName;
    case 2:
      return size;
    case 3:
      return typeName;
    case 4:
      return date;
    default:
      return attributes;
  }
}

bool FileListView::Contains(std::string_view fileName) const { return names_.contains(std::string(fileName)); }

void FileListView::Insert(ListItem item) {
  names_.insert(item.fileName);
  items_.push_back(std::move(item));
  ++revision_;
}

void FileListView::Clear() {
  items_.clear();
  names_.clear();
  sorted_ = 0;
  ++revision_;
}

// The added entries sorted among themselves, then merged after the equal
// ones already there: both steps are stable, so the order is the one that
// inserting each entry at its place would give.
void FileListView::SortAdded() const {
  if (sorted_ == items_.size()) return;
  const auto byName = [](const ListItem& a, const ListItem& b) { return SortsBefore(a.displayName, b.displayName); };
  const auto added = items_.begin() + static_cast<std::ptrdiff_t>(sorted_);
  std::stable_sort(added, items_.end(), byName);
  std::inplace_merge(items_.begin(), added, items_.end(), byName);
  sorted_ = items_.size();
}

void FileListView::Forget(const std::string& fileName) {
  names_.erase(fileName);
  ++revision_;
}

std::size_t FileListView::SelectedCount() const {
  return static_cast<std::size_t>(std::ranges::count_if(items_, &ListItem::selected));
}

std::vector<std::string> FileListView::SelectedFileNames() const {
  std::vector<std::string> names;
  for (const ListItem& item : Items()) {
    if (item.selected) names.push_back(item.fileName);
  }
  return names;
}

std::vector<std::string> FileListView::SelectedRoots() const {
  std::vector<std::string> roots;
  for (const ListItem& item : Items()) {
    if (item.selected) roots.push_back(item.root);
  }
  return roots;
}

std::string FileListView::RemoveFirstSelected() {
  SortAdded();
  const auto it = std::ranges::find_if(items_, &ListItem::selected);
  if (it == items_.end()) return {};
  std::string name = std::move(it->fileName);
  items_.erase(it);
  sorted_ = items_.size();
  Forget(name);
  return name;
}

std::vector<std::string> FileListView::RemoveSelected() {
  SortAdded();
  std::vector<std::string> removed;
  for (ListItem& item : items_) {
    if (item.selected) removed.push_back(item.fileName);
  }
  std::erase_if(items_, [](const ListItem& item) { return item.selected; });
  sorted_ = items_.size();
  for (const std::string& name : removed) Forget(name);
  return removed;
}

void FileListView::Remove(const std::set<std::string>& fileNames) {
  SortAdded();
  std::erase_if(items_, [&](const ListItem& item) { return fileNames.contains(item.fileName); });
  sorted_ = items_.size();
  for (const std::string& name : fileNames) Forget(name);
}

void FileListView::SetAllSelected(bool selected) {
  for (ListItem& item : items_) item.selected = selected;
}

void FileListView::Select(std::string_view fileName, bool selected) {
  for (ListItem& item : items_) {
    if (item.fileName == fileName) item.selected = selected;
  }
}

void FileListView::SelectRow(std::size_t row, bool selected) {
  SortAdded();
  if (row < items_.size()) items_[row].selected = selected;
}

std::int64_t SizeInKB(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return -1;
  return SizeInKB(static_cast<std::int64_t>(info.st_size));
}

std::int64_t SizeInKB(std::int64_t bytes) {
  if (bytes < 0) return -1;
  if (bytes == 0) return 0;
  if (bytes < 1024) return 1;
  return bytes / 1024;
}

namespace {

std::string AttributeLetters(const std::filesystem::path& path, const struct stat& info) {
  std::string letters;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) letters += 'R';
  if (path.filename().string().starts_with('.')) letters += 'H';
  if (S_ISREG(info.st_mode)) letters += 'A';
  return letters;
}

std::string LastWriteText(std::time_t when) {
  std::tm local{};
  if (::localtime_r(&when, &local) == nullptr) return {};
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, "%x %H:%M", &local);
  return std::string(text, length);
}

}  // namespace

std::string AttributeLetters(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return AttributeLetters(path, info);
}

std::string LastWriteText(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return LastWriteText(info.st_mtime);
}

void FillFileColumns(ListItem& item) {
  struct stat info {};
  if (::stat(item.fileName.c_str(), &info) != 0) {
    item.size = "-1KB";
    item.date.clear();
    item.attributes.clear();
    item.lastWrite.reset();
    return;
  }
  item.size = std::to_string(SizeInKB(static_cast<std::int64_t>(info.st_size))) + "KB";
  item.date = LastWriteText(info.st_mtime);
  item.attributes = AttributeLetters(item.fileName, info);
  item.lastWrite = static_cast<std::int64_t>(info.st_mtime);
}

std::vector<UnreachableEntry> ListDirectoryFiles(const std::filesystem::path& directory, std::vector<std::string>& list,
                                                 const KeepWalking& keepWalking) {
  FolderContents found = WalkFolder(directory, keepWalking);
  list.insert(list.end(), std::make_move_iterator(found.files.begin()), std::make_move_iterator(found.files.end()));
  return std::move(found.unreachable);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace voltare::app
