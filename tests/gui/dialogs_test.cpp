// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs' real widgets, driven with Qt Test's key and mouse clicks
// while their modal run is on, over the real form objects.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <clocale>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/shared/application.h"
#include "archive/plx_bundle.h"
#include "common/locked_memory.h"
#include "common/translate.h"
#include "gui/about_box_view.h"
#include "gui/email_prop_view.h"
#include "gui/email_view.h"
#include "gui/form_views.h"
#include "gui/klembord_view.h"
#include "gui/panel_captions.h"
#include "gui/password_box_view.h"
#include "gui/plx_archiver_view.h"
#include "gui/preferences_view.h"
#include "gui/readable_color.h"
#include "gui/sharp_pictures.h"
#include "platform/settings_store.h"
#include "support/scoped_env.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

namespace voltare::gui {
namespace {

namespace fs = std::filesystem;
using testing::TestDir;

using SilentProgress = common::UnwatchedProgress;

// The Qt views for the dialogs; message boxes and file dialogs are recorded
// and answered from the test's script instead of being shown.
class ViewsOnly : public app::Interaction {
 public:
  app::MessageButton ShowMessage(app::MessageKind kind, std::string_view, std::string_view text,
                                 app::MessageButtons buttons) override {
    messages.push_back(std::string(app::KindName(kind)) + ": " + std::string(text));
    return buttons == app::MessageButtons::YesNo ? app::MessageButton::Yes : app::MessageButton::Ok;
  }
  std::vector<fs::path> ChooseOpenFiles(const app::OpenDialogRequest&) override { return openFiles; }
  std::optional<fs::path> ChooseSaveFile(const app::SaveDialogRequest&) override { return std::nullopt; }
  std::optional<fs::path> ChooseDirectory(const app::DirectoryRequest& request) override {
    directoryCaptions.push_back(request.caption);
    return chosenDirectory;
  }
  void RunPasswordPrompt(app::TPasswordBox& box) override { RunPasswordPromptView(box, nullptr); }
  void RunModal(app::ModalForm& form) override { EXPECT_TRUE(RunFormView(form, nullptr)); }
  void RunArchiveViewer(app::TPLXArchiver& viewer) override { RunArchiveViewerView(viewer, nullptr); }
  void SetStatusText(std::string_view text) override { status_ = text; }
  std::string StatusText() const override { return status_; }
  platform::Progress& ProgressBar() override { return progress_; }
  void SetBusyCursor(bool) override {}
  std::optional<std::string> ClipboardText() override { return clipboard; }
  void SetClipboardText(std::string_view text) override { clipboard = std::string(text); }
  void ClearClipboard() override { clipboard.reset(); }
  bool ShellOpen(std::string_view, const fs::path&) override { return false; }
  void ShowHelp(int context) override { helpContexts.push_back(context); }
  app::FileInfo GetFileInfo(const fs::path& path) override { return app::PlainFileInfo(path); }

  std::vector<std::string> messages;
  std::vector<fs::path> openFiles;
  std::optional<fs::path> chosenDirectory;
  std::vector<std::string> directoryCaptions;
  std::optional<std::string> clipboard;
  std::vector<int> helpContexts;

 private:
  std::string status_;
  SilentProgress progress_;
};

// Runs `act` on the modal dialog of this object name as soon as its modal
// run has shown it (the test's code runs inside that run's event loop).
void WhenShown(const QString& name, std::function<void(QDialog&)> act, int triesLeft = 500) {
  QTimer::singleShot(10, [=] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->objectName() == name) return act(*dialog);
    if (triesLeft > 0) return WhenShown(name, act, triesLeft - 1);
    ADD_FAILURE() << name.toStdString() << " was never shown";
    if (dialog != nullptr) dialog->reject();
  });
}

template <typename Widget>
Widget& Find(QWidget& dialog, const char* name) {
  auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
  if (widget == nullptr) throw std::runtime_error(std::string("no widget ") + name);
  return *widget;
}

void Click(QAbstractButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }

void ClickRow(QTableWidget& table, int row) {
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(table.model()->index(row, 0)).center());
}

