// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/about_box_view.h"

#include <QIcon>

#include "ui_about_box_view.h"

namespace voltare::gui {

AboutBoxView::AboutBoxView(app::TAboutBox& box, QWidget* parent)
    : FormDialog(box, parent), box_(box), ui_(std::make_unique<Ui::AboutBox>()) {
  ui_->setupUi(this);
  RemoveCloseButton(*this);
  const QIcon programIcon =
      QIcon::fromTheme(QStringLiteral("kova-voltare"), QIcon(QStringLiteral(":/icons/kova-voltare.svg")));
  ui_->ProgramIcon->setPixmap(programIcon.pixmap(32, 32));
  ui_->MadeIn->setPixmap(Picture(QStringLiteral("badge.svg"), 64));
  HandleClicks(ui_->OKButton, [this] { box_.OKButtonClick(); });
  Refresh();
  ShowLabelsAsPlainText(*this);
}

AboutBoxView::~AboutBoxView() = default;

void AboutBoxView::Refresh() {
  setWindowTitle(ToQString(box_.Caption));
  ShowControls(box_.Controls());
}

void AboutBoxView::CloseRequested() { box_.OKButtonClick(); }

}  // namespace voltare::gui
