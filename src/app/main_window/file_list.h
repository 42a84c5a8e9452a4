// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's file list: a report view of files, sorted by the first
// column, several rows selectable. "File Name" (the full path as it was
// added) identifies an entry; the batch commands hand on this column.

#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window/folder_walk.h"
#include "app/shared/controls.h"

namespace voltare::app {

struct ListColumn {
  std::string_view caption;
  int width;
  bool rightAligned;
};

inline constexpr std::array<ListColumn, 6> kListColumns{{
    {"Display Name", 110, false},
    {"File Name", 115, false},
    {"Size", 55, true},
    {"Type", 65, false},
    {"Date", 90, false},
    {"Attr", 40, true},
}};

struct ListItem {
  std::string displayName;  // the list sorts by this text
  std::string fileName;     // the full path as added; the identity of the entry
  std::string size;         // SizeInKB followed by "KB"
  std::string typeName;
  std::string date;
  std::string attributes;
  int imageIndex = -1;
  bool selected = false;

  // The text of a column (0 to 5).
  const std::string& Column(std::size_t column) const;
};

class FileListView : public Control {
 public:
  const std::vector<ListItem>& Items() const noexcept { return items_; }
  std::size_t Count() const noexcept { return items_.size(); }
  bool Contains(std::string_view fileName) const;

  // Places the item by its display name (letter case ignored; after equal ones).
  void Insert(ListItem item);
  void Clear() { items_.clear(); }

  std::size_t SelectedCount() const;
  // "File Name" of the selected entries, in list order.
  std::vector<std::string> SelectedFileNames() const;
  // Removes the first selected entry and returns its path; empty when none.
  std::string RemoveFirstSelected();
  // Removes every entry whose path is one of `fileNames`, in one pass.
  void Remove(const std::set<std::string>& fileNames);
  void SetAllSelected(bool selected);
  // For views and tests: select exactly the entries with these paths.
  void Select(std::string_view fileName, bool selected = true);

 private:
  std::vector<ListItem> items_;
};

// The size shown in the list, in KB: -1 for a path not found, 0 for an empty
// file, 1 for 1 to 2047 bytes, otherwise the size divided by 1024, rounded down.
std::int64_t SizeInKB(const std::filesystem::path& path);
// The same rule for a size in bytes (-1 for a negative size).
std::int64_t SizeInKB(std::int64_t bytes);

// Attribute letters: "R" when nobody may write the file, "H" for a name
// starting with '.', "A" for a regular file (it holds data to back up);
// "S" is never set on this system.
std::string AttributeLetters(const std::filesystem::path& path);

// The last-write time as the locale's short date and short time; empty when
// the file cannot be examined.
std::string LastWriteText(const std::filesystem::path& path);

// Appends the full paths of all regular files below `directory`, depth first,
// hidden ones included (see WalkFolder); returns what could not be reached.
std::vector<UnreachableEntry> ListDirectoryFiles(const std::filesystem::path& directory,
                                                 std::vector<std::string>& list);

// Splits clipboard text into lines; CR LF, CR and LF each end a line, and a
// final line end does not start another line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace voltare::app
