#include "app/application.h"

#include <utility>

#include "app/update_check.h"

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
  MainForm.CheckForUpdate = [this] { CheckForNewVersion(ui); };
  MainForm.FormCreate();
}

}  // namespace voltare::app
