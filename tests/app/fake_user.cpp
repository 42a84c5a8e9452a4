// SPDX-License-Identifier: GPL-3.0-or-later
#include "fake_user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace voltare::testing {

namespace {

std::string StepName(int kind) {
  static const char* const kNames[] = {"a Yes/No answer",    "an open-file choice",      "a save-file choice",
                                       "a directory choice", "a password prompt action", "an archive viewer choice",
                                       "a modal form action"};
  return kNames[kind];
}

}  // namespace

FakeUser::~FakeUser() {
  if (!script_.empty()) {
    ADD_FAILURE() << script_.size() << " scripted answer(s) never asked for; the first is "
                  << StepName(static_cast<int>(script_.front().kind));
  }
}

FakeUser& FakeUser::Add(Step step) {
  script_.push_back(std::move(step));
  return *this;
}

FakeUser& FakeUser::AnswerYes() {
  Step step{StepKind::YesNo};
  step.yes = true;
  return Add(std::move(step));
}
FakeUser& FakeUser::AnswerYesAfter(std::function<void()> meanwhile) {
  Step step{StepKind::YesNo};
  step.yes = true;
  step.meanwhile = std::move(meanwhile);
  return Add(std::move(step));
}
FakeUser& FakeUser::AnswerNo() { return Add(Step{StepKind::YesNo}); }

FakeUser& FakeUser::ChooseFiles(std::vector<std::filesystem::path> files) {
  Step step{StepKind::OpenFiles};
  step.files = std::move(files);
  return Add(std::move(step));
}
FakeUser& FakeUser::CancelOpen() { return Add(Step{StepKind::OpenFiles}); }

FakeUser& FakeUser::ChooseSaveFile(std::filesystem::path file) {
  Step step{StepKind::SaveFile};
  step.path = std::move(file);
  return Add(std::move(step));
}
FakeUser& FakeUser::CancelSave() { return Add(Step{StepKind::SaveFile}); }

FakeUser& FakeUser::ChooseDirectory(std::filesystem::path directory) {
  Step step{StepKind::Directory};
  step.path = std::move(directory);
  return Add(std::move(step));
}
FakeUser& FakeUser::CancelDirectory() { return Add(Step{StepKind::Directory}); }

FakeUser& FakeUser::EnterPassword(std::string password) {
  return OnPasswordPrompt([password = std::move(password)](app::TPasswordBox& box) {
    box.Password.text = password;
    box.ContinueClick();
  });
}
FakeUser& FakeUser::CancelPassword() {
  return OnPasswordPrompt([](app::TPasswordBox& box) { box.CancelClick(); });
}
FakeUser& FakeUser::OnPasswordPrompt(std::function<void(app::TPasswordBox&)> action) {
  Step step{StepKind::Password};
  step.onPassword = std::move(action);
  return Add(std::move(step));
}

FakeUser& FakeUser::ChooseArchiveMembers(std::string outputDirectory, std::vector<std::string> members) {
  return OnArchiveViewer(
      [outputDirectory = std::move(outputDirectory), members = std::move(members)](app::TPLXArchiver& viewer) {
        const auto& items = viewer.FileList.Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
          if (std::find(members.begin(), members.end(), items[i].caption) != members.end()) viewer.FileList.Select(i);
        }
        if (!outputDirectory.empty()) viewer.Directory.text = outputDirectory;
        viewer.ContinueButtonClick();
      });
}
FakeUser& FakeUser::CancelArchive() {
  return OnArchiveViewer([](app::TPLXArchiver& viewer) { viewer.CancelButtonClick(); });
}
FakeUser& FakeUser::OnArchiveViewer(std::function<void(app::TPLXArchiver&)> action) {
  Step step{StepKind::Archive};
  step.onArchive = std::move(action);
  return Add(std::move(step));
}

FakeUser& FakeUser::OnForm(std::string formName, std::function<void(app::ModalForm&)> action) {
  Step step{StepKind::Form};
  step.formName = std::move(formName);
  step.onForm = std::move(action);
  return Add(std::move(step));
}

std::vector<std::string> FakeUser::MessageLog() const {
  std::vector<std::string> log;
  for (const auto& message : messages) log.push_back(std::string(app::KindName(message.kind)) + ": " + message.text);
  return log;
}

