// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state of a window's controls, without any toolkit. A form object holds
// these; a view (the Qt window, the terminal, the scripted fake user) shows
// them and writes the user's input back into them.

#include <string>
#include <string_view>

#include "common/secret_string.h"

namespace voltare::app {

struct Control {
  std::string caption;
  bool visible = true;
  bool enabled = true;
};

using Label = Control;
using Button = Control;
using MenuItem = Control;

struct CheckBox : Control {
  bool checked = false;
};

using RadioButton = CheckBox;

// A control of a form under its member name ("Password", "CutButton"), so
// that a view can bind its widgets by name and a test can check that every
// control of a form has a widget.
struct NamedControl {
  std::string_view name;
  Control* control;
};

template <typename Text>
struct BasicEdit : Control {
  Text text;
  // Longest text the user may type; 0 means no limit.
  int maxLength = 0;
  // Shown in place of every character; '\0' shows the text itself.
  char passwordChar = '\0';
};

using Edit = BasicEdit<std::string>;
// A password's edit: its text lives in locked memory.
using PasswordEdit = BasicEdit<common::SecretString>;

}  // namespace voltare::app
