// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive viewer's window over its TPLXArchiver: the members of the
// archive to pick from and the output directory.

#include <memory>

#include "app/dialogs/plx_archiver.h"
#include "gui/form_dialog.h"

namespace Ui {
class PLXArchiver;
}

namespace voltare::gui {

class PLXArchiverView : public FormDialog {
 public:
  PLXArchiverView(app::TPLXArchiver& viewer, QWidget* parent);
  ~PLXArchiverView() override;

  void Refresh() override;

 protected:
  void CloseRequested() override;
  void FocusActiveControl() override;

 private:
  void FillMembers();
  void ShowSelection();
  void WriteSelection();

  app::TPLXArchiver& viewer_;
  std::unique_ptr<Ui::PLXArchiver> ui_;
};

}  // namespace voltare::gui
