// SPDX-License-Identifier: GPL-3.0-or-later
// Saved file lists: the list text a ".vls" holds once decrypted, and the
// whole ".vls" as someone may send it.

#include <filesystem>

#include "app/dialogs/password_box.h"
#include "app/dialogs/plx_archiver.h"
#include "app/shared/application.h"
#include "fuzz_target.h"
#include "scratch.h"
#include "silent_user.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

namespace voltare::fuzz {

namespace {

// The password of the known-answer files the seeds come from.
constexpr std::string_view kPassword = "Open sesame";

// The program's windows, made once: the about box reads the machine's
// description when it is made, which no input changes.
struct Program {
  SilentUser user{std::string(kPassword)};
  app::Application application{user, ScratchDir()};
};

app::TMainForm& MainForm() {
  static Program program;
  return program.application.MainForm;
}

void OpenList(const std::filesystem::path& listFile) {
  app::TMainForm& form = MainForm();
  form.ClearList1Click();
  // Any outcome will do: the fuzzer looks for crashes and leaks.
  (void)form.LoadListFile(listFile);
}

}  // namespace

void SilentUser::RunPasswordPrompt(app::TPasswordBox& box) {
  box.Password.text = password_;
  box.ContinueClick();
  if (box.IsShowing()) box.CancelClick();
}

void SilentUser::RunArchiveViewer(app::TPLXArchiver& viewer) { viewer.CancelButtonClick(); }

// The input is the list text: it is packed into a ".vls" as the program
// saves one, so that opening the list reaches its reader.
void FuzzListText(std::span<const std::uint8_t> input) {
  ClearScratch();
  const auto text = WriteInput(input, "list.ini");
  const auto compressed = ScratchDir() / "list.z";
  const auto listFile = ScratchDir() / "input.vls";
  common::UnwatchedProgress progress;
  if (transforms::CompressFile(text, compressed, &progress) != platform::Success) return;
  if (transforms::BlowfishEncryptFile(compressed, listFile, kPassword, &progress, true) != platform::Success) return;
  OpenList(listFile);
}

// The input is the ".vls" file itself.
void FuzzListFile(std::span<const std::uint8_t> input) {
  ClearScratch();
  OpenList(WriteInput(input, "input.vls"));
}

}  // namespace voltare::fuzz
