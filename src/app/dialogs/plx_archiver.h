// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive viewer: the members of a PLX archive, of which the user picks
// the ones to decrypt, and the directory the decrypted files go to. It
// extracts nothing itself; the caller does that with the answer. One
// instance lives for the whole run; every opening fills it anew.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "common/translate.h"
#include "platform/result_codes.h"

namespace voltare::app {

// The icon of the main window's command pictures that marks a member.
inline constexpr int kMemberIcon = 15;

struct ArchiveListItem {
  std::string caption;  // the member name as stored in the archive
  std::string size;     // SizeInKB of the member followed by "KB"
  int imageIndex = kMemberIcon;
  bool selected = false;
};

// The member list: a report view ("FileName", "Size"), several rows
// selectable. Row i is entry i of the archive; rows are chosen by position,
// since two entries may carry the same name.
class ArchiveListView : public Control {
 public:
  const std::vector<ArchiveListItem>& Items() const noexcept { return items_; }
  std::size_t Count() const noexcept { return items_.size(); }
  void Clear() { items_.clear(); }
  void Add(ArchiveListItem item) { items_.push_back(std::move(item)); }

  std::size_t SelectedCount() const;
  // Positions of the selected rows, ascending (archive order).
  std::vector<std::size_t> SelectedIndices() const;
  // (De)selects the row at `index`; a position past the end is ignored.
  void Select(std::size_t index, bool selected = true);
  void SetAllSelected(bool selected);

 private:
  std::vector<ArchiveListItem> items_;
};

// How an opening of the viewer ended: the user's answer, or, when the archive
// could not be read and the viewer was therefore not shown, the reason.
struct [[nodiscard]] ArchiveViewerResult {
  platform::ResultCode result = platform::Success;  // not Success: not shown
  ArchiveChoice choice;
};

class TPLXArchiver : public ModalForm {
 public:
  explicit TPLXArchiver(Interaction& ui);

  std::string_view FormName() const override { return "PLXArchiver"; }

  // Fills the viewer from the archive and runs it modally through the
  // interaction. A missing or damaged archive is not shown (the reason comes
  // back, unreported); otherwise the answer of Continue or Cancel.
  ArchiveViewerResult Request(const ArchiveRequest& request);

  // The archive of the current opening.
  const std::filesystem::path& ArchivePath() const noexcept { return archivePath_; }

  // Handlers.
  void FormShow() override;
  void SelectDirClick();
  void ContinueButtonClick();
  void CancelButtonClick();
  // The context menu's "&Select All...": selects every member.
  void SelectAll1Click();

  // Every control, by its member name.
  std::vector<NamedControl> Controls();

  // Controls.
  std::string Caption;
  ArchiveListView FileList;
  Label Header{tr_("Output directory:")};
  Edit Directory;
  Button SelectDir{".."};
  Button ContinueButton{tr_("Continue")};
  Button CancelButton{tr_("Cancel")};
  MenuItem SelectAll1{tr_("&Select All...")};
  // The control that has the input focus.
  const Control* ActiveControl = nullptr;

 private:
  [[nodiscard]] platform::ResultCode Fill(const std::filesystem::path& archivePath);
  void Answer(ArchiveChoice choice);

  Interaction& ui_;
  std::filesystem::path archivePath_;
  ArchiveChoice answer_;
};

}  // namespace voltare::app