void Retype(QLineEdit& edit, const QString& text) {
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_Backspace);
  QTest::keyClicks(&edit, text);
}

TEST(PasswordPromptView, TypedPasswordAndEnterReachTheFormAndClosingTheWindowCancels) {
  ViewsOnly ui;
  app::TPasswordBox box(ui);
  WhenShown("PasswordBox", [&](QDialog& dialog) {
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(Find<QLabel>(dialog, "Algorithm").text(), "Blowfish");
    EXPECT_EQ(Find<QLabel>(dialog, "FileName").text(), "notes.txt");
    EXPECT_TRUE(Find<QCheckBox>(dialog, "PLX").isVisibleTo(&dialog));
    auto& password = Find<QLineEdit>(dialog, "Password");
    EXPECT_EQ(password.echoMode(), QLineEdit::Password);

    QTest::keyClick(&password, Qt::Key_Return);  // empty: the form refuses, the prompt stays
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClicks(&password, "s3cret-and-more");  // cut at the request's limit
    Click(Find<QCheckBox>(dialog, "MaskEdit"));
    EXPECT_EQ(password.echoMode(), QLineEdit::Normal);
    Click(Find<QCheckBox>(dialog, "PLX"));
    QTest::keyClick(&password, Qt::Key_Return);
  });
  app::PasswordRequest request{"notes.txt", "Blowfish", 6, true, true, true};
  const app::PasswordReply reply = box.Request(request);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"error: No characters found in the password field"});
  EXPECT_EQ(reply.password, "s3cret");
  EXPECT_TRUE(reply.bundle);

  WhenShown("PasswordBox", [&](QDialog& dialog) {
    EXPECT_FALSE(Find<QCheckBox>(dialog, "PLX").isVisibleTo(&dialog));
    QTest::keyClicks(&Find<QLineEdit>(dialog, "Password"), "typed");
    dialog.close();  // as the window manager would
  });
  EXPECT_EQ(box.Request({}).password, "");
  EXPECT_EQ(box.Password.text, "") << "Cancel forgets what was typed";
}

TEST(PasswordPromptView, ARememberedPasswordIsKeptOnlyInLockedMemoryAndTheEditIsOverwritten) {
  ViewsOnly ui;
  app::TPasswordBox box(ui);
  std::vector<QString> shown;  // every text the edit held, to its end
  WhenShown("PasswordBox", [&](QDialog& dialog) {
    auto& password = Find<QLineEdit>(dialog, "Password");
    QObject::connect(&password, &QLineEdit::textChanged, [&shown](const QString& text) { shown.push_back(text); });
    QTest::keyClicks(&password, "secret");
    Click(Find<QCheckBox>(dialog, "RemindPass"));
    QTest::keyClick(&password, Qt::Key_Return);
  });
  EXPECT_EQ(box.Request({}).password, "secret");
  // A filler of the same length, then nothing, as the window closed.
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[shown.size() - 2], "******");
  EXPECT_EQ(shown.back(), "");
  EXPECT_EQ(box.Password.text, "secret");
  EXPECT_TRUE(common::IsLocked(box.Password.text.data()));

  WhenShown("PasswordBox", [&](QDialog& dialog) {
    EXPECT_EQ(Find<QLineEdit>(dialog, "Password").text(), "secret") << "offered again";
    Click(Find<QPushButton>(dialog, "Continue"));
  });
  EXPECT_EQ(box.Request({}).password, "secret");
}

