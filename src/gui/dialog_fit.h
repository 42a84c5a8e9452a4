// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A dialog opens at its designed size, or larger where its font needs more:
// a larger desktop font must never cut off a word.

class QWidget;

namespace voltare::gui {

// Grows `window` to the room its layout needs at its present texts and font,
// word-wrapped labels included, and keeps it from being made smaller than
// that. Qt leaves the height of word-wrapped text out of a window's minimum
// size, so a larger font would otherwise cut off their last lines.
void FitToContents(QWidget& window);

}  // namespace voltare::gui
