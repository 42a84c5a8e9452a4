// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/accessible_names.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <vector>

namespace voltare::gui {

namespace {

// A name of punctuation only (a ".." button) is read as noise.
bool SaysSomething(const QString& name) {
  return std::ranges::any_of(name, [](QChar c) { return c.isLetterOrNumber(); });
}

// "&Send" is read as "Send"; "&&" stands for one "&".
QString WithoutMnemonic(const QString& text) {
  QString plain;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

// The words a sighted user reads for `widget` besides its own text, the
// shortest first: its action's caption, then its tool tip and status hint.
QStringList Hints(const QWidget& widget) {
  QStringList hints;
  if (const auto* button = qobject_cast<const QToolButton*>(&widget); button && button->defaultAction()) {
    const QAction& action = *button->defaultAction();
    hints << WithoutMnemonic(action.text()) << action.toolTip() << action.statusTip();
  }
  hints << widget.toolTip() << widget.statusTip();
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) hints << edit->placeholderText();
  hints.removeAll(QString());
  hints.removeDuplicates();
  return hints;
}

// Fills what Qt finds neither in the control's own text nor in its label.
void NameControl(QWidget& widget) {
  QAccessibleInterface* control = QAccessible::queryAccessibleInterface(&widget);
  if (control == nullptr) return;
  const QStringList hints = Hints(widget);
  if (hints.isEmpty()) return;
  QString name = control->text(QAccessible::Name);
  if (!SaysSomething(name)) {
    name = hints.front();
    widget.setAccessibleName(name);
  }
  // Qt describes a control by its tool tip, which often repeats the name.
  const QString description = control->text(QAccessible::Description);
  if (!description.isEmpty() && description != name) return;
  for (const QString& hint : hints) {
    if (hint == name) continue;
    widget.setAccessibleDescription(hint);
    return;
  }
}

void NameAllControls(QWidget& window) {
  for (QWidget* widget : window.findChildren<QWidget*>()) NameControl(*widget);
}

// Names the window's controls again as it is shown.
class NameOnShow final : public QObject {
 public:
  explicit NameOnShow(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Show) NameAllControls(window_);
    return false;
  }

 private:
  QWidget& window_;
};

// A tool bar's buttons in the order of its actions, or a panel's buttons.
std::vector<QWidget*> ButtonsOf(QWidget& group) {
  std::vector<QWidget*> buttons;
  if (auto* toolBar = qobject_cast<QToolBar*>(&group)) {
    for (QAction* action : toolBar->actions()) {
      QWidget* button = toolBar->widgetForAction(action);
      if (button != nullptr && !action->isSeparator()) buttons.push_back(button);
    }
  } else {
    for (QAbstractButton* button : group.findChildren<QAbstractButton*>()) buttons.push_back(button);
  }
  return buttons;
}

}  // namespace

void NameControlsForScreenReaders(QWidget& window) {
  NameAllControls(window);
  new NameOnShow(window);
}

void ChainButtonsForTab(std::initializer_list<QWidget*> groups, QWidget* last) {
  QWidget* previous = nullptr;
  const auto append = [&previous](QWidget* next) {
    if (previous != nullptr) QWidget::setTabOrder(previous, next);
    previous = next;
  };
  for (QWidget* group : groups) {
    for (QWidget* button : ButtonsOf(*group)) {
      button->setFocusPolicy(Qt::TabFocus);
      append(button);
    }
  }
  append(last);
}

}  // namespace voltare::gui
