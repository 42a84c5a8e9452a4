// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli email-config [--server S] [--port P] [--username U] [--name N] [--address A]

#include <array>
#include <memory>
#include <string>

#include "app/email/email_prop_form.h"
#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

// One option of the command and the dialog field it types into.
struct FieldOption {
  const char* flag;
  const char* description;
  app::Edit app::TEmailProp::*field;
};

constexpr std::array kFieldOptions = {
    FieldOption{"--server", N_("SMTP server: host name or dotted IPv4 address"), &app::TEmailProp::SMTP},
    FieldOption{"--port", N_("Its TCP port (only the digits are kept, as in the dialog)"), &app::TEmailProp::Port},
    FieldOption{"--username", N_("The name sent to the server after HELO"), &app::TEmailProp::UserName},
    FieldOption{"--name", N_("Your name, as recipients see it"), &app::TEmailProp::Name},
    FieldOption{"--address", N_("Your e-mail address"), &app::TEmailProp::Email},
};

// The values given on the command line; a field without one keeps what the
// dialog loaded.
struct GivenFields {
  std::array<std::string, kFieldOptions.size()> values;
  std::array<bool, kFieldOptions.size()> given{};
};

int SetEmailSettings(Session& session, const GivenFields& given) {
  app::TEmailProp& form = session.app.EmailProp;
  form.Open();
  form.FormShow();
  for (std::size_t i = 0; i < kFieldOptions.size(); ++i) {
    if (!given.given[i]) continue;
    (form.*kFieldOptions[i].field).text = given.values[i];
    if (kFieldOptions[i].field == &app::TEmailProp::Port) form.PortChange();
  }
  form.OKButtonClick();
  return form.IsShowing() ? kExitFailure : kExitSuccess;
}

}  // namespace

void AddEmailConfigCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command =
      parent.add_subcommand("email-config", tr_("Change the e-mail settings (SMTP server, port, sender)"));
  command->footer(
      tr_("\nThe given fields are typed into the e-mail settings dialog over what it\n"
          "loaded, and OK is pressed: every field must then be filled in, and the\n"
          "dialog's messages say which is not. 'voltare-cli config show' shows the\n"
          "stored values under [...\\E-mail].\n"
          "\nExample: voltare-cli email-config --server mail.example.org --port 25 \\\n"
          "           --username my-pc --name 'Alice Sender' --address alice@example.org"));
  auto given = std::make_shared<GivenFields>();
  std::array<CLI::Option*, kFieldOptions.size()> options{};
  for (std::size_t i = 0; i < kFieldOptions.size(); ++i) {
    options[i] = command->add_option(kFieldOptions[i].flag, given->values[i], tr_(kFieldOptions[i].description));
  }
  command->callback([&chosen, given, options] {
    for (std::size_t i = 0; i < options.size(); ++i) given->given[i] = options[i]->count() > 0;
    chosen = [fields = *given](Session& session) { return SetEmailSettings(session, fields); };
  });
}

}  // namespace voltare::cli