TEST(PasswordPromptView, TheMeterFollowsTypingWhileANewPasswordIsChosenAndNeverWhenOpening) {
  ViewsOnly ui;
  app::TPasswordBox box(ui);
  WhenShown("PasswordBox", [&](QDialog& dialog) {
    auto& password = Find<QLineEdit>(dialog, "Password");
    auto& step = Find<QLabel>(dialog, "StrengthStep");
    auto& bar = Find<QProgressBar>(dialog, "StrengthBar");
    auto& time = Find<QLabel>(dialog, "StrengthTime");
    EXPECT_TRUE(bar.isVisibleTo(&dialog));
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(step.text(), "");

    QTest::keyClicks(&password, "passwor");
    QTest::keyClick(&password, Qt::Key_D);
    EXPECT_EQ(step.text(), "Very weak");
    EXPECT_EQ(bar.value(), 1);
    EXPECT_TRUE(time.text().startsWith("Time to guess on one graphics card: less than a second with Blowfish; "))
        << time.text().toStdString();

    Retype(password, "kT9#vQ2!mW4@zR7%");
    EXPECT_EQ(step.text(), "Very strong");
    EXPECT_EQ(bar.value(), 5);
    EXPECT_TRUE(time.text().contains("more than a million years with Blowfish")) << time.text().toStdString();
    QApplication::processEvents();  // the window makes room for the wrapped line
    EXPECT_GE(time.height(), time.heightForWidth(time.width())) << "the time line is not cut off";

    Retype(password, "abc");  // weak again, and OK still takes it
    EXPECT_EQ(bar.value(), 1);
    EXPECT_TRUE(Find<QPushButton>(dialog, "Continue").isEnabled());
    Click(Find<QPushButton>(dialog, "Continue"));
  });
  app::PasswordRequest encrypting{"notes.txt", "Blowfish", 0, false, true, true, true};
  encrypting.protectionAlgorithm = 0;
  EXPECT_EQ(box.Request(encrypting).password, "abc");

  WhenShown("PasswordBox", [&](QDialog& dialog) {
    QTest::keyClicks(&Find<QLineEdit>(dialog, "Password"), "abc");
    EXPECT_FALSE(Find<QProgressBar>(dialog, "StrengthBar").isVisibleTo(&dialog));
    EXPECT_FALSE(Find<QLabel>(dialog, "StrengthTime").isVisibleTo(&dialog));
    Click(Find<QPushButton>(dialog, "Continue"));
  });
  EXPECT_EQ(box.Request({"notes.txt.vlt", "Blowfish", 0, false, true, true}).password, "abc");
}

TEST(PreferencesView, ChoicesMadeInTheWidgetsAreStoredOnOk) {
  ViewsOnly ui;
  app::TPreferencesForm form(ui);
  WhenShown("PreferencesForm", [&](QDialog& dialog) {
    Click(Find<QRadioButton>(dialog, "CAST5Button"));
    Click(Find<QPushButton>(dialog, "MoreInfoButton"));
    Click(Find<QCheckBox>(dialog, "Update"));
    Find<QTabWidget>(dialog, "PageControl").setCurrentIndex(1);
    Click(Find<QRadioButton>(dialog, "GovernmentWipe"));
    auto& passes = Find<QLineEdit>(dialog, "Passes");
    EXPECT_FALSE(passes.isEnabled());
    Click(Find<QRadioButton>(dialog, "NormalWipe"));
    ASSERT_TRUE(passes.isEnabled());
    Retype(passes, "7");
    QTest::keyClick(&passes, Qt::Key_Up);
    EXPECT_EQ(passes.text(), "8");
    Retype(passes, "1");
    Click(Find<QToolButton>(dialog, "UpDownDown"));  // no wrap-around below the minimum
    EXPECT_EQ(passes.text(), "1");
    Retype(passes, "150");  // out of range: refused, and the count gets the focus back
    Click(Find<QCheckBox>(dialog, "WipeFileAfterCrypto"));
    Click(Find<QPushButton>(dialog, "OKButton"));
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), &passes);
    Retype(passes, "100");
    Click(Find<QPushButton>(dialog, "OKButton"));
  });
  app::ShowModal(ui, form);

  EXPECT_EQ(ui.messages, std::vector<std::string>{"error: Please enter a number of passes from 1 to 100 !"});
  EXPECT_EQ(ui.helpContexts, std::vector<int>{20});
  const auto key = platform::SettingsKey::OpenReadOnly(platform::kSettingsKey);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->ReadString("Algorithm"), "1");
  EXPECT_EQ(key->ReadString("TypeOfWipe"), "1");
  EXPECT_EQ(key->ReadString("Loop"), "100");
  EXPECT_EQ(key->ReadString("Wipe"), "1");
  EXPECT_EQ(key->ReadDword("CheckUpdate"), 1u);
}

