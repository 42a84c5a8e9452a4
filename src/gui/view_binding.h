// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the e-mail views share when they copy a form's control state into
// their widgets: each control is shown by the child widget or action whose
// object name is the control's member name.

#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "common/secret_string.h"

class QLineEdit;
class QObject;
class QString;
class QWidget;

namespace voltare::gui::view_binding {

// The widget or action under `window` that shows the control named `name`.
QObject* FindControlObject(const QWidget& window, std::string_view name);

// Copies enabled and visible of every control into its widget or action.
void ApplyControlStates(const QWidget& window, const std::vector<app::NamedControl>& controls);

// Gives the input focus to the widget that shows `control`, if any.
void FocusControl(const QWidget& window, const std::vector<app::NamedControl>& controls, const app::Control* control);

// Puts an edit's text into its line edit unless it already shows it (so the
// cursor stays where the user left it).
void ShowEditText(QLineEdit& widget, const std::string& text);

// A password typed into a line edit, copied into the form's locked text; the
// one temporary copy made on the way is overwritten.
void ReadPasswordText(const QString& typed, common::SecretString& text);

// Puts a password into its line edit unless it already shows it.
void ShowPasswordText(QLineEdit& widget, const common::SecretString& text);

// Overwrites a password's line edit with a filler of the same length, then
// empties it and overwrites the characters it held, so that the closed
// window leaves no copy of the password behind.
void WipePasswordEdit(QLineEdit& widget);

// Masks a line edit with the edit's password character ('\0': no mask).
void ShowPasswordChar(QLineEdit& widget, char passwordChar);

}  // namespace voltare::gui::view_binding
