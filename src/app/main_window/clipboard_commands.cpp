// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard commands of the main window: encrypt or decrypt the
// clipboard's text in place, and open the clipboard editor.

#include <exception>
#include <string>
#include <string_view>

#include "app/main_window/clipboard_print_messages.h"
#include "app/main_window/main_form.h"
#include "app/shared/application.h"
#include "crypto/burn.h"
#include "transforms/text_crypt.h"

namespace voltare::app {

namespace {

using TextTransform = std::string (*)(std::string_view text, std::string_view password);

// Asks for a password and replaces the clipboard's text by `transform` of it.
// The text is taken as its bytes, and the limit counts bytes. The result goes
// back as bytes too: a wrong password gives bytes that need not be UTF-8, and
// whoever holds a clipboard that can only take text repairs them there.
// True when the clipboard holds the result.
bool TransformClipboard(Interaction& ui, TMainForm& form, TextTransform transform, bool encrypting) {
  try {
    const auto text = ui.ClipboardText();
    if (!text || text->size() > messages::kMaxClipboardBytes) {
      ui.Error(messages::kNoClipboardText);
      return false;
    }
    // No file, no algorithm, no bundling: just the password.
    PasswordRequest request;
    request.newPassword = encrypting;
    const PasswordReply reply = form.AskPassword(request);
    if (reply.password.empty()) return false;

    // Read again: another program may have changed the clipboard meanwhile.
    std::string current = ui.ClipboardText().value_or(std::string());
    const crypto::BurnOnExit burnCurrent(current);
    std::string result = transform(current, reply.password);
    const crypto::BurnOnExit burnResult(result);
    encrypting ? ui.SetClipboardText(result) : ui.SetSecretClipboardText(result);
    return true;
  } catch (const std::exception&) {
    // Ends the command without a message; the clipboard keeps what it had.
    return false;
  }
}

}  // namespace

void TMainForm::EncryptClipboard1Click() { EncryptClipboard(); }

void TMainForm::DecryptClipboard1Click() { DecryptClipboard(); }

bool TMainForm::EncryptClipboard() { return TransformClipboard(ui_, *this, &transforms::BlowfishEncryptString, true); }

bool TMainForm::DecryptClipboard() { return TransformClipboard(ui_, *this, &transforms::BlowfishDecryptString, false); }

void TMainForm::EditClipboard1Click() { app_.KlembordForm.EditClipboard(); }

}  // namespace voltare::app
