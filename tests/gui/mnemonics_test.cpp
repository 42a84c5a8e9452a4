// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard mnemonics (the letter after "&", reached with Alt) of every
// menu and window, in English and in each language the program ships: within
// one menu or window a letter may lead to one place only, or Alt+letter
// reaches the first and never the other.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/shared/application.h"
#include "common/translate.h"
#include "gui/about_box_view.h"
#include "gui/email_prop_view.h"
#include "gui/email_view.h"
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

// Each mnemonic of one menu or window, with the text that carries it.
using Mnemonics = std::vector<std::pair<QKeySequence, QString>>;

void Add(Mnemonics& found, const QString& text) {
  // Qt's own reading: "&&" is a plain "&", the letter is taken upper-case.
  const QKeySequence key = QKeySequence::mnemonic(text);
  if (!key.isEmpty()) found.emplace_back(key, text);
}

Mnemonics ActionMnemonics(const QList<QAction*>& actions) {
  Mnemonics found;
  for (const QAction* action : actions) {
    if (action->isVisible() && !action->isSeparator()) Add(found, action->text());
  }
  return found;
}

// What Alt+letter reaches in a window: its shown buttons, labels that lead
// to a buddy, group boxes, tabs, and the titles of its menu bar.
Mnemonics WindowMnemonics(QWidget& window) {
  Mnemonics found;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&window)) continue;
    if (const auto* button = qobject_cast<QAbstractButton*>(widget)) {
      Add(found, button->text());
    } else if (const auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->buddy() != nullptr) {
      Add(found, label->text());
    } else if (const auto* box = qobject_cast<QGroupBox*>(widget)) {
      Add(found, box->title());
    } else if (const auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int tab = 0; tab < tabs->count(); ++tab) {
        if (tabs->isTabVisible(tab)) Add(found, tabs->tabText(tab));
      }
    } else if (const auto* bar = qobject_cast<QMenuBar*>(widget)) {
      for (auto& mnemonic : ActionMnemonics(bar->actions())) found.push_back(std::move(mnemonic));
    }
  }
  return found;
}

// The letters shared today, known and kept for now. The English menus keep
// the captions the program has always had: they are the catalogue's msgids,
// which do not change.
struct Shared {
  const char* language;
  const char* first;
  const char* second;
};
constexpr Shared kKnownShared[] = {
    {"en", "&Copy", "&Clear List"},
    {"en", "&Encrypt File(s)", "Add Dir&ectory"},
    {"en", "Add &File(s)", "Decrypt &File(s)"},
};

bool KnownShared(const std::string& language, const QString& one, const QString& other) {
  return std::ranges::any_of(kKnownShared, [&](const Shared& known) {
    const QString first = QString::fromUtf8(known.first), second = QString::fromUtf8(known.second);
    return language == known.language && ((one == first && other == second) || (one == second && other == first));
  });
}

void ExpectUnique(const Mnemonics& found, const QString& where, const std::string& language) {
  std::map<QKeySequence, QString> first;
  for (const auto& [key, text] : found) {
    const auto [taken, fresh] = first.emplace(key, text);
    EXPECT_TRUE(fresh || KnownShared(language, text, taken->second))
        << where.toStdString() << ": \"" << text.toStdString() << "\" and \"" << taken->second.toStdString()
        << "\" share " << key.toString().toStdString();
  }
}

// Shows one window as the program makes it and hands it to `check`.
using Check = std::function<void(QWidget&)>;
struct WindowCase {
  const char* name;
  std::function<void(QtInteraction&, app::Application&, const Check&)> show;
};

void PrintTo(const WindowCase& window, std::ostream* out) { *out << window.name; }

template <typename View, typename Form>
void Show(Form& form, const Check& check, int page = -1) {
  View view(form, nullptr);
  // The preferences on one page: a hidden page's letters are not reachable.
  if (page >= 0) view.template findChild<QTabWidget*>("PageControl")->setCurrentIndex(page);
  view.show();
  check(view);
}

using UI = QtInteraction;
using App = app::Application;

const WindowCase kWindows[] = {
    {"MainWindow",
     [](UI& ui, App& program, const Check& check) {
       MainWindow window(program, ui, {});
       window.show();
       check(window);
     }},
    {"Composer", [](UI&, App& program, const Check& check) { Show<EmailView>(program.Email, check); }},
    {"EmailPreferences", [](UI&, App& program, const Check& check) { Show<EmailPropView>(program.EmailProp, check); }},
    {"PasswordPrompt",
     [](UI& ui, App&, const Check& check) {
       app::TPasswordBox box(ui);
       box.PLX.visible = true;
       box.FormShow();
       Show<PasswordBoxView>(box, check);
     }},
    {"ArchiveViewer",
     [](UI& ui, App&, const Check& check) {
       app::TPLXArchiver viewer(ui);
       Show<PLXArchiverView>(viewer, check);
     }},
    {"ClipboardEditor",
     [](UI& ui, App&, const Check& check) {
       app::TKlembordForm editor(ui);
       Show<KlembordView>(editor, check);
     }},
    {"AboutBox",
     [](UI&, App&, const Check& check) {
       app::TAboutBox about;
       Show<AboutBoxView>(about, check);
     }},
    {"PreferencesGeneral",
     [](UI& ui, App&, const Check& check) {
       app::TPreferencesForm form(ui);
       Show<PreferencesView>(form, check, 0);
     }},
    {"PreferencesWipe",
     [](UI& ui, App&, const Check& check) {
       app::TPreferencesForm form(ui);
       Show<PreferencesView>(form, check, 1);
     }},
    {"Question",
     [](UI& ui, App&, const Check& check) {
       // Checked and closed from inside the question's own modal run.
       QTimer::singleShot(0, [&] {
         QWidget* box = QApplication::activeModalWidget();
         if (box == nullptr) return ADD_FAILURE() << "the question was not shown";
         check(*box);
         box->close();
       });
       ui.ShowQuestion(app::MessageKind::Confirmation, "KOVA Voltare", "Wipe the files?", app::EnterAnswers::No);
     }},
};

// English and every language of po/LINGUAS.
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
      ASSERT_STRNE(common::Translate("&Yes"), "&Yes") << "the catalogue was not read";
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

TEST_P(MnemonicsInLanguage, AreUniqueInEachMenuAndWindow) {
  const std::string& language = std::get<1>(GetParam());
  QtInteraction ui;
  app::Application program(ui, testing::TestDir());
  std::get<0>(GetParam()).show(ui, program, [&](QWidget& window) {
    ExpectUnique(WindowMnemonics(window), window.objectName(), language);
    for (const QMenu* menu : window.findChildren<QMenu*>()) {
      ExpectUnique(ActionMnemonics(menu->actions()), menu->objectName().isEmpty() ? menu->title() : menu->objectName(),
                   language);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Windows, MnemonicsInLanguage,
                         ::testing::Combine(::testing::ValuesIn(kWindows), ::testing::ValuesIn(Languages())),
                         [](const auto& test) {
                           std::string name = std::string(std::get<0>(test.param).name) + "_";
                           for (const char letter : std::get<1>(test.param)) {
                             name += std::isalnum(static_cast<unsigned char>(letter)) != 0 ? letter : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace voltare::gui