// Three members encrypted with "pw": one.txt.vlt, two.txt.vlt, three.txt.vlt.
fs::path ThreeMemberArchive() {
  std::vector<fs::path> sources;
  SilentProgress progress;
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
    const fs::path plain = TestDir() / "src" / name;
    fs::create_directories(plain.parent_path());
    testing::WriteFileText(plain, std::string("plain ") + name);
    const fs::path packed = TestDir() / "packed.z";
    EXPECT_EQ(transforms::CompressFile(plain, packed, &progress), 0);
    EXPECT_EQ(transforms::BlowfishEncryptFile(packed, plain.string() + ".vlt", "pw", &progress, false), 0);
    fs::remove(packed);
    sources.push_back(plain);
  }
  const fs::path archive = TestDir() / "set.plx";
  EXPECT_EQ(archive::BundleFiles(sources, archive, &progress), 0);
  return archive;
}

TEST(ArchiveViewerView, OneMemberPickedInTheListIsTheOnlyOneDecrypted) {
  const fs::path archive = ThreeMemberArchive();
  const fs::path out = TestDir() / "out";
  fs::create_directories(out);
  ViewsOnly ui;
  app::Application application(ui, TestDir());
  ui.openFiles = {archive};

  WhenShown("PLXArchiver", [&](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle().toStdString(), "PLX Viewer - " + archive.string());
    auto& list = Find<QTableWidget>(dialog, "FileList");
    ASSERT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.item(1, 0)->text(), "two.txt.vlt");
    EXPECT_EQ(list.item(1, 1)->text(), "1KB");
    auto& continueButton = Find<QPushButton>(dialog, "ContinueButton");
    Click(continueButton);  // nothing selected yet

    Find<QAction>(dialog, "SelectAll1").trigger();
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 3);
    ClickRow(list, 1);  // a plain click keeps only this row
    auto& directory = Find<QLineEdit>(dialog, "Directory");
    Retype(directory, QString::fromStdString((TestDir() / "missing").string()));
    Click(continueButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), &directory);

    ui.chosenDirectory = out;
    Click(Find<QPushButton>(dialog, "SelectDir"));
    EXPECT_EQ(directory.text().toStdString(), out.string());
    WhenShown("PasswordBox", [](QDialog& prompt) {
      auto& password = Find<QLineEdit>(prompt, "Password");
      QTest::keyClicks(&password, "pw");
      QTest::keyClick(&password, Qt::Key_Return);
    });
    Click(continueButton);
  });
  application.MainForm.DecryptFiles1Click();

  EXPECT_EQ(ui.directoryCaptions, std::vector<std::string>{"Please select an output directory"});
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0], "error: You need to select at least one file.");
  EXPECT_EQ(ui.messages[1], "error: Directory " + (TestDir() / "missing").string() + " does not exist !");
  std::vector<std::string> decrypted;
  for (const auto& entry : fs::directory_iterator(out)) decrypted.push_back(entry.path().filename().string());
  EXPECT_EQ(decrypted, std::vector<std::string>{"two.txt"});
}

// Every control of a form has the widget or action of its name in the view.
template <typename View, typename Form>
void ExpectEveryControlBound(Form& form) {
  View view(form, nullptr);
  for (const app::NamedControl& control : form.Controls()) {
    const QString name = QString::fromUtf8(control.name.data(), static_cast<qsizetype>(control.name.size()));
    EXPECT_TRUE(view.template findChild<QWidget*>(name) != nullptr ||
                view.template findChild<QAction*>(name) != nullptr)
        << form.FormName() << " has no widget for " << control.name;
  }
}

TEST(DialogViews, EveryControlOfEachFormHasItsWidget) {
  ViewsOnly ui;
  app::TPasswordBox password(ui);
  ExpectEveryControlBound<PasswordBoxView>(password);
  app::TPLXArchiver viewer(ui);
  ExpectEveryControlBound<PLXArchiverView>(viewer);
  app::TPreferencesForm preferences(ui);
  ExpectEveryControlBound<PreferencesView>(preferences);
  app::TKlembordForm klembord(ui);
  ExpectEveryControlBound<KlembordView>(klembord);
  app::TAboutBox about(platform::SystemInfo{});
  ExpectEveryControlBound<AboutBoxView>(about);
}

