// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's file list: a report view of files, sorted by the first
// column, several rows selectable. "File Name" (the full path as it was
// added) identifies an entry; the batch commands hand on this column.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/main_window/folder_walk.h"
#include "app/shared/controls.h"
#include "common/translate.h"

namespace voltare::app {

struct ListColumn {
  common::Text caption;
  int width;
  bool rightAligned;
};

inline constexpr std::array<ListColumn, 6> kListColumns{{
    {N_("Display Name"), 110, false},
    {N_("File Name"), 115, false},
    {N_("Size"), 55, true},
    {N_("Type"), 65, false},
    {N_("Date"), 90, false},
    {N_("Attr"), 40, true},
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
  // Seconds since the epoch, for views that show `date` in the desktop's format.
  std::optional<std::int64_t> lastWrite{};
  // The folder given (dropped, added, named) that brought the entry; empty
  // for a file given by itself. An archive keeps the entry's path below it.
  std::string root{};

  // The text of a column (0 to 5).
  const std::string& Column(std::size_t column) const;
};

// Tens of thousands of entries are added at a time, so an insert only
// appends: the entries are put in order once, when they are next looked at.
// The names are also kept in a set, so the duplicate check costs no scan.
class FileListView : public Control {
 public:
  const std::vector<ListItem>& Items() const {
    SortAdded();
    return items_;
  }
  std::size_t Count() const noexcept { return items_.size(); }
  bool Contains(std::string_view fileName) const;
  // Changes with every entry added or taken out (not with the selection):
  // views rebuild their rows only when it moved.
  std::uint64_t Revision() const noexcept { return revision_; }

  // Places the item by its display name (letter case ignored; after equal ones).
  void Insert(ListItem item);
  void Clear();

  std::size_t SelectedCount() const;
  // "File Name" of the selected entries, in list order.
  std::vector<std::string> SelectedFileNames() const;
  // The same entries' roots, in the same order.
  std::vector<std::string> SelectedRoots() const;
  // Removes the first selected entry and returns its path; empty when none.
  std::string RemoveFirstSelected();
  // Removes every selected entry in one pass; their paths in list order.
  std::vector<std::string> RemoveSelected();
  // Removes every entry whose path is one of `fileNames`, in one pass.
  void Remove(const std::set<std::string>& fileNames);
  void SetAllSelected(bool selected);
  // For views and tests: select exactly the entries with these paths.
  void Select(std::string_view fileName, bool selected = true);
  // For views: the entry in this row (in list order); out of range does nothing.
  void SelectRow(std::size_t row, bool selected);

 private:
  void SortAdded() const;
  void Forget(const std::string& fileName);

  // Sorted up to sorted_; what lies beyond was added since. Sorting does not
  // change what the list holds, hence mutable.
  mutable std::vector<ListItem> items_;
  mutable std::size_t sorted_ = 0;
  std::unordered_set<std::string> names_;
  std::uint64_t revision_ = 0;
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

// Size, Date and Attr of `item.fileName` (and its lastWrite), from one look
// at the file: "-1KB" and empty texts when it cannot be examined.
void FillFileColumns(ListItem& item);

// Appends the full paths of all regular files below `directory`, depth first,
// hidden ones included (see WalkFolder); returns what could not be reached.
std::vector<UnreachableEntry> ListDirectoryFiles(const std::filesystem::path& directory, std::vector<std::string>& list,
                                                 const KeepWalking& keepWalking = {});

// Splits clipboard text into lines; CR LF, CR and LF each end a line, and a
// final line end does not start another line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace voltare::app
