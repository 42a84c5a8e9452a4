// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The forms name file types as "description|pattern|description|pattern"
// ("All Files (*.*)|*.*"); Qt's file dialogs take "description (patterns)".

#include <QStringList>
#include <string_view>

namespace voltare::gui {

// One Qt name filter per pair. The description's own "(...)" is replaced by
// the pattern; "*.*" becomes "*", since names here need not have a dot.
QStringList NameFilters(std::string_view filter);

}  // namespace voltare::gui