std::optional<FakeUser::Step> FakeUser::Next(StepKind kind, const std::string& question) {
  if (script_.empty()) {
    ADD_FAILURE() << "unexpected question: " << question;
    return std::nullopt;
  }
  if (script_.front().kind != kind) {
    ADD_FAILURE() << "asked " << question << " while the script expected "
                  << StepName(static_cast<int>(script_.front().kind));
    return std::nullopt;
  }
  Step step = std::move(script_.front());
  script_.pop_front();
  return step;
}

app::MessageButton FakeUser::ShowMessage(app::MessageKind kind, std::string_view caption, std::string_view text,
                                         app::MessageButtons buttons) {
  messages.push_back({kind, std::string(caption), std::string(text), buttons});
  if (buttons == app::MessageButtons::Ok) return app::MessageButton::Ok;
  const auto step = Next(StepKind::YesNo, "\"" + std::string(text) + "\" (Yes/No)");
  if (step && step->meanwhile) step->meanwhile();
  return step && step->yes ? app::MessageButton::Yes : app::MessageButton::No;
}

std::vector<std::filesystem::path> FakeUser::ChooseOpenFiles(const app::OpenDialogRequest& request) {
  openRequests.push_back(request);
  const auto step = Next(StepKind::OpenFiles, "an open-file dialog \"" + request.title + "\"");
  return step ? step->files : std::vector<std::filesystem::path>{};
}

std::optional<std::filesystem::path> FakeUser::ChooseSaveFile(const app::SaveDialogRequest& request) {
  saveRequests.push_back(request);
  const auto step = Next(StepKind::SaveFile, "a save-file dialog \"" + request.title + "\"");
  return step ? step->path : std::nullopt;
}

std::optional<std::filesystem::path> FakeUser::ChooseDirectory(const app::DirectoryRequest& request) {
  directoryRequests.push_back(request);
  const auto step = Next(StepKind::Directory, "a directory chooser \"" + request.caption + "\"");
  return step ? step->path : std::nullopt;
}

void FakeUser::RunPasswordPrompt(app::TPasswordBox& box) {
  passwordPrompts.push_back({box.FileName.caption, box.Algorithm.caption, box.PLX.visible, box.AlgoHeader.visible,
                             box.Algorithm.visible, std::string(box.Password.text), box.Password.passwordChar == '*',
                             box.RemindPass.checked, box.PLX.checked});
  const auto step = Next(StepKind::Password, "the password prompt for \"" + box.FileName.caption + "\"");
  if (step) step->onPassword(box);
  if (box.IsShowing()) {
    if (step) ADD_FAILURE() << "the scripted action left the password prompt open";
    box.CancelClick();
  }
}

void FakeUser::RunModal(app::ModalForm& form) {
  formsShown.emplace_back(form.FormName());
  const auto step = Next(StepKind::Form, "the modal form " + std::string(form.FormName()));
  if (step && step->formName != form.FormName()) {
    ADD_FAILURE() << "showed " << form.FormName() << " while the script expected " << step->formName;
  } else if (step) {
    step->onForm(form);
  }
  if (form.IsShowing()) {
    if (step) ADD_FAILURE() << "the scripted action left " << form.FormName() << " open";
    form.Close();
  }
}

void FakeUser::RunArchiveViewer(app::TPLXArchiver& viewer) {
  archiveRequests.push_back({viewer.ArchivePath()});
  SeenArchiveViewer seen{viewer.Caption, viewer.Directory.text, {}};
  for (const app::ArchiveListItem& item : viewer.FileList.Items()) seen.members.emplace_back(item.caption, item.size);
  archiveViewers.push_back(std::move(seen));
  const auto step = Next(StepKind::Archive, "the archive viewer for " + viewer.ArchivePath().string());
  if (step) step->onArchive(viewer);
  if (viewer.IsShowing()) {
    if (step) ADD_FAILURE() << "the scripted action left the archive viewer open";
    viewer.CancelButtonClick();
  }
}

void FakeUser::SetStatusText(std::string_view text) {
  status_ = std::string(text);
  statusTexts.push_back(status_);
  if (onStatusText) onStatusText(status_);
}

void FakeUser::SetBusyCursor(bool busy) {
  if (busy) {
    ++busyDepth;
    ++busyShown;
  } else {
    --busyDepth;
  }
}

bool FakeUser::ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) {
  shellOpens.emplace_back(std::string(target), workingDirectory);
  return true;
}

}  // namespace voltare::testing
