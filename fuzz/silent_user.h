// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A user who types the fuzzing password at every prompt, answers No to every
// question and cancels every other dialog: enough to run the list commands
// over untrusted input without a window.

#include <string>

#include "app/shared/interaction.h"
#include "platform/progress.h"

namespace voltare::fuzz {

class SilentUser : public app::Interaction {
 public:
  explicit SilentUser(std::string password) : password_(std::move(password)) {}

  app::MessageButton ShowMessage(app::MessageKind, std::string_view, std::string_view,
                                 app::MessageButtons buttons) override {
    return buttons == app::MessageButtons::YesNo ? app::MessageButton::No : app::MessageButton::Ok;
  }
  std::vector<std::filesystem::path> ChooseOpenFiles(const app::OpenDialogRequest&) override { return {}; }
  std::optional<std::filesystem::path> ChooseSaveFile(const app::SaveDialogRequest&) override { return {}; }
  std::optional<std::filesystem::path> ChooseDirectory(const app::DirectoryRequest&) override { return {}; }
  void RunPasswordPrompt(app::TPasswordBox& box) override;
  void RunModal(app::ModalForm& form) override { form.Close(); }
  void RunArchiveViewer(app::TPLXArchiver& viewer) override;
  void SetStatusText(std::string_view text) override { status_ = text; }
  std::string StatusText() const override { return status_; }
  platform::Progress& ProgressBar() override { return progress_; }
  void SetBusyCursor(bool) override {}
  std::optional<std::string> ClipboardText() override { return {}; }
  void SetClipboardText(std::string_view) override {}
  void ClearClipboard() override {}
  bool ShellOpen(std::string_view, const std::filesystem::path&) override { return false; }
  void ShowHelp(int) override {}
  app::FileInfo GetFileInfo(const std::filesystem::path& path) override { return app::PlainFileInfo(path); }

 private:
  std::string password_;
  std::string status_;
  common::UnwatchedProgress progress_;
};

}  // namespace voltare::fuzz
