// SPDX-License-Identifier: GPL-3.0-or-later
// Screen readers and the keyboard: each window's accessibility tree names
// every control a user can act on, and Tab reaches the main window's panel
// buttons, tool bar buttons and list.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/shared/application.h"
#include "gui/about_box_view.h"
#include "gui/accessible_names.h"
#include "gui/email_prop_view.h"
#include "gui/email_view.h"
#include "gui/help_view.h"
#include "gui/klembord_view.h"
#include "gui/main_window.h"
#include "gui/password_box_view.h"
#include "gui/plx_archiver_view.h"
#include "gui/preferences_view.h"
#include "gui/qt_interaction.h"
#include "support/test_env.h"

namespace voltare::gui {
namespace {

using testing::TestDir;

struct Desk {
  QtInteraction interaction;
  app::Application program{interaction, TestDir()};
};

struct WindowCase {
  const char* name;
  std::function<std::unique_ptr<QWidget>(Desk&)> make;
};

void PrintTo(const WindowCase& window, std::ostream* out) { *out << window.name; }

template <typename View, typename Form>
std::function<std::unique_ptr<QWidget>(Desk&)> ViewOf(Form app::Application::*form) {
  return [form](Desk& desk) { return std::make_unique<View>(desk.program.*form, nullptr); };
}

bool IsInteractive(QAccessible::Role role) {
  static const std::set<QAccessible::Role> kInteractive = {
      QAccessible::PushButton, QAccessible::CheckBox,       QAccessible::RadioButton, QAccessible::EditableText,
      QAccessible::ComboBox,   QAccessible::List,           QAccessible::Table,       QAccessible::Tree,
      QAccessible::SpinBox,    QAccessible::ButtonDropDown, QAccessible::ButtonMenu,  QAccessible::MenuItem,
      QAccessible::PageTab,    QAccessible::Slider,         QAccessible::Link};
  return kInteractive.contains(role);
}

// The visible interactive elements under `node` that a screen reader could
// only call by their role.
void CollectUnnamed(QAccessibleInterface& node, const QString& path, QStringList& unnamed) {
  for (int i = 0; i < node.childCount(); ++i) {
    QAccessibleInterface* child = node.child(i);
    if (child == nullptr || child->state().invisible) continue;
    const QObject* object = child->object();
    const QString here = path + "/" + (object != nullptr ? object->objectName() : QString::number(i));
    // A ".." says nothing either.
    const bool named = child->text(QAccessible::Name).contains(QRegularExpression(QStringLiteral("\\w")));
    if (IsInteractive(child->role()) && !named) unnamed << here;
    CollectUnnamed(*child, here, unnamed);
  }
}

class AccessibilityWalk : public ::testing::TestWithParam<WindowCase> {};

TEST_P(AccessibilityWalk, FindsEveryControlNamed) {
  Desk desk;
  const std::unique_ptr<QWidget> window = GetParam().make(desk);
  window->show();
  QStringList unnamed;
  CollectUnnamed(*QAccessible::queryAccessibleInterface(window.get()), window->objectName(), unnamed);
  // The menus are windows of their own; their entries are read as the menu opens.
  for (QMenu* menu : window->findChildren<QMenu*>()) {
    CollectUnnamed(*QAccessible::queryAccessibleInterface(menu), menu->objectName(), unnamed);
  }
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
}

std::unique_ptr<QWidget> MakeMainWindow(Desk& desk) {
  return std::make_unique<MainWindow>(desk.program, desk.interaction, std::vector<std::string>{});
}

std::string CaseName(const ::testing::TestParamInfo<WindowCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(
    EveryWindow, AccessibilityWalk,
    ::testing::Values(
        WindowCase{"MainWindow", MakeMainWindow},
        WindowCase{"PasswordPrompt", ViewOf<PasswordBoxView>(&app::Application::PasswordBox)},
        WindowCase{"ArchiveViewer", ViewOf<PLXArchiverView>(&app::Application::PLXArchiver)},
        WindowCase{"Preferences", ViewOf<PreferencesView>(&app::Application::PreferencesForm)},
        WindowCase{"ClipboardEditor", ViewOf<KlembordView>(&app::Application::KlembordForm)},
        WindowCase{"About", ViewOf<AboutBoxView>(&app::Application::AboutBox)},
        WindowCase{"Composer", ViewOf<EmailView>(&app::Application::Email)},
        WindowCase{"EmailPreferences", ViewOf<EmailPropView>(&app::Application::EmailProp)},
        WindowCase{"Help", [](Desk&) -> std::unique_ptr<QWidget> { return std::make_unique<HelpWindow>(nullptr); }}),
    CaseName);

// Tab from the list goes round the left panel's buttons and the tool bars'
// buttons, in reading order, and back to the list. With the list empty, Cut,
// Copy, Paste and Delete are disabled, and Tab passes them by.
TEST(MainWindowTabOrder, TabGoesFromThePanelThroughTheToolBarsToTheList) {
  Desk desk;
  MainWindow window(desk.program, desk.interaction, {});
  window.show();
  QApplication::setActiveWindow(&window);
  auto& list = *window.findChild<QTableView*>("ListView");
  list.setFocus();
  QStringList reached;
  for (int step = 0; step < 20 && (reached.isEmpty() || QApplication::focusWidget() != &list); ++step) {
    QWidget* focus = QApplication::focusWidget();
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(focus);
    reached << (focus == &list ? QStringLiteral("list") : control->text(QAccessible::Name));
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  EXPECT_EQ(reached.join(", ").toStdString(),
            "list, Send E-mail Message, Edit Clipboard, Wipe Files, Help, New, Open, Save, Print List, Add File(s), "
            "Add Directory");
}

struct NamingCase {
  const char* control;
  std::function<QWidget*(QWidget& window)> make;
  const char* name;
  const char* description;
};

void PrintTo(const NamingCase& naming, std::ostream* out) { *out << naming.control; }

class HintNaming : public ::testing::TestWithParam<NamingCase> {};

// A control without words of its own takes its action's caption, tool tip or
// hint as name, the next of them as description; what Qt or the view gave it
// stays.
TEST_P(HintNaming, NamesAndDescribesFromTheFirstWordsFound) {
  QWidget window;
  NameControlsForScreenReaders(window);
  QWidget* control = GetParam().make(window);
  window.show();
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
  EXPECT_EQ(node->text(QAccessible::Name).toStdString(), GetParam().name);
  EXPECT_EQ(node->text(QAccessible::Description).toStdString(), GetParam().description);
}

QWidget* WithTips(QWidget* widget, const char* toolTip, const char* statusTip) {
  widget->setToolTip(QString::fromUtf8(toolTip));
  widget->setStatusTip(QString::fromUtf8(statusTip));
  return widget;
}

QWidget* ActionButton(QWidget& window, const char* text, const char* statusTip) {
  auto* action = new QAction(QString::fromUtf8(text), &window);
  action->setStatusTip(QString::fromUtf8(statusTip));
  auto* button = new QToolButton(&window);
  button->setDefaultAction(action);
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  return button;
}

INSTANTIATE_TEST_SUITE_P(
    Controls, HintNaming,
    ::testing::Values(
        NamingCase{"picture button", [](QWidget& w) { return WithTips(new QToolButton(&w), "Wipe", "Wipe files"); },
                   "Wipe", "Wipe files"},
        NamingCase{"dots button", [](QWidget& w) { return WithTips(new QPushButton("..", &w), "", "Pick a folder"); },
                   "Pick a folder", ""},
        NamingCase{"action button", [](QWidget& w) { return ActionButton(w, "Save &&As", "Saves the list"); },
                   "Save &As", "Saves the list"},
        NamingCase{"named by the view",
                   [](QWidget& w) {
                     QWidget* edit = WithTips(new QLineEdit(&w), "Tip", "Hint");
                     edit->setAccessibleName("Password");
                     return edit;
                   },
                   "Password", "Tip"}),
    [](const ::testing::TestParamInfo<NamingCase>& param) {
      std::string name = param.param.control;
      std::ranges::replace(name, ' ', '_');
      return name;
    });

}  // namespace
}  // namespace voltare::gui