// Text in fixed colours (the prompt's navy algorithm lines) and on the About
// box's own background keeps a readable contrast on light and dark palettes.
TEST(DialogViews, FixedColouredTextStaysReadableOnLightAndDarkPalettes) {
  const QPalette original = QApplication::palette();
  QPalette dark = original;
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(30, 30, 32));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  QPalette light = original;
  light.setColor(QPalette::Window, QColor(239, 239, 239));
  light.setColor(QPalette::WindowText, Qt::black);
  light.setColor(QPalette::Base, Qt::white);
  light.setColor(QPalette::Text, Qt::black);
  const auto textColor = [](QLabel& label) {
    label.ensurePolished();
    return label.palette().color(label.foregroundRole());
  };

  for (const auto& [name, palette] : {std::pair{"light", light}, std::pair{"dark", dark}}) {
    SCOPED_TRACE(name);
    QApplication::setPalette(palette);
    ViewsOnly ui;
    app::TPasswordBox password(ui);
    PasswordBoxView prompt(password, nullptr);
    for (const char* label : {"AlgoHeader", "Algorithm"}) {
      EXPECT_GE(ContrastRatio(textColor(*prompt.findChild<QLabel*>(label)), palette.color(QPalette::Window)), 4.5)
          << label;
    }
    app::TAboutBox about(platform::SystemInfo{});
    AboutBoxView box(about, nullptr);
    for (QLabel* label : box.findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;  // a picture
      // The background as drawn: a corner of the label's panel, inside its border.
      const QColor background = label->parentWidget()->grab().toImage().pixelColor(3, 3);
      EXPECT_GE(ContrastRatio(textColor(*label), background), 4.5) << label->objectName().toStdString();
    }
  }
  QApplication::setPalette(original);
}

// --- A doubled font and the keyboard -------------------------------------------

// One window as a user meets it: its form, filled with sample texts, and its
// view, made at the application font of the moment.
struct ShownWindow {
  std::shared_ptr<void> form;
  std::unique_ptr<QWidget> view;
};

struct WindowCase {
  const char* name;
  bool dialog;  // the composer is a main window whose message takes Tab
  std::function<ShownWindow(ViewsOnly&, app::Application&)> make;
};

template <typename Form, typename View, typename Fill>
ShownWindow Make(std::shared_ptr<Form> form, Fill fill) {
  fill(*form);
  auto view = std::make_unique<View>(*form, nullptr);
  return {std::move(form), std::move(view)};
}

ShownWindow Preferences(ViewsOnly& ui, int page) {
  ShownWindow shown = Make<app::TPreferencesForm, PreferencesView>(std::make_shared<app::TPreferencesForm>(ui),
                                                                   [](app::TPreferencesForm& form) {
                                                                     form.NormalWipe.checked = true;
                                                                     form.Passes.enabled = form.UpDown.enabled = true;
                                                                   });
  shown.view->findChild<QTabWidget*>("PageControl")->setCurrentIndex(page);
  return shown;
}

