// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/file_list_model.h"

#include <QDateTime>
#include <QLocale>

#include "app/main_window/file_list.h"
#include "gui/qt_interaction.h"
#include "gui/qt_text.h"

namespace voltare::gui {

namespace {

constexpr int kColumns = static_cast<int>(app::kListColumns.size());

Qt::Alignment ColumnAlignment(int column) {
  const bool right = app::kListColumns[static_cast<std::size_t>(column)].rightAligned;
  return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

QString ShortDateTimeText(std::int64_t secondsSinceEpoch) {
  return QLocale().toString(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch), QLocale::ShortFormat);
}

FileListModel::FileListModel(const app::FileListView& list, const QtInteraction& icons, QObject* parent)
    : QAbstractTableModel(parent), list_(list), icons_(icons) {}

bool FileListModel::Refresh() {
  if (revision_ == list_.Revision()) return false;
  beginResetModel();
  list_.Items();  // puts newly added entries in order before the view reads them
  rows_ = static_cast<int>(list_.Count());
  revision_ = list_.Revision();
  endResetModel();
  return true;
}

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  const auto row = static_cast<std::size_t>(index.row());
  if (!index.isValid() || row >= list_.Count()) return {};
  const app::ListItem& item = list_.Items()[row];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:  // the whole text, wherever the cell cuts it
      return Text(item, index.column());
    case Qt::DecorationRole:
      return index.column() == 0 ? QVariant(icons_.Icon(item.imageIndex)) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(ColumnAlignment(index.column()));
    default:
      return {};
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  if (role == Qt::DisplayRole) return ToQString(app::kListColumns[static_cast<std::size_t>(section)].caption);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
  return {};
}

QString FileListModel::Text(const app::ListItem& item, int column) const {
  if (column == kDateColumn && item.lastWrite) return ShortDateTimeText(*item.lastWrite);
  return ToQString(item.Column(static_cast<std::size_t>(column)));
}

}  // namespace voltare::gui
