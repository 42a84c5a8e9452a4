// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pictures that a layout file puts on labels are loaded at their natural size,
// one image pixel per screen pixel, and blur when the desktop scales by 200 %.

class QWidget;

namespace voltare::gui {

// Draws again, from its SVG source, every picture of the program's own
// (":/pictures/") that a label of `window` shows, at the same size but at the
// device pixel ratio of the screen the window is on.
void ShowPicturesSharp(QWidget& window);
// The same at a given device pixel ratio.
void ShowPicturesSharp(QWidget& window, double ratio);

}  // namespace voltare::gui
