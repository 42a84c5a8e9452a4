// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/step_input_guard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>

namespace voltare::gui {

namespace {

// The events by which a user makes a window do something.
bool IsUserAction(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

// The widget an object belongs to: itself, or the nearest widget among its
// parents (a menu entry's window); nullptr for objects outside any widget.
QWidget* WidgetOf(QObject* object) {
  for (; object != nullptr; object = object->parent()) {
    if (object->isWidgetType()) return static_cast<QWidget*>(object);
  }
  return nullptr;
}

}  // namespace

StepInputGuard::StepInputGuard(QAbstractButton& cancelButton) : cancel_(&cancelButton) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool StepInputGuard::eventFilter(QObject* watched, QEvent* event) {
  if (!cancel_ || !IsUserAction(event->type())) return false;
  QWidget* widget = WidgetOf(watched);
  if (widget == nullptr || widget->window() != cancel_->window()) return false;
  if (widget == cancel_ || cancel_->isAncestorOf(widget)) return false;
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    cancel_->click();
  }
  return true;
}

}  // namespace voltare::gui
