#pragma once
// The state of a window's controls, without any toolkit. A form object holds
// these; a view (the Qt window, the terminal, the scripted fake user) shows
// them and writes the user's input back into them.

#include <string>

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

struct Edit : Control {
  std::string text;
  // Longest text the user may type; 0 means no limit.
  int maxLength = 0;
  // Shown in place of every character; '\0' shows the text itself.
  char passwordChar = '\0';
};

}  // namespace voltare::app
