// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The translation function uic writes into the window layouts (uic -tr
// voltare_tr): the layouts' texts come from the same gettext catalogue as
// every other text of the program.

#include <QString>

#include "common/translate.h"

// `text` from a layout in the user's language. `disambiguation` is uic's
// comment argument; the layouts carry none.
inline QString voltare_tr(const char* text, const char* disambiguation = nullptr) {
  static_cast<void>(disambiguation);
  return QString::fromUtf8(voltare::common::Translate(text));
}
