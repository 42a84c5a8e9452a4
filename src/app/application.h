#pragma once
// The program's windows, created once and kept for the whole run. The main
// window reaches the others through this object.

#include <filesystem>

#include "app/interaction.h"
#include "app/main_form.h"
#include "app/password_box.h"
#include "app/preferences_form.h"

namespace voltare::app {

class Application {
 public:
  // `startDirectory`: the directory the program was started from, against
  // which command-line paths are taken.
  Application(Interaction& ui, std::filesystem::path startDirectory);
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  Interaction& ui;
  TPasswordBox PasswordBox;
  TPreferencesForm PreferencesForm;
  // Last, so that the windows it uses exist before it and after it.
  TMainForm MainForm;
};

}  // namespace voltare::app
