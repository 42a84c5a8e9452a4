// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard commands of the main window: encrypt or decrypt the
// clipboard's text in place, and open the clipboard editor.

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/main_window/clipboard_print_messages.h"
#include "app/main_window/main_form.h"
#include "app/main_window/sealed_key_status.h"
#include "app/shared/application.h"
#include "app/shared/sealed_texts.h"
#include "common/secret_string.h"
#include "crypto/burn.h"
#include "transforms/sealed_key.h"
#include "transforms/text_crypt.h"

namespace voltare::app {

namespace {

// Whether the clipboard holds a text the commands take, said when not. The
// text is taken as its bytes, and the limit counts bytes.
bool ClipboardHoldsText(Interaction& ui) {
  auto text = ui.ClipboardText();
  const bool taken = text && text->size() <= messages::kMaxClipboardBytes;
  if (text) crypto::Burn(*text);
  if (!taken) ui.Error(messages::kNoClipboardText);
  return taken;
}

// No file, no algorithm, no bundling: just the password. Empty when cancelled.
common::SecretString AskTextPassword(TMainForm& form, bool encrypting) {
  PasswordRequest request;
  request.newPassword = encrypting;
  PasswordReply reply = form.AskPassword(request);
  return std::move(reply.password);
}

// The clipboard's text again after the prompt: another program may have
// changed it meanwhile.
std::string ClipboardTextNow(Interaction& ui) { return ui.ClipboardText().value_or(std::string()); }

// A sealed text's failure, told as a file's would be: nothing of the text is shown.
void ReportSealedTextFailure(Interaction& ui, platform::ResultCode code) {
  if (code == platform::ErrCancelled) return;
  if (code == platform::ErrBadPassword) {
    ui.Error(platform::ErrorFormat(code));
  } else if (code == platform::ErrTampered || code == platform::ErrBadFile) {
    ui.Error(messages::kTamperedText);
  } else {
    ui.Error(platform::ErrorFormat(code));
  }
}

// The sealed line of `text`, under a key of its own; nothing, with the message
// shown, when the line would be longer than the clipboard commands take.
std::optional<std::string> SealedLine(Interaction& ui, std::string_view text, std::string_view password) {
  transforms::SealedKeyRing ring;  // one text, one salt
  ShowKeyDerivations(ui, ring);
  std::string line = transforms::SealText(text, ring.ForEncryption(password));
  ui.ProgressBar().setPosition(0);
  if (line.size() > messages::kMaxClipboardBytes) {
    ui.Error(messages::kNoClipboardText);
    return std::nullopt;
  }
  return line;
}

}  // namespace

void TMainForm::EncryptClipboard1Click() { EncryptClipboard(); }

void TMainForm::DecryptClipboard1Click() { DecryptClipboard(); }

// Replaces the clipboard's text by its encrypted line, sealed when the
// settings ask for it. True when the clipboard holds the line.
bool TMainForm::EncryptClipboard() {
  try {
    if (!ClipboardHoldsText(ui_)) return false;
    const std::optional<bool> sealed = TextsAreSealed(ui_, app_.Overrides);
    if (!sealed) return false;
    const common::SecretString password = AskTextPassword(*this, true);
    if (password.empty()) return false;

    std::string current = ClipboardTextNow(ui_);
    const crypto::BurnOnExit burnCurrent(current);
    if (!*sealed) {
      ui_.SetClipboardText(transforms::BlowfishEncryptString(current, password));
      return true;
    }
    if (current.empty()) {  // as the compatible form: an empty text stays empty
      ui_.SetClipboardText(current);
      return true;
    }
    const std::optional<std::string> line = SealedLine(ui_, current, password);
    if (!line) return false;
    ui_.SetClipboardText(*line);
    return true;
  } catch (const std::exception&) {
    // Ends the command without a message; the clipboard keeps what it had.
    return false;
  }
}

// Replaces the clipboard's line by its text, in whichever form it came. A
// compatible line has no check: a wrong password gives bytes that need not be
// UTF-8, and whoever holds a clipboard that can only take text repairs them
// there. A sealed line gives its text or a message, never garbled text. True
// when the clipboard holds the text.
bool TMainForm::DecryptClipboard() {
  try {
    if (!ClipboardHoldsText(ui_)) return false;
    const common::SecretString password = AskTextPassword(*this, false);
    if (password.empty()) return false;

    std::string current = ClipboardTextNow(ui_);
    const crypto::BurnOnExit burnCurrent(current);
    if (!transforms::IsSealedText(current)) {
      std::string text = transforms::BlowfishDecryptString(current, password);
      const crypto::BurnOnExit burnText(text);
      ui_.SetSecretClipboardText(text);
      return true;
    }
    transforms::SealedKeyRing ring;
    ShowKeyDerivations(ui_, ring);
    common::SecretString text;
    const platform::ResultCode opened = transforms::OpenSealedText(
        current,
        [&](const transforms::SealedSalt& salt, const transforms::Argon2Limits& limits)
            -> const transforms::SealedKey& { return ring.ForFile(password, salt, limits); },
        messages::kMaxClipboardBytes, text, ui_.ProgressBar());
    ui_.ProgressBar().setPosition(0);
    if (opened != platform::Success) {
      ReportSealedTextFailure(ui_, opened);
      return false;
    }
    ui_.SetSecretClipboardText(text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TMainForm::EditClipboard1Click() { app_.KlembordForm.EditClipboard(); }

}  // namespace voltare::app
