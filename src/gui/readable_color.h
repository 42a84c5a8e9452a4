// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text drawn in a fixed colour (the navy of a heading) stays readable on
// whatever palette the desktop uses: on a dark one the colour is lightened
// until it stands out from the background as plain text would.

#include <QColor>

class QWidget;

namespace voltare::gui {

// The contrast ratio of two colours, 1 (same) to 21 (black on white), from
// their relative luminance as the web accessibility guidelines define it.
double ContrastRatio(const QColor& first, const QColor& second);

// `ink` itself where it has a contrast of at least 4.5 on `background`, else
// `ink` lightened (on a dark background) or darkened just enough to reach it.
QColor ReadableOn(const QColor& ink, const QColor& background);

// Gives `label` the text colour `ink`, made readable on its window's background.
void SetReadableTextColor(QWidget& label, const QColor& ink);

}  // namespace voltare::gui
