// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/password_box_view.h"

#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>

#include "gui/readable_color.h"
#include "gui/view_binding.h"
#include "ui_password_box_view.h"

namespace voltare::gui {

namespace {
// QLineEdit's own limit, which stands for "no limit".
constexpr int kUnlimitedLength = 32767;
}  // namespace

PasswordBoxView::PasswordBoxView(app::TPasswordBox& box, QWidget* parent)
    : FormDialog(box, parent), box_(box), ui_(std::make_unique<Ui::PasswordBox>()) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  RemoveCloseButton(*this);
  ui_->Label1->setBuddy(ui_->Password);  // the edit's name for screen readers
  // Room for the usual two lines of the time to guess from the start, so
  // that the first keystroke does not push the buttons down.
  ui_->StrengthTime->setMinimumHeight(2 * ui_->StrengthTime->fontMetrics().lineSpacing());
  ui_->Image1->setPixmap(Picture(*this, QStringLiteral("key.svg"), 48));
  // The navy of the algorithm lines, lightened on a dark palette.
  for (QWidget* label : {static_cast<QWidget*>(ui_->AlgoHeader), static_cast<QWidget*>(ui_->Algorithm)}) {
    SetReadableTextColor(*label, QColor(0x00, 0x00, 0x80));
  }

  connect(ui_->Password, &QLineEdit::textEdited, this, [this](const QString& text) {
    view_binding::ReadPasswordText(text, box_.Password.text);
    box_.PasswordChange();
    ShowMeter();
  });
  // Enter in the edit goes to the form's key handler, which decides.
  ui_->Password->installEventFilter(this);
  HandleClicks(ui_->MaskEdit, [this] {
    WriteChecks();
    box_.MaskEditClick();
  });
  connect(ui_->RemindPass, &QCheckBox::clicked, this, [this] { WriteChecks(); });
  connect(ui_->PLX, &QCheckBox::clicked, this, [this] { WriteChecks(); });
  HandleClicks(ui_->Continue, [this] { box_.ContinueClick(); });
  HandleClicks(ui_->Cancel, [this] { box_.CancelClick(); });

  Refresh();
  FocusActiveControl();
}

PasswordBoxView::~PasswordBoxView() {
  // Leaves no copy of the password in the widget once the window is gone;
  // a remembered password stays in the form's locked text only.
  view_binding::WipePasswordEdit(*ui_->Password);
}

void PasswordBoxView::Refresh() {
  setWindowTitle(ToQString(box_.Caption));
  ShowControls(box_.Controls());
  const app::PasswordEdit& password = box_.Password;
  view_binding::ShowPasswordText(*ui_->Password, password.text);
  ui_->Password->setMaxLength(password.maxLength > 0 ? password.maxLength : kUnlimitedLength);
  ui_->Password->setEchoMode(password.passwordChar != '\0' ? QLineEdit::Password : QLineEdit::Normal);
  SetChecked(*ui_->MaskEdit, box_.MaskEdit.checked);
  SetChecked(*ui_->RemindPass, box_.RemindPass.checked);
  SetChecked(*ui_->PLX, box_.PLX.checked);
  ShowMeter();
}

// Only the meter's own widgets: a full Refresh would write the password back
// into the edit under the user's cursor.
void PasswordBoxView::ShowMeter() {
  app::PasswordMeter& meter = box_.Meter;
  ShowControls({{"StrengthStep", &meter.Step}, {"StrengthBar", &meter.Bar}, {"StrengthTime", &meter.TimeLine}});
  ui_->StrengthBar->setValue(meter.level);
  // A top-level window does not follow a wrapped label's height by itself:
  // it grows when the time line needs another line, and never shrinks while
  // the user types, so that the buttons do not jump under the pointer.
  if (QLayout* layout = this->layout(); layout != nullptr && meter.TimeLine.visible) {
    layout->activate();
    const int needed = layout->totalHeightForWidth(width());
    if (needed > height()) resize(width(), needed);
  }
}

void PasswordBoxView::CloseRequested() { box_.CancelClick(); }

void PasswordBoxView::FocusActiveControl() { FocusControl(box_.Controls(), box_.ActiveControl); }

bool PasswordBoxView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->Password && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Handle([this] { box_.PasswordKeyDown(app::kReturnKey); });
      return true;
    }
  }
  return FormDialog::eventFilter(watched, event);
}

void PasswordBoxView::WriteChecks() {
  box_.MaskEdit.checked = ui_->MaskEdit->isChecked();
  box_.RemindPass.checked = ui_->RemindPass->isChecked();
  box_.PLX.checked = ui_->PLX->isChecked();
}

}  // namespace voltare::gui
