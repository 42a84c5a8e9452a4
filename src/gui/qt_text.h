// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's texts are UTF-8 std::strings; Qt's are QStrings.

#include <QString>
#include <string>
#include <string_view>

namespace voltare::gui {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace voltare::gui
