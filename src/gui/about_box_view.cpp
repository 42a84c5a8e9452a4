// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/about_box_view.h"

#include <QIcon>

#include "ui_about_box_view.h"

namespace voltare::gui {

namespace {

void SetRelativePointSize(QWidget& widget, int difference, bool bold) {
  QFont font = widget.font();
  font.setPointSizeF(font.pointSizeF() + difference);
  font.setBold(bold);
  widget.setFont(font);
}

}  // namespace

AboutBoxView::AboutBoxView(app::TAboutBox& box, QWidget* parent)
    : FormDialog(box, parent), box_(box), ui_(std::make_unique<Ui::AboutBox>()) {
  ui_->setupUi(this);
  RemoveCloseButton(*this);
  const QIcon programIcon =
      QIcon::fromTheme(QStringLiteral("kova-voltare"), QIcon(QStringLiteral(":/icons/kova-voltare.svg")));
  ui_->ProgramIcon->setPixmap(programIcon.pixmap(QSize(32, 32), devicePixelRatioF()));
  ui_->MadeIn->setPixmap(Picture(*this, QStringLiteral("badge.svg"), 64));
  // The name a little above the desktop's font, the system lines a little
  // below it: both follow a larger desktop font.
  SetRelativePointSize(*ui_->ProductName, 2, true);
  for (QWidget* info : {ui_->OSInfo, ui_->Processor, ui_->Mem}) SetRelativePointSize(*info, -1, false);
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
