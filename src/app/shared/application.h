// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's windows, created once and kept for the whole run. The main
// window reaches the others through this object.

#include <filesystem>

#include "app/dialogs/about_box.h"
#include "app/dialogs/klembord_form.h"
#include "app/dialogs/password_box.h"
#include "app/dialogs/plx_archiver.h"
#include "app/dialogs/preferences_form.h"
#include "app/email/email_form.h"
#include "app/email/email_prop_form.h"
#include "app/main_window/main_form.h"
#include "app/main_window/wipe_checks.h"
#include "app/shared/interaction.h"
#include "app/shared/run_overrides.h"

namespace voltare::app {

class Application {
 public:
  // `startDirectory`: the directory the program was started from, against
  // which command-line paths are taken.
  Application(Interaction& ui, std::filesystem::path startDirectory);
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  Interaction& ui;
  // Settings that stand in for stored ones during this run (voltare-cli options).
  RunOverrides Overrides;
  // The wipe notices and questions this run has had answered.
  WipeNotices WipeNoticesGiven;
  TPLXArchiver PLXArchiver;
  TPasswordBox PasswordBox;
  TKlembordForm KlembordForm;
  TEmail Email;
  TEmailProp EmailProp;
  TPreferencesForm PreferencesForm;
  TAboutBox AboutBox;  // reads the machine's description once, here
  // Last, so that the windows it uses exist before it and after it.
  TMainForm MainForm;
};

}  // namespace voltare::app
