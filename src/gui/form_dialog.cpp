// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/form_dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <utility>

#include "gui/accessible_names.h"
#include "gui/dialog_fit.h"

namespace voltare::gui {

FormDialog::FormDialog(app::ModalForm& form, QWidget* parent) : QDialog(parent), form_(form) {
  NameControlsForScreenReaders(*this);  // named as shown: the view makes the controls after this
}

void FormDialog::RunModal() {
  if (form_.IsShowing()) exec();
}

void FormDialog::Handle(const std::function<void()>& handler) {
  if (!form_.IsShowing()) return;  // a window shown only as a picture, or already ended
  handler();
  if (form_.IsShowing()) {
    Refresh();
    FocusActiveControl();
  } else {
    done(QDialog::Accepted);
  }
}

void FormDialog::HandleClicks(QAbstractButton* button, std::function<void()> handler) {
  connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] { Handle(handler); });
}

void FormDialog::reject() {
  if (form_.IsShowing()) {
    Handle([this] { CloseRequested(); });
  } else {
    QDialog::reject();
  }
}

void FormDialog::showEvent(QShowEvent* event) {
  // The texts are final now: the window grows where its font needs it.
  FitToContents(*this);
  QDialog::showEvent(event);
}

void FormDialog::ShowControls(const std::vector<app::NamedControl>& controls) {
  for (const auto& [name, control] : controls) {
    const QString objectName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const QString caption = ToQString(control->caption);
    if (auto* action = findChild<QAction*>(objectName)) {
      action->setText(caption);
      action->setVisible(control->visible);
      action->setEnabled(control->enabled);
      continue;
    }
    auto* widget = findChild<QWidget*>(objectName);
    if (widget == nullptr) continue;
    // Edits and lists show their contents, not a caption.
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(caption);
    }
    if (widget->isHidden() == control->visible) widget->setVisible(control->visible);
    widget->setEnabled(control->enabled);
  }
}

void FormDialog::FocusControl(const std::vector<app::NamedControl>& controls, const app::Control* active) {
  for (const auto& [name, control] : controls) {
    if (control != active) continue;
    const QString objectName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (auto* widget = findChild<QWidget*>(objectName)) widget->setFocus(Qt::OtherFocusReason);
    return;
  }
}

void ShowLabelsAsPlainText(QWidget& window) {
  for (QLabel* label : window.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

void RemoveCloseButton(QWidget& window) {
  window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void SetChecked(QAbstractButton& button, bool checked) {
  if (button.isChecked() == checked) return;
  const bool exclusive = button.autoExclusive();
  button.setAutoExclusive(false);
  button.setChecked(checked);
  button.setAutoExclusive(exclusive);
}

QPixmap Picture(const QWidget& target, const QString& file, int size) {
  return QIcon(QStringLiteral(":/pictures/") + file).pixmap(QSize(size, size), target.devicePixelRatioF());
}

}  // namespace voltare::gui
