// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a screen reader says for each control. Qt names a control after its
// own text or its label's; a picture button, an icon-only tool button or an
// edit without a label has no name, and is read as just "button" or "edit".
// Such controls take the words a sighted user reads for them instead: the
// caption of their action, their tool tip or their status bar hint.

#include <initializer_list>

class QWidget;

namespace voltare::gui {

// Names every control of `window` that has no accessible name (or one of
// punctuation only, like a ".." button), and describes every one whose
// description is missing or repeats its name, from its action, tool tip or
// hint. Runs now and again each time the window is shown, so controls made
// after this call (a view fills its window after its base class is made) are
// named too. Other names and descriptions are kept.
void NameControlsForScreenReaders(QWidget& window);

// Puts the buttons of `groups` (tool bars and panels, in reading order) into
// the Tab chain, each group's buttons in their own order, followed by
// `last`. The buttons take focus from the keyboard only, so that clicking one
// leaves the focus (and the keyboard selection) where it was.
void ChainButtonsForTab(std::initializer_list<QWidget*> groups, QWidget* last);

}  // namespace voltare::gui