const WindowCase kWindows[] = {
    {"PasswordPrompt", true,
     [](ViewsOnly& ui, app::Application&) {
       return Make<app::TPasswordBox, PasswordBoxView>(std::make_shared<app::TPasswordBox>(ui),
                                                       [](app::TPasswordBox& box) {
                                                         box.FileName.caption = "Quarterly report.odt";
                                                         box.Algorithm.caption = "Blowfish";
                                                         box.PLX.visible = true;
                                                         box.FormShow();
                                                       });
     }},
    {"ArchiveViewer", true,
     [](ViewsOnly& ui, app::Application&) {
       return Make<app::TPLXArchiver, PLXArchiverView>(std::make_shared<app::TPLXArchiver>(ui),
                                                       [](app::TPLXArchiver&) {});
     }},
    {"PreferencesGeneral", true, [](ViewsOnly& ui, app::Application&) { return Preferences(ui, 0); }},
    {"PreferencesWipe", true, [](ViewsOnly& ui, app::Application&) { return Preferences(ui, 1); }},
    {"ClipboardEditor", true,
     [](ViewsOnly& ui, app::Application&) {
       return Make<app::TKlembordForm, KlembordView>(std::make_shared<app::TKlembordForm>(ui),
                                                     [](app::TKlembordForm&) {});
     }},
    {"AboutBox", true,
     [](ViewsOnly&, app::Application&) {
       return Make<app::TAboutBox, AboutBoxView>(std::make_shared<app::TAboutBox>(), [](app::TAboutBox&) {});
     }},
    {"EmailPreferences", true,
     [](ViewsOnly&, app::Application& app) {
       return ShownWindow{nullptr, std::make_unique<EmailPropView>(app.EmailProp, nullptr)};
     }},
    {"Composer", false,
     [](ViewsOnly&, app::Application& app) {
       return ShownWindow{nullptr, std::make_unique<EmailView>(app.Email, nullptr)};
     }},
};

class WindowAtDoubledFont : public ::testing::TestWithParam<WindowCase> {
 protected:
  void SetUp() override {
    QFont doubled = original_;
    doubled.setPointSizeF(original_.pointSizeF() * 2);
    QApplication::setFont(doubled);
    window_ = GetParam().make(ui_, app_);
    window_.view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.view.get()));
  }
  void TearDown() override {
    window_ = {};
    QApplication::setFont(original_);
  }
  QWidget& Window() { return *window_.view; }

 private:
  const QFont original_ = QApplication::font();
  ViewsOnly ui_;
  app::Application app_{ui_, TestDir()};
  ShownWindow window_;
};

// A caption is cut off when it is given less room than its text needs: less
// width or height on one line, or less height than its lines need at the
// width it has when it wraps. A button narrowed on purpose below the style's
// least button width (the archive viewer's "..") needs room for its text.
bool CaptionFits(const QWidget& widget) {
  if (const auto* label = qobject_cast<const QLabel*>(&widget); label != nullptr && label->wordWrap()) {
    return label->heightForWidth(label->width()) <= label->height();
  }
  QSize needed = widget.sizeHint();
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget);
      button != nullptr && button->minimumWidth() == button->maximumWidth()) {
    needed.setWidth(button->fontMetrics().horizontalAdvance(button->text()));
  }
  return needed.width() <= widget.width() && needed.height() <= widget.height();
}

void ExpectNoCaptionCutOff(QWidget& window) {
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    const auto* label = qobject_cast<QLabel*>(widget);
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    const bool caption =
        (label != nullptr && !label->text().isEmpty()) || (button != nullptr && !button->text().isEmpty());
    if (!caption || !widget->isVisibleTo(&window)) continue;
    EXPECT_TRUE(CaptionFits(*widget)) << widget->objectName().toStdString() << " needs " << widget->sizeHint().width()
                                      << "x" << widget->sizeHint().height() << ", has " << widget->width() << "x"
                                      << widget->height();
  }
}

TEST_P(WindowAtDoubledFont, NoCaptionIsCutOff) { ExpectNoCaptionCutOff(Window()); }

// Where Tab stops for `widget`: the end of its focus proxy chain, or for a
// radio button its group, which Tab enters at the checked button and the
// arrow keys walk.
const QObject* TabStop(QWidget* widget) {
  while (widget->focusProxy() != nullptr) widget = widget->focusProxy();
  if (const auto* radio = qobject_cast<QRadioButton*>(widget); radio != nullptr && radio->autoExclusive()) {
    return radio->parent();
  }
  return widget;
}

