// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli mail --to T [--cc C] [--bcc B] [--subject S] [--attach FILE]...
//                  [--message-file F | --message TEXT]

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/email/email_form.h"
#include "app/email/email_messages.h"
#include "app/email/email_settings.h"
#include "app/main_window/messages.h"
#include "cli/command.h"
#include "cli/stop_signal.h"
#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

struct MailArguments {
  std::string to;
  std::string cc;
  std::string bcc;
  std::string subject;
  std::vector<std::string> attachments;
  std::string messageFile;
  std::string message;
};

// The check the main window makes before it opens the composer.
bool SettingsComplete(Session& session) {
  app::EmailSettingsState state = app::EmailSettingsState::KeyMissing;
  try {
    state = app::CheckEmailSettings();
  } catch (const std::exception& failure) {
    session.ui.Error(platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what()));
    return false;
  }
  switch (state) {
    case app::EmailSettingsState::KeyMissing:
      session.ui.Error(app::messages::WithSettingsPath(app::messages::kSettingsFileError));
      return false;
    case app::EmailSettingsState::Incomplete:
      session.ui.Error(app::email_messages::kIncompleteSettings);
      session.ui.Report(tr_("fill them in with 'voltare-cli email-config' (see its --help)"));
      return false;
    case app::EmailSettingsState::Complete:
      break;
  }
  return true;
}

std::string ReadMessageFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad())
    throw UsageError(common::Filled(tr_("--message-file: cannot read %s"), {path.string()}));
  return text;
}

// The composer's status and progress, shown the way the terminal shows the
// main window's.
void ShowProgressOnTerminal(Session& session, app::TEmail& form) {
  form.OnStatusChange = [&session, &form] { session.ui.SetStatusText(form.StatusBar.caption); };
  form.ProgressBar.OnRepaint = [&session, &form] {
    platform::Progress& bar = session.ui.ProgressBar();
    bar.setMax(form.ProgressBar.max());
    bar.setPosition(form.ProgressBar.position());
    bar.repaint();
  };
}

// Ctrl+C and SIGTERM reach the client in every wait on the server, as the
// window's Cancel does: a silent or endlessly talking server cannot keep the
// command running.
void StopOnSignal(app::TEmail& form) {
  form.Emailer.EventPump = [&form] {
    if (StopSignal() != 0 && form.Sending()) form.CancelButtonClick();
  };
}

bool EveryOneAttached(const app::TEmail& form, const std::vector<fs::path>& chosen) {
  return std::all_of(chosen.begin(), chosen.end(), [&form](const fs::path& path) {
    return std::find(form.AttachmentPaths.begin(), form.AttachmentPaths.end(), path.string()) !=
           form.AttachmentPaths.end();
  });
}

int SendMail(Session& session, const MailArguments& arguments) {
  if (!SettingsComplete(session)) return kExitFailure;
  app::TEmail& form = session.app.Email;
  const app::TMainForm& main = session.app.MainForm;
  const std::string text = arguments.messageFile.empty()
                               ? arguments.message
                               : ReadMessageFile(main.FromStartDirectory(arguments.messageFile));

  form.Open();
  form.FormShow();
  ShowProgressOnTerminal(session, form);
  StopOnSignal(form);
  form.Naar.text = arguments.to;
  form.Copy.text = arguments.cc;
  form.BCopy.text = arguments.bcc;
  form.Subject.text = arguments.subject;
  form.Message.SetText(text);
  if (!arguments.attachments.empty()) {
    std::vector<fs::path> chosen;
    for (const std::string& file : arguments.attachments) chosen.push_back(main.FromStartDirectory(file));
    session.ui.AnswerOpenDialog(chosen);
    form.AttachMentButtonClick();
    // A refused attachment has had its message; the rest is not sent without it.
    if (!EveryOneAttached(form, chosen)) {
      form.FormCloseQuery();
      form.Close();
      return kExitFailure;
    }
  }

  app::PasswordRequest request;
  request.newPassword = true;  // the message goes out encrypted under it
  app::PasswordReply reply = session.app.PasswordBox.Request(request);
  form.Password.text = std::move(reply.password);

  form.SendButtonClick();
  const bool sent = !form.IsShowing();
  form.FormCloseQuery();
  form.Close();
  return sent ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddMailCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("mail", tr_("Send a message encrypted under a password"));
  command->footer(
      tr_("\nThe message text is encrypted under the password from the password prompt\n"
          "as encrypt-text does it (strong with the Algorithm setting 3, Blowfish\n"
          "otherwise) and sent as one line of Base64, followed by a short note in\n"
          "clear; the recipient decrypts the line with the same password\n"
          "(voltare-cli decrypt-text, or \"Decrypt Clipboard\" in the program).\n"
          "Attachments are sent as they are, NOT encrypted; a stream (a named pipe,\n"
          "<(command)) is read to its end, a device or a socket is refused. Line\n"
          "breaks of the text become CR LF. The server and the sender come from the\n"
          "e-mail settings (voltare-cli email-config); TO, CC and BCC go out as typed,\n"
          "one entry each. Names and a subject outside ASCII are sent encoded\n"
          "(RFC 2047); an address outside ASCII is refused.\n"
          "\nExample: voltare-cli --password-file pw.txt mail --to bob@example.org \\\n"
          "           --subject 'Tonight' --message-file note.txt --attach plan.pdf"));
  auto arguments = std::make_shared<MailArguments>();
  command->add_option("--to", arguments->to, tr_("The recipient"))->required();
  command->add_option("--cc", arguments->cc, tr_("A recipient of a copy"));
  command->add_option("--bcc", arguments->bcc, tr_("A recipient of a blind copy"));
  command->add_option("--subject", arguments->subject, tr_("The subject (sent in clear)"));
  command->add_option("--attach", arguments->attachments, tr_("A file to attach (unencrypted); may be repeated"))
      ->type_name("FILE")
      ->check(CLI::ExistingFile);
  auto* file = command->add_option("--message-file", arguments->messageFile, tr_("Read the message text from F"))
                   ->type_name("F")
                   ->check(CLI::ExistingFile);
  auto* text = command->add_option("--message", arguments->message, tr_("The message text"))->type_name("TEXT");
  file->excludes(text);
  command->callback([&chosen, arguments] {
    chosen = [arguments = *arguments](Session& session) { return SendMail(session, arguments); };
  });
}

}  // namespace voltare::cli
