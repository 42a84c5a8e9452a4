// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/interaction.h"

#include "common/translate.h"
#include "platform/file_info.h"

namespace voltare::app {

std::string_view DefaultCaption(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return tr_("Warning");
    case MessageKind::Error:
      return tr_("Error");
    case MessageKind::Information:
      return tr_("Information");
    case MessageKind::Confirmation:
      return tr_("Confirm");
  }
  return "";
}

std::string_view KindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return "warning";
    case MessageKind::Error:
      return "error";
    case MessageKind::Information:
      return "information";
    case MessageKind::Confirmation:
      return "confirmation";
  }
  return "";
}

FileInfo PlainFileInfo(const std::filesystem::path& path) {
  FileInfo info;
  info.displayName = path.filename().string();
  info.typeName = platform::FileTypeName(path);
  return info;
}

void ShowModal(Interaction& ui, ModalForm& form) {
  form.Open();
  form.FormShow();
  ui.RunModal(form);
  form.Close();
}

void Interaction::Warning(std::string_view text) {
  ShowMessage(MessageKind::Warning, DefaultCaption(MessageKind::Warning), text, MessageButtons::Ok);
}

void Interaction::Error(std::string_view text) {
  ShowMessage(MessageKind::Error, DefaultCaption(MessageKind::Error), text, MessageButtons::Ok);
}

void Interaction::FileFailed(const FileFailure& failure) { Error(FailureBoxText(failure)); }

void Interaction::BatchStopped(const std::vector<std::string>& notTried) {
  if (notTried.empty()) return;
  Error(BatchStoppedSentence(notTried));
}

void Interaction::Information(std::string_view text) {
  ShowMessage(MessageKind::Information, DefaultCaption(MessageKind::Information), text, MessageButtons::Ok);
}

bool Interaction::Ask(MessageKind kind, std::string_view text, EnterAnswers enter) {
  return ShowQuestion(kind, DefaultCaption(kind), text, enter) == MessageButton::Yes;
}

}  // namespace voltare::app
