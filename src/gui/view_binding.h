#pragma once
// What the e-mail views share when they copy a form's control state into
// their widgets: each control is shown by the child widget or action whose
// object name is the control's member name.

#include <string>
#include <string_view>
#include <vector>


#include "app/controls.h"

class QLineEdit;
class QObject;
class QWidget;

namespace voltare::gui::view_binding {

// The widget or action under `window` that shows the control named `name`.
QObject* FindControlObject(const QWidget& window, std::string_view name);

// Copies enabled and visible of every control into its widget or action.
void ApplyControlStates(const QWidget& window, const std::vector<app::NamedControl>& controls);

// Gives the input focus to the widget that shows `control`, if any.
void FocusControl(const QWidget& window, const std::vector<app::NamedControl>& controls,
                  const app::Control* control);

// Puts an edit's text into its line edit unless it already shows it (so the
// cursor stays where the user left it).
void ShowEditText(QLineEdit& widget, const std::string& text);

// Masks a line edit with the edit's password character ('\0': no mask).
void ShowPasswordChar(QLineEdit& widget, char passwordChar);

}  // namespace voltare::gui::view_binding
