// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/application.h"

#include <utility>

#include "app/email/update_check.h"
#include "app/main_window/decrypt_files.h"

namespace voltare::app {

Application::Application(Interaction& userInterface, std::filesystem::path startDirectory)
    : ui(userInterface),
      PLXArchiver(userInterface),
      PasswordBox(userInterface),
      KlembordForm(userInterface),
      Email(userInterface),
      EmailProp(userInterface),
      PreferencesForm(userInterface),
      MainForm(userInterface, *this, std::move(startDirectory)) {
  MainForm.DecryptFileList = [this](const std::vector<std::string>& paths) { DecryptFileList(*this, paths); };
  // The check at start-up has told the user all there is to tell (an offer,
  // or a failure worth a box); its outcome changes nothing afterwards.
  MainForm.CheckForUpdate = [this] { (void)CheckForNewVersion(ui); };
  MainForm.FormCreate();
}

}  // namespace voltare::app
