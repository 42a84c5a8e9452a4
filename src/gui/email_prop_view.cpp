// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/email_prop_view.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <ranges>

#include "gui/accessible_names.h"
#include "gui/dialog_fit.h"
#include "gui/form_dialog.h"
#include "gui/qt_text.h"
#include "gui/view_binding.h"
#include "ui_email_prop_view.h"

namespace voltare::gui {

namespace {

constexpr int kAddressChars = 21;

// Room for a five-digit port and for a usual address in any font; the edits
// of both groups start at one line, as wide as the widest caption.
void SizeFieldsToFont(Ui::EmailPropView& ui) {
  ui.Port->setFixedWidth(std::max(46, ui.Port->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 10));
  for (QLineEdit* edit : {ui.SMTP, ui.UserName, ui.Name, ui.Email}) {
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * kAddressChars);
  }
  const std::initializer_list<QLabel*> labels = {ui.Label1, ui.Label2, ui.Label3, ui.Label4, ui.Label5};
  const auto hintWidth = [](const QLabel* label) { return label->sizeHint().width(); };
  const int labelWidth = std::ranges::max(labels | std::views::transform(hintWidth));
  for (QLabel* label : labels) label->setMinimumWidth(std::max(label->minimumWidth(), labelWidth));
}

}  // namespace

EmailPropView::EmailPropView(app::TEmailProp& form, QWidget* parent)
    : QDialog(parent), form_(form), ui_(std::make_unique<Ui::EmailPropView>()) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  NameControlsForScreenReaders(*this);
  // A dialog border without the close command: OK and Cancel are the way out.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  SizeFieldsToFont(*ui_);
  BindEdit(*ui_->SMTP, form_.SMTP);
  connect(ui_->Port, &QLineEdit::textEdited, this, &EmailPropView::PortEdited);
  BindEdit(*ui_->UserName, form_.UserName);
  BindEdit(*ui_->Name, form_.Name);
  BindEdit(*ui_->Email, form_.Email);
  connect(ui_->OKButton, &QPushButton::clicked, this, [this] { Call(&app::TEmailProp::OKButtonClick); });
  connect(ui_->CancelButton, &QPushButton::clicked, this, [this] { Call(&app::TEmailProp::CancelButtonClick); });
  Refresh();
  FitToContents(*this);
  view_binding::FocusControl(*this, form_.Controls(), form_.ActiveControl);
}

EmailPropView::~EmailPropView() = default;

void EmailPropView::BindEdit(QLineEdit& widget, app::Edit& edit) {
  connect(&widget, &QLineEdit::textEdited, this, [&edit](const QString& text) { edit.text = ToUtf8(text); });
}

void EmailPropView::PortEdited(const QString& text) {
  const int cursor = ui_->Port->cursorPosition();
  const qsizetype before = text.size();
  form_.Port.text = ToUtf8(text);
  form_.PortChange();
  view_binding::ShowEditText(*ui_->Port, form_.Port.text);
  // The cursor stays behind the last character kept.
  ui_->Port->setCursorPosition(cursor - static_cast<int>(before - ui_->Port->text().size()));
}

template <typename Handler>
void EmailPropView::Call(Handler handler) {
  form_.ActiveControl = nullptr;
  (form_.*handler)();
  Refresh();
  view_binding::FocusControl(*this, form_.Controls(), form_.ActiveControl);
  if (!form_.IsShowing()) done(QDialog::Accepted);
}

void EmailPropView::Refresh() {
  setWindowTitle(ToQString(form_.Caption));
  view_binding::ApplyControlStates(*this, form_.Controls());
  view_binding::ShowEditText(*ui_->SMTP, form_.SMTP.text);
  view_binding::ShowEditText(*ui_->Port, form_.Port.text);
  view_binding::ShowEditText(*ui_->UserName, form_.UserName.text);
  view_binding::ShowEditText(*ui_->Name, form_.Name.text);
  view_binding::ShowEditText(*ui_->Email, form_.Email.text);
}

void EmailPropView::reject() { Call(&app::TEmailProp::CancelButtonClick); }

void EmailPropView::closeEvent(QCloseEvent* event) {
  // Only a handler of the form ends the dialog.
  if (form_.IsShowing()) event->ignore();
  else QDialog::closeEvent(event);
}

void EmailPropView::RunModal() {
  if (form_.IsShowing()) exec();
}

}  // namespace voltare::gui