TEST_P(WindowAtDoubledFont, TabReachesEveryControl) {
  if (!GetParam().dialog) GTEST_SKIP() << "Tab belongs to the message";
  QMap<const QObject*, QString> controls;
  for (QWidget* widget : Window().findChildren<QWidget*>()) {
    if (widget->isVisibleTo(&Window()) && widget->isEnabled() &&
        (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
      controls.insert(TabStop(widget), widget->objectName());
    }
  }
  Window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
  QSet<const QObject*> reached;
  for (int press = 0; press < 2 * static_cast<int>(controls.size()) + 2; ++press) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    reached.insert(TabStop(focused));
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  for (auto control = controls.cbegin(); control != controls.cend(); ++control) {
    EXPECT_TRUE(reached.contains(control.key())) << control.value().toStdString() << " is never reached";
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowAtDoubledFont, ::testing::ValuesIn(kWindows),
                         [](const auto& test) { return std::string(test.param.name); });

// --- Translated windows -------------------------------------------------------

// The preferences in German and in the pseudo-locale, whose texts are about
// 40 % longer than the English ones: every caption must still fit.
class WindowInLanguage : public ::testing::TestWithParam<std::tuple<const char*, int>> {
 protected:
  void SetUp() override {
    common::StartTranslations();
    window_ = Preferences(ui_, std::get<1>(GetParam()));
    window_.view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.view.get()));
  }
  void TearDown() override {
    window_ = {};
    ::setenv("LANGUAGE", "en", 1);
    std::setlocale(LC_ALL, "");  // gettext forgets the language's texts
  }
  QWidget& Window() { return *window_.view; }

 private:
  voltare::testing::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
  voltare::testing::ScopedEnv language_{"LANGUAGE", std::get<0>(GetParam())};
  ViewsOnly ui_;
  ShownWindow window_;
};

TEST_P(WindowInLanguage, NoCaptionIsCutOff) {
  EXPECT_NE(Window().windowTitle(), QStringLiteral("KOVA Voltare Preferences")) << "the catalogue was not read";
  ExpectNoCaptionCutOff(Window());
}

INSTANTIATE_TEST_SUITE_P(Preferences, WindowInLanguage,
                         ::testing::Combine(::testing::Values("de", "en@pseudo"), ::testing::Values(0, 1)),
                         [](const auto& test) {
                           std::string name = std::get<0>(test.param);
                           name = name == "de" ? "German" : "Pseudo";
                           return name + (std::get<1>(test.param) == 0 ? "General" : "Wipe");
                         });

// A picture a layout file loads at its natural size is drawn again from its
// SVG source at a 200 % screen's pixel ratio, at the same size on screen; a
// picture not of the program's own is left as it is.
TEST(SharpPictures, ProgramPicturesAreRedrawnAtThePixelRatio) {
  QWidget window;
  auto* logo = new QLabel(&window);
  logo->setPixmap(QPixmap(":/pictures/logo.svg"));
  auto* other = new QLabel(&window);
  QPixmap plain(10, 10);
  plain.fill(Qt::red);
  other->setPixmap(plain);
  const QSize logoSize = logo->pixmap().size();
  ASSERT_FALSE(logoSize.isEmpty());

  ShowPicturesSharp(window, 2.0);
  EXPECT_EQ(logo->pixmap().devicePixelRatio(), 2.0);
  EXPECT_EQ(logo->pixmap().deviceIndependentSize().toSize(), logoSize);
  EXPECT_EQ(other->pixmap().cacheKey(), plain.cacheKey());
}

// The main window's left panel at the default and at a doubled font: captions
// shrink a little at most, and the panel grows by what they still lack.
TEST(PanelCaptions, StayReadableAndThePanelGrowsForThem) {
  for (const qreal scale : {1.0, 2.0}) {
    QWidget panel;
    panel.setFixedWidth(120);
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * scale);
    panel.setFont(font);
    std::vector<QToolButton*> buttons;
    for (const char* caption : {"Send E-mail Message", "Edit Clipboard", "Wipe Files", "Help"}) {
      buttons.push_back(new QToolButton(&panel));
      buttons.back()->setText(caption);
    }
    FitPanelCaptions({buttons[0], buttons[1], buttons[2], buttons[3]}, 104);
    for (QToolButton* button : buttons) {
      SCOPED_TRACE(button->text().toStdString() + " at " + std::to_string(font.pointSizeF()) + " pt");
      EXPECT_GE(button->font().pointSizeF(), font.pointSizeF() - 2);
      EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), panel.maximumWidth() - 16);
    }
  }
}

}  // namespace
}  // namespace voltare::gui
