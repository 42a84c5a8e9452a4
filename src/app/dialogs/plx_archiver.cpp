// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs/plx_archiver.h"

#include <system_error>
#include <utility>

#include "app/main_window/decrypt_messages.h"
#include "app/main_window/file_list.h"
#include "archive/plx_reader.h"
#include "platform/file.h"

namespace voltare::app {

namespace fs = std::filesystem;
namespace text = decrypt_messages;

// ---------------------------------------------------------------------------
// The member list

std::size_t ArchiveListView::SelectedCount() const {
  std::size_t count = 0;
  for (const ArchiveListItem& item : items_) count += item.selected ? 1 : 0;
  return count;
}

std::vector<std::size_t> ArchiveListView::SelectedIndices() const {
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].selected) indices.push_back(i);
  }
  return indices;
}

void ArchiveListView::Select(std::size_t index, bool selected) {
  if (index < items_.size()) items_[index].selected = selected;
}

void ArchiveListView::SetAllSelected(bool selected) {
  for (ArchiveListItem& item : items_) item.selected = selected;
}

// ---------------------------------------------------------------------------
// The viewer

TPLXArchiver::TPLXArchiver(Interaction& ui) : ui_(ui) {}

ArchiveViewerResult TPLXArchiver::Request(const ArchiveRequest& request) {
  archivePath_ = request.archivePath;
  if (!platform::FileExists(archivePath_)) return {platform::ErrNoSuchFile, {}};

  const platform::ResultCode filled = Fill(archivePath_);
  if (filled != platform::Success) return {filled, {}};

  answer_ = ArchiveChoice{};
  Open();
  FormShow();
  ui_.RunArchiveViewer(*this);
  if (IsShowing()) CancelButtonClick();  // a view that gave up counts as Cancel
  return {platform::Success, std::exchange(answer_, ArchiveChoice{})};
}

[[nodiscard]] platform::ResultCode TPLXArchiver::Fill(const fs::path& archivePath) {
  Caption = std::string(text::kViewerCaption) + archivePath.string();
  std::error_code ignored;
  Directory.text = fs::absolute(archivePath, ignored).parent_path().string();
  if (!Directory.text.ends_with('/')) Directory.text += '/';
  FileList.Clear();

  std::vector<archive::ArchiveMember> members;
  const platform::ResultCode result = archive::ListArchiveMembers(archivePath, members);
  if (result != platform::Success) return result;
  for (const archive::ArchiveMember& member : members) {
    ArchiveListItem item;
    item.caption = member.name;
    item.size = std::to_string(SizeInKB(member.size)) + "KB";
    FileList.Add(std::move(item));
  }
  return platform::Success;
}

std::vector<NamedControl> TPLXArchiver::Controls() {
  return {{"FileList", &FileList},
          {"Header", &Header},
          {"Directory", &Directory},
          {"SelectDir", &SelectDir},
          {"ContinueButton", &ContinueButton},
          {"CancelButton", &CancelButton},
          {"SelectAll1", &SelectAll1}};
}

void TPLXArchiver::FormShow() { ActiveControl = &FileList; }

void TPLXArchiver::SelectDirClick() {
  const auto chosen = ui_.ChooseDirectory({std::string(text::kChooseOutputDirectory), {}});
  if (chosen) Directory.text = chosen->string();
}

void TPLXArchiver::ContinueButtonClick() {
  if (FileList.SelectedCount() == 0) {
    ui_.Error(text::kNothingSelected);
    return;
  }
  std::error_code error;
  if (Directory.text.empty() || !fs::is_directory(Directory.text, error)) {
    ui_.Error(text::FillName(text::kNoSuchDirectory, Directory.text));
    ActiveControl = &Directory;
    return;
  }
  std::string directory = Directory.text;
  if (!directory.ends_with('/')) directory += '/';
  Close();
  Answer({std::move(directory), FileList.SelectedIndices()});
}

void TPLXArchiver::CancelButtonClick() {
  Close();
  Answer({});
}

void TPLXArchiver::SelectAll1Click() {
  FileList.SetAllSelected(true);
  ActiveControl = &FileList;
}

void TPLXArchiver::Answer(ArchiveChoice choice) { answer_ = std::move(choice); }

}  // namespace voltare::app
