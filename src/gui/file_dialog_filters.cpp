// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/file_dialog_filters.h"

#include "gui/qt_text.h"

namespace voltare::gui {

namespace {

QString QtPatterns(const QString& patterns) {
  QStringList list = patterns.split(';', Qt::SkipEmptyParts);
  for (QString& pattern : list) {
    pattern = pattern.trimmed();
    if (pattern == "*.*") pattern = "*";
  }
  return list.join(' ');
}

}  // namespace

QStringList NameFilters(std::string_view filter) {
  const QStringList parts = ToQString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    if (const qsizetype open = description.indexOf('('); open >= 0) description.truncate(open);
    filters << description.trimmed() + " (" + QtPatterns(parts[i + 1]) + ")";
  }
  return filters;
}

}  // namespace voltare::gui
