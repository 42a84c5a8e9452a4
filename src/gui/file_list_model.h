// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's file list as a Qt table model over the form's entries.
// Cells are read where the entries lie, when the view paints them, so a list
// of tens of thousands of files costs no widget per cell.

#include <QAbstractTableModel>
#include <cstdint>
#include <optional>

namespace voltare::app {
class FileListView;
struct ListItem;
}  // namespace voltare::app

namespace voltare::gui {

class QtInteraction;

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kFileNameColumn = 1;  // the full path
  static constexpr int kSizeColumn = 2;
  static constexpr int kDateColumn = 4;

  FileListModel(const app::FileListView& list, const QtInteraction& icons, QObject* parent);

  // Takes the entries anew when entries were added or taken out since the
  // last call (which resets the view's selection and scrolling); true then.
  bool Refresh();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QString Text(const app::ListItem& item, int column) const;

  const app::FileListView& list_;
  const QtInteraction& icons_;
  // The row count the view was last told: the entries may grow while a
  // command adds files and lets the window paint, before the next Refresh.
  int rows_ = 0;
  std::optional<std::uint64_t> revision_;
};

// A last-write time in the desktop's short date and time format.
QString ShortDateTimeText(std::int64_t secondsSinceEpoch);

}  // namespace voltare::gui
