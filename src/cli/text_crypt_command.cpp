// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli encrypt-text [TEXT]
// voltare-cli decrypt-text [TEXT]
//
// The clipboard commands on a text of the command line or of standard input:
// the text goes on the tool's clipboard, the command runs on it, and the
// clipboard's new text is written out.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/main_window/clipboard_print_messages.h"
#include "cli/command.h"
#include "common/translate.h"
#include "crypto/burn.h"

namespace voltare::cli {

namespace {

// Enough to tell a text that is too long (the line end that is dropped below
// does not count) without reading an endless input to its end.
constexpr std::size_t kInputLimit = app::messages::kMaxClipboardBytes + 3;

// Standard input as one text without its final line end, so that a line
// written by `echo` or by this tool reads as the line itself. Nothing when
// the input is empty or cannot be read.
std::optional<std::string> ReadStandardInput() {
  std::string text(kInputLimit, '\0');
  std::size_t size = 0;
  while (size < text.size()) {
    const std::size_t got = std::fread(text.data() + size, 1, text.size() - size, stdin);
    if (got == 0) break;
    size += got;
  }
  text.resize(size);
  // A password asked on the terminal afterwards reads past the end of the text.
  std::clearerr(stdin);
  std::cin.clear();
  if (text.empty()) return std::nullopt;
  if (text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// Whether a line end follows the result: the Base64 line always has one; a
// decrypted text is written exactly as it was encrypted, and gets one only on
// a terminal, where the prompt would otherwise run on from it.
enum class LineEnd { Always, OnTerminal };

int TransformText(Session& session, const std::optional<std::string>& argument, bool (app::TMainForm::*command)(),
                  LineEnd lineEnd) {
  std::optional<std::string> input = argument ? argument : ReadStandardInput();
  // Refused with the clipboard command's own words, and the reason after them.
  if (!input || input->empty() || input->size() > app::messages::kMaxClipboardBytes) {
    session.ui.Error(app::messages::kNoClipboardText);
    session.ui.Report(!input || input->empty() ? tr_("the text is empty")
                                               : tr_("the text is longer than 65535 bytes, the most a text may have"));
    if (input) crypto::Burn(*input);
    return kExitFailure;
  }
  session.ui.SetClipboardText(*input);
  crypto::Burn(*input);

  app::TMainForm& form = session.app.MainForm;
  // Refused (already reported) or cancelled in the password prompt.
  if (!(form.*command)() || session.ui.ErrorShown()) return kExitFailure;
  std::string result = session.ui.ClipboardText().value_or(std::string());
  std::fwrite(result.data(), 1, result.size(), stdout);
  crypto::Burn(result);
  if (lineEnd == LineEnd::Always || ::isatty(STDOUT_FILENO) == 1) std::fputc('\n', stdout);
  std::fflush(stdout);
  return kExitSuccess;
}

void AddTextCommand(CLI::App& parent, CommandAction& chosen, const std::string& name, const std::string& description,
                    const std::string& footer, bool (app::TMainForm::*command)(), LineEnd lineEnd) {
  CLI::App* subcommand = parent.add_subcommand(name, description);
  subcommand->footer(footer);
  auto text = std::make_shared<std::optional<std::string>>();
  subcommand->add_option("TEXT", *text, tr_("The text; standard input when absent"));
  subcommand->callback([&chosen, text, command, lineEnd] {
    chosen = [text = *text, command, lineEnd](Session& session) {
      return TransformText(session, text, command, lineEnd);
    };
  });
}

constexpr const char* kInputNotes =
    N_("Without TEXT, standard input is read, less its final line end. Input of\n"
       "more than 65535 bytes, or an empty text, is refused as the clipboard command\n"
       "refuses it (\"No text found on clipboard !\"), followed by the reason.");

constexpr const char* kFormNotes =
    N_("With the Algorithm setting 3 (xchacha20) the line is an XChaCha20-Poly1305\n"
       "encrypted file of the text, strong like such files, which KOVA Voltare for\n"
       "Linux 2.50 or later opens; with 0 to 2 it is the compatible Blowfish form.");

}  // namespace

void AddEncryptTextCommand(CLI::App& parent, CommandAction& chosen) {
  AddTextCommand(parent, chosen, "encrypt-text", tr_("Encrypt a text under a password into one line of Base64"),
                 std::string(tr_("\nWhat \"Encrypt Clipboard\" does to the clipboard, done to TEXT; the line\n"
                                 "is written to standard output.\n")) +
                     tr_(kFormNotes) + "\n\n" + tr_(kInputNotes) +
                     tr_("\nA text whose line would be longer than 65535 bytes is refused with the same\n"
                         "message.") +
                     "\n\n" + tr_("Example:") +
                     " echo 'meet at noon' | voltare-cli --password-file pw.txt encrypt-text",
                 &app::TMainForm::EncryptClipboard, LineEnd::Always);
}

void AddDecryptTextCommand(CLI::App& parent, CommandAction& chosen) {
  AddTextCommand(parent, chosen, "decrypt-text", tr_("Decrypt a line made by encrypt-text or the clipboard command"),
                 std::string(tr_("\nWhat \"Decrypt Clipboard\" does to the clipboard, done to TEXT; the text is\n"
                                 "written to standard output byte for byte, whatever its encoding, with a\n"
                                 "line end added only on a terminal. Either form is taken, whatever the\n"
                                 "Algorithm setting. A compatible line has no check: a wrong password gives\n"
                                 "garbled bytes. A strong line reports a wrong password, or a change, and\n"
                                 "writes nothing.\n")) +
                     tr_(kInputNotes) + "\n\n" + tr_("Example:") +
                     " voltare-cli --password-file pw.txt decrypt-text < message.txt",
                 &app::TMainForm::DecryptClipboard, LineEnd::OnTerminal);
}

}  // namespace voltare::cli
