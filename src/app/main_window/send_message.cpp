// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's e-mail commands: the composer, opened only when the
// e-mail settings are complete, and the e-mail settings dialog.

#include <exception>

#include "app/email/email_messages.h"
#include "app/email/email_settings.h"
#include "app/main_window/main_form.h"
#include "app/main_window/messages.h"
#include "app/shared/application.h"
#include "platform/os_error.h"

namespace voltare::app {

void TMainForm::SendMessage1Click() {
  EmailSettingsState state = EmailSettingsState::KeyMissing;
  try {
    state = CheckEmailSettings();
  } catch (const std::exception& failure) {
    ui_.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return;
  }
  switch (state) {
    case EmailSettingsState::KeyMissing:
      ui_.Error(messages::WithSettingsPath(messages::kSettingsFileError));
      return;
    case EmailSettingsState::Incomplete:
      ui_.Error(email_messages::kIncompleteSettings);
      ShowModal(ui_, app_.EmailProp);
      return;
    case EmailSettingsState::Complete:
      ShowModal(ui_, app_.Email);
      // However the view closed it, nothing typed in it stays behind.
      app_.Email.FormCloseQuery();
      return;
  }
}

void TMainForm::Preferences1Click() { ShowModal(ui_, app_.EmailProp); }

}  // namespace voltare::app
