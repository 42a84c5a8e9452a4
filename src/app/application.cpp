#include "app/application.h"

#include <utility>

namespace voltare::app {

Application::Application(Interaction& userInterface, std::filesystem::path startDirectory)
    : ui(userInterface),
      PLXArchiver(userInterface),
      PasswordBox(userInterface),
      KlembordForm(userInterface),
      PreferencesForm(userInterface),
      MainForm(userInterface, *this, std::move(startDirectory)) {
  MainForm.FormCreate();
}

}  // namespace voltare::app
