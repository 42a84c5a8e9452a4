// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's left panel: picture buttons with a caption under each,
// in a panel of a designed width.

#include <QAbstractButton>
#include <initializer_list>

namespace voltare::gui {

// Keeps every caption of `buttons` on one line within `width` pixels: a
// narrow face first, then a size somewhat below the desktop's font. Where even
// that would not fit, as with a large desktop font, the buttons' panel grows
// by what they lack rather than the captions shrinking past reading.
void FitPanelCaptions(std::initializer_list<QAbstractButton*> buttons, int width);

}  // namespace voltare::gui
