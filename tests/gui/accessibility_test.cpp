// SPDX-License-Identifier: GPL-3.0-or-later
// Screen readers and the keyboard: each window's accessibility tree names
// every control a user can act on, each Alt+letter leads to one place in
// every language, and Tab reaches the main window's panel buttons, tool bar
// buttons and list.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/shared/application.h"
#include "common/translate.h"
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
#include "support/scoped_env.h"
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

const WindowCase kWindows[] = {
    {"MainWindow", MakeMainWindow},
    {"PasswordPrompt", ViewOf<PasswordBoxView>(&app::Application::PasswordBox)},
    {"ArchiveViewer", ViewOf<PLXArchiverView>(&app::Application::PLXArchiver)},
    {"Preferences", ViewOf<PreferencesView>(&app::Application::PreferencesForm)},
    {"ClipboardEditor", ViewOf<KlembordView>(&app::Application::KlembordForm)},
    {"About", ViewOf<AboutBoxView>(&app::Application::AboutBox)},
    {"Composer", ViewOf<EmailView>(&app::Application::Email)},
    {"EmailPreferences", ViewOf<EmailPropView>(&app::Application::EmailProp)},
    {"Help", [](Desk&) -> std::unique_ptr<QWidget> { return std::make_unique<HelpWindow>(nullptr); }},
};

INSTANTIATE_TEST_SUITE_P(EveryWindow, AccessibilityWalk, ::testing::ValuesIn(kWindows), CaseName);

// --- Mnemonics --------------------------------------------------------------

// Each mnemonic of one menu or window, with the text that carries it.
using Mnemonics = std::vector<std::pair<QKeySequence, QString>>;

void AddMnemonic(Mnemonics& found, const QString& text) {
  // Qt's own reading: "&&" is a plain "&", the letter is taken upper-case.
  const QKeySequence key = QKeySequence::mnemonic(text);
  if (!key.isEmpty()) found.emplace_back(key, text);
}

Mnemonics ActionMnemonics(const QList<QAction*>& actions) {
  Mnemonics found;
  for (const QAction* action : actions) {
    if (action->isVisible() && !action->isSeparator()) AddMnemonic(found, action->text());
  }
  return found;
}

// What Alt+letter reaches in a window as shown: its buttons, labels that lead
// to a buddy, group boxes, tabs, and the titles of its menu bar. A hidden
// page's letters are not reachable, so they may repeat another page's.
Mnemonics WindowMnemonics(QWidget& window) {
  Mnemonics found;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&window)) continue;
    if (const auto* button = qobject_cast<QAbstractButton*>(widget)) {
      AddMnemonic(found, button->text());
    } else if (const auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->buddy() != nullptr) {
      AddMnemonic(found, label->text());
    } else if (const auto* box = qobject_cast<QGroupBox*>(widget)) {
      AddMnemonic(found, box->title());
    } else if (const auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int tab = 0; tab < tabs->count(); ++tab) {
        if (tabs->isTabVisible(tab)) AddMnemonic(found, tabs->tabText(tab));
      }
    } else if (const auto* bar = qobject_cast<QMenuBar*>(widget)) {
      for (auto& mnemonic : ActionMnemonics(bar->actions())) found.push_back(std::move(mnemonic));
    }
  }
  return found;
}

// The English menus keep the captions the program has always had, letters
// shared included: they are the catalogue's msgids, which do not change.
constexpr std::pair<const char*, const char*> kEnglishShared[] = {
    {"&Copy", "&Clear List"}, {"&Encrypt File(s)", "Add Dir&ectory"}, {"Add &File(s)", "Decrypt &File(s)"}};

bool KnownShared(const std::string& language, const QString& one, const QString& other) {
  return language == "en" && std::ranges::any_of(kEnglishShared, [&](const auto& known) {
           return (one == known.first && other == known.second) || (one == known.second && other == known.first);
         });
}

void ExpectUnique(const Mnemonics& found, const QString& where, const std::string& language) {
  std::map<QKeySequence, QString> first;
  for (const auto& [key, text] : found) {
    const auto [taken, fresh] = first.emplace(key, text);
    EXPECT_TRUE(fresh || KnownShared(language, text, taken->second))
        << language << ", " << where.toStdString() << ": \"" << text.toStdString() << "\" and \""
        << taken->second.toStdString() << "\" share " << key.toString().toStdString();
  }
}

// English and every language the program ships.
std::vector<std::string> Languages() {
  std::vector<std::string> languages{"en"};
  std::ifstream linguas(testing::TestDataPath("../../po/LINGUAS"));
  for (std::string line; std::getline(linguas, line);) {
    if (!line.empty() && line[0] != '#') languages.push_back(line);
  }
  return languages;
}

class MnemonicsInLanguage : public ::testing::TestWithParam<std::tuple<WindowCase, std::string>> {
 protected:
  void SetUp() override {
    common::StartTranslations();
    if (std::get<1>(GetParam()) != "en") {
      ASSERT_STRNE(tr_("&Yes"), "&Yes") << "the catalogue was not read";
    }
  }
  void TearDown() override {
    ::setenv("LANGUAGE", "en", 1);
    std::setlocale(LC_ALL, "");  // gettext forgets the language's texts
  }

 private:
  voltare::testing::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
  voltare::testing::ScopedEnv language_{"LANGUAGE", std::get<1>(GetParam())};
};

// Within one menu, or one window on one page, Alt+letter leads to one place
// only; otherwise it reaches the first and never the other.
TEST_P(MnemonicsInLanguage, AreUniqueInEachMenuAndWindow) {
  const std::string& language = std::get<1>(GetParam());
  Desk desk;
  const std::unique_ptr<QWidget> window = std::get<0>(GetParam()).make(desk);
  window->show();
  const QList<QTabWidget*> pages = window->findChildren<QTabWidget*>();
  for (int page = 0; page < (pages.isEmpty() ? 1 : pages.front()->count()); ++page) {
    if (!pages.isEmpty()) pages.front()->setCurrentIndex(page);
    ExpectUnique(WindowMnemonics(*window), window->objectName() + "/" + QString::number(page), language);
  }
  for (const QMenu* menu : window->findChildren<QMenu*>()) {
    ExpectUnique(ActionMnemonics(menu->actions()), menu->objectName().isEmpty() ? menu->title() : menu->objectName(),
                 language);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, MnemonicsInLanguage,
                         ::testing::Combine(::testing::ValuesIn(kWindows), ::testing::ValuesIn(Languages())),
                         [](const auto& test) {
                           std::string name = std::string(std::get<0>(test.param).name) + "_";
                           for (const char letter : std::get<1>(test.param)) {
                             name += std::isalnum(static_cast<unsigned char>(letter)) != 0 ? letter : '_';
                           }
                           return name;
                         });

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
