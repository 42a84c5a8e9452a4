// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// voltare-screenshots renders every window of the program into PNG files, for
// the README and for review. Each group of windows has its capture function in
// its own file; each makes its windows (with the forms filled as a user would
// see them), shows them and saves them with SaveWindowPicture.
//
// The program runs with its own empty settings and temporary directory, so the
// pictures show the settings a fresh installation has.

class QDir;
class QString;
class QWidget;

namespace voltare::gui {

void CaptureMainWindow(const QDir& out);      // main-window.png, ...
void CaptureDialogs(const QDir& out);         // password prompt, archive viewer, preferences, clipboard, about
void CapturePasswordPrompt(const QDir& out);  // password-prompt.png alone
void CaptureMailPrintHelp(const QDir& out);   // e-mail windows, print dialog, help

// Shows `window` (not modally), lets it lay out and paint, and saves it as
// `<name>.png` in `out`. Prints the file's path; false when it could not be saved.
bool SaveWindowPicture(QWidget& window, const QDir& out, const QString& name);

}  // namespace voltare::gui
