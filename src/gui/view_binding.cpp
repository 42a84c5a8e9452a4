// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/view_binding.h"

#include <QAction>
#include <QByteArray>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <string_view>

#include "gui/qt_text.h"

namespace voltare::gui::view_binding {

QObject* FindControlObject(const QWidget& window, std::string_view name) {
  const QString objectName = ToQString(name);
  if (window.objectName() == objectName) return const_cast<QWidget*>(&window);
  return window.findChild<QObject*>(objectName);
}

void ApplyControlStates(const QWidget& window, const std::vector<app::NamedControl>& controls) {
  for (const app::NamedControl& named : controls) {
    QObject* shown = FindControlObject(window, named.name);
    if (auto* widget = qobject_cast<QWidget*>(shown)) {
      widget->setEnabled(named.control->enabled);
      // A hidden window keeps its children's own visibility for later.
      widget->setVisible(named.control->visible);
    } else if (auto* action = qobject_cast<QAction*>(shown)) {
      action->setEnabled(named.control->enabled);
      action->setVisible(named.control->visible);
    }
  }
}

void FocusControl(const QWidget& window, const std::vector<app::NamedControl>& controls, const app::Control* control) {
  if (control == nullptr) return;
  for (const app::NamedControl& named : controls) {
    if (named.control != control) continue;
    if (auto* widget = qobject_cast<QWidget*>(FindControlObject(window, named.name))) {
      widget->setFocus(Qt::OtherFocusReason);
    }
    return;
  }
}

void ShowEditText(QLineEdit& widget, const std::string& text) {
  const QString shown = ToQString(text);
  if (widget.text() != shown) widget.setText(shown);
}

namespace {

// Overwrites the bytes in place; a fresh array from toUtf8() is not shared,
// so no copy of them is left elsewhere.
void WipeBytes(QByteArray& bytes) { bytes.fill('\0'); }

}  // namespace

void ReadPasswordText(const QString& typed, common::SecretString& text) {
  QByteArray utf8 = typed.toUtf8();
  text = std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  WipeBytes(utf8);
}

void ShowPasswordText(QLineEdit& widget, const common::SecretString& text) {
  QByteArray shown = widget.text().toUtf8();
  const bool same = std::string_view(shown.constData(), static_cast<std::size_t>(shown.size())) == text.view();
  WipeBytes(shown);
  if (!same) widget.setText(ToQString(text.view()));
}

void WipePasswordEdit(QLineEdit& widget) {
  // Shares the edit's own buffer, so that once the edit lets go of it this
  // is the last holder of the characters and can overwrite them in place.
  QString typed = widget.text();
  widget.setText(QString(typed.size(), QLatin1Char('*')));
  widget.clear();
  typed.fill(QChar(u'\0'));
}

void ShowPasswordChar(QLineEdit& widget, char passwordChar) {
  if (passwordChar == '\0') {
    widget.setEchoMode(QLineEdit::Normal);
    return;
  }
  widget.setEchoMode(QLineEdit::Password);
  // The style's own dot otherwise; the form names the character it shows.
  widget.setStyleSheet(
      QStringLiteral("QLineEdit { lineedit-password-character: %1; }").arg(static_cast<unsigned char>(passwordChar)));
}

}  // namespace voltare::gui::view_binding
