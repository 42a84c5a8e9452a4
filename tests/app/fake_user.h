// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted user for command tests. It records every message the program
// shows (kind, caption, text) and answers every question (Yes/No boxes,
// dialogs, the password prompt, the archive viewer, modal forms) from a
// script the test writes beforehand, in order. A question the script does not
// expect fails the test and is answered as cancelled; script steps left over
// when the fake user goes away fail the test too.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs/password_box.h"
#include "app/dialogs/plx_archiver.h"
#include "app/shared/interaction.h"

namespace voltare::testing {

struct RecordedMessage {
  app::MessageKind kind;
  std::string caption;
  std::string text;
  app::MessageButtons buttons;
};

// What the password prompt showed when it opened.
struct SeenPasswordPrompt {
  std::string fileName;
  std::string algorithm;
  bool bundleVisible = false;
  bool headerVisible = false;
  bool algorithmVisible = false;
  std::string passwordText;  // what the edit already held
  bool masked = false;       // "*" shown for the characters
  bool remindChecked = false;
  bool bundleChecked = false;
};

// What the archive viewer showed when it opened.
struct SeenArchiveViewer {
  std::string caption;
  std::string directory;
  std::vector<std::pair<std::string, std::string>> members;  // caption, size
};

// The progress bar, remembering everything done to it.
class RecordingProgress : public platform::Progress {
 public:
  void setMax(std::int64_t max) override { max_ = max; }
  void setPosition(std::int64_t position) override {
    position_ = position;
    positions.push_back(position);
  }
  std::int64_t position() const override { return position_; }
  void repaint() override {
    ++repaints;
    if (onRepaint) onRepaint();
  }

  bool cancelRequested() const override { return stopped; }

  std::int64_t max() const { return max_; }
  std::vector<std::int64_t> positions;
  // Set as Cancel in the window would: the running step stops at its next piece.
  bool stopped = false;
  int repaints = 0;
  // Runs at every repaint: a look at the files while the work is under way.
  std::function<void()> onRepaint;

 private:
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
};

class FakeUser : public app::Interaction {
 public:
  FakeUser() = default;
  ~FakeUser() override;
  FakeUser(const FakeUser&) = delete;
  FakeUser& operator=(const FakeUser&) = delete;

  // --- the script, in the order the questions will come
  FakeUser& AnswerYes();
  // Runs `meanwhile` while the question waits, then answers Yes: a look at
  // what someone else does to the files before the user replies.
  FakeUser& AnswerYesAfter(std::function<void()> meanwhile);
  FakeUser& AnswerNo();
  FakeUser& ChooseFiles(std::vector<std::filesystem::path> files);
  FakeUser& CancelOpen();
  FakeUser& ChooseSaveFile(std::filesystem::path file);
  FakeUser& CancelSave();
  FakeUser& ChooseDirectory(std::filesystem::path directory);
  FakeUser& CancelDirectory();
  // Types `password` into the prompt (replacing what it holds) and presses OK.
  FakeUser& EnterPassword(std::string password);
  FakeUser& CancelPassword();
  // Acts on the open prompt; the action must leave it closed.
  FakeUser& OnPasswordPrompt(std::function<void(app::TPasswordBox&)> action);
  // Selects every entry of these names, puts `outputDirectory` into the
  // directory edit (an empty text keeps the one the viewer proposes) and
  // presses Continue.
  FakeUser& ChooseArchiveMembers(std::string outputDirectory, std::vector<std::string> members);
  FakeUser& CancelArchive();
  // Acts on the open archive viewer; the action must leave it closed.
  FakeUser& OnArchiveViewer(std::function<void(app::TPLXArchiver&)> action);
  // Acts on a modal form of that name; the action must leave it closed.
  FakeUser& OnForm(std::string formName, std::function<void(app::ModalForm&)> action);

  // True when every script step has been used.
  bool ScriptDone() const { return script_.empty(); }

  // --- what the program did
  std::vector<RecordedMessage> messages;
  // "kind: text" for every message, for compact assertions.
  std::vector<std::string> MessageLog() const;

  std::vector<app::OpenDialogRequest> openRequests;
  std::vector<app::SaveDialogRequest> saveRequests;
  std::vector<app::DirectoryRequest> directoryRequests;
  std::vector<SeenPasswordPrompt> passwordPrompts;
  std::vector<app::ArchiveRequest> archiveRequests;
  std::vector<SeenArchiveViewer> archiveViewers;
  std::vector<std::string> formsShown;
  std::vector<std::string> statusTexts;
  // Called with every status text as it is shown: lets a test act at a
  // chosen moment of a command (change a file between two steps).
  std::function<void(const std::string&)> onStatusText;
  RecordingProgress progress;
  int busyDepth = 0;  // now
  int busyShown = 0;  // how often the busy cursor was switched on
  std::optional<std::string> clipboard;
  std::vector<std::pair<std::string, std::filesystem::path>> shellOpens;
  std::vector<int> helpContexts;

  // --- Interaction
  app::MessageButton ShowMessage(app::MessageKind kind, std::string_view caption, std::string_view text,
                                 app::MessageButtons buttons) override;
  std::vector<std::filesystem::path> ChooseOpenFiles(const app::OpenDialogRequest& request) override;
  std::optional<std::filesystem::path> ChooseSaveFile(const app::SaveDialogRequest& request) override;
  std::optional<std::filesystem::path> ChooseDirectory(const app::DirectoryRequest& request) override;
  void RunPasswordPrompt(app::TPasswordBox& box) override;
  void RunModal(app::ModalForm& form) override;
  void RunArchiveViewer(app::TPLXArchiver& viewer) override;
  void SetStatusText(std::string_view text) override;
  std::string StatusText() const override { return status_; }
  platform::Progress& ProgressBar() override { return progress; }
  void SetBusyCursor(bool busy) override;
  std::optional<std::string> ClipboardText() override { return clipboard; }
  void SetClipboardText(std::string_view text) override { clipboard = std::string(text); }
  void ClearClipboard() override { clipboard.reset(); }
  bool ShellOpen(std::string_view target, const std::filesystem::path& workingDirectory) override;
  void ShowHelp(int context) override { helpContexts.push_back(context); }
  app::FileInfo GetFileInfo(const std::filesystem::path& path) override { return app::PlainFileInfo(path); }

 private:
  enum class StepKind { YesNo, OpenFiles, SaveFile, Directory, Password, Archive, Form };
  struct Step {
    explicit Step(StepKind k) : kind(k) {}
    StepKind kind;
    bool yes = false;
    std::function<void()> meanwhile;
    std::vector<std::filesystem::path> files;
    std::optional<std::filesystem::path> path;
    std::function<void(app::TPasswordBox&)> onPassword;
    std::function<void(app::TPLXArchiver&)> onArchive;
    std::string formName;
    std::function<void(app::ModalForm&)> onForm;
  };

  FakeUser& Add(Step step);
  // The next step if it answers a question of this kind; fails the test otherwise.
  std::optional<Step> Next(StepKind kind, const std::string& question);

  std::deque<Step> script_;
  std::string status_;
};

}  // namespace voltare::testing
