// SPDX-License-Identifier: GPL-3.0-or-later
// The e-mail windows, printing and help, driven through their real widgets:
// a message composed in the window and sent to a real SMTP server, a cancel
// while the server stays silent, the settings typed into their dialog, a list
// printed to a PDF file, and the guide opened at its two topics.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/email/email_settings.h"
#include "app/shared/application.h"
#include "gui/email_prop_view.h"
#include "gui/email_view.h"
#include "gui/form_views.h"
#include "gui/help_view.h"
#include "peers/peer_files.h"
#include "peers/peers.h"
#include "peers/scoped_env.h"
#include "platform/settings_store.h"
#include "support/test_env.h"
#include "transforms/text_crypt.h"

namespace voltare::gui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using voltare::testing::TestDir;

// The user at the desk: message boxes are recorded (and answered OK), file
// dialogs answered from a list; modal forms, the print dialog and help are
// the real views.
class DeskUser final : public app::Interaction {
 public:
  app::MessageButton ShowMessage(app::MessageKind kind, std::string_view, std::string_view text,
                                 app::MessageButtons) override {
    messages.push_back(std::string(app::KindName(kind)) + ": " + std::string(text));
    return app::MessageButton::Ok;
  }
  std::vector<fs::path> ChooseOpenFiles(const app::OpenDialogRequest&) override { return std::exchange(files, {}); }
  std::optional<fs::path> ChooseSaveFile(const app::SaveDialogRequest&) override { return std::nullopt; }
  std::optional<fs::path> ChooseDirectory(const app::DirectoryRequest&) override { return std::nullopt; }
  void RunPasswordPrompt(app::TPasswordBox& box) override { RunPasswordPromptView(box, nullptr); }
  void RunModal(app::ModalForm& form) override { RunFormView(form, nullptr); }
  void RunArchiveViewer(app::TPLXArchiver& viewer) override { RunArchiveViewerView(viewer, nullptr); }
  void SetStatusText(std::string_view text) override { status = text; }
  std::string StatusText() const override { return status; }
  platform::Progress& ProgressBar() override { return progress; }
  void SetBusyCursor(bool) override {}
  std::optional<std::string> ClipboardText() override { return std::nullopt; }
  void SetClipboardText(std::string_view) override {}
  void ClearClipboard() override {}
  bool ShellOpen(std::string_view, const fs::path&) override { return false; }
  void ShowHelp(int context) override { ShowHelpView(context, nullptr); }
  app::FileInfo GetFileInfo(const fs::path& path) override { return app::PlainFileInfo(path); }
  std::unique_ptr<app::Printer> RunPrintDialog() override { return RunPrintDialogView(nullptr); }

  common::UnwatchedProgress progress;
  std::vector<std::string> messages;
  std::vector<fs::path> files;
  std::string status;
};

// Runs `action` on the modal window as soon as it is up.
void WhenModalShows(std::function<void(QWidget&)> action) {
  QTimer::singleShot(0, [action = std::move(action)] {
    QWidget* window = QApplication::activeModalWidget();
    ASSERT_NE(window, nullptr);
    action(*window);
  });
}

template <typename T>
T& Child(const QWidget& window, const char* name) {
  T* child = window.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) throw std::runtime_error(std::string("no widget ") + name);
  return *child;
}

// Presses a tool bar button of the composer as the mouse would.
void Press(const QWidget& window, const char* action) {
  QToolBar& toolBar = Child<QToolBar>(window, "ToolBar1");
  QTest::mouseClick(toolBar.widgetForAction(&Child<QAction>(window, action)), Qt::LeftButton);
}

void WriteEmailSettings(int port) {
  auto key = platform::SettingsKey::OpenForWriting(platform::kEmailSettingsKey);
  key.WriteString(app::kServerValue, "127.0.0.1");
  key.WriteString(app::kPortValue, std::to_string(port));
  key.WriteString(app::kUsernameValue, "desk.test");
  key.WriteString(app::kNameValue, "Alice");
  key.WriteString(app::kAddressValue, "alice@example.org");
}

class MailPrintHelpTest : public ::testing::Test {
 protected:
  DeskUser user;
  app::Application app{user, TestDir()};
};

// --- E-mail -------------------------------------------------------------------

TEST_F(MailPrintHelpTest, EveryControlOfBothMailFormsHasItsWidget) {
  const auto check = [](const QWidget& view, const std::vector<app::NamedControl>& controls) {
    for (const app::NamedControl& control : controls) {
      EXPECT_NE(view.findChild<QObject*>(QString::fromUtf8(control.name.data(), control.name.size())), nullptr)
          << control.name;
    }
  };
  check(EmailPropView(app.EmailProp, nullptr), app.EmailProp.Controls());
  check(EmailView(app.Email, nullptr), app.Email.Controls());
}

TEST_F(MailPrintHelpTest, SettingsTypedIntoTheDialogAreStoredAndAnEmptyFieldKeepsItOpen) {
  WhenModalShows([this](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "E-mail Preferences");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QTest::keyClicks(&Child<QLineEdit>(dialog, "SMTP"), "mail.example.org");
    QTest::keyClicks(&Child<QLineEdit>(dialog, "Port"), "2a5");
    EXPECT_EQ(Child<QLineEdit>(dialog, "Port").text(), "25") << "the port keeps its digits only";
    QTest::mouseClick(&Child<QAbstractButton>(dialog, "OKButton"), Qt::LeftButton);
    EXPECT_EQ(user.messages, std::vector<std::string>{"error: No username set !"});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), &Child<QLineEdit>(dialog, "UserName"));
    QTest::keyClicks(&Child<QLineEdit>(dialog, "UserName"), "desk.test");
    QTest::keyClicks(&Child<QLineEdit>(dialog, "Name"), "Alice Sender");
    QTest::keyClicks(&Child<QLineEdit>(dialog, "Email"), "alice@example.org");
    QTest::mouseClick(&Child<QAbstractButton>(dialog, "OKButton"), Qt::LeftButton);
  });
  app.MainForm.Preferences1Click();

  const auto key = platform::SettingsKey::OpenReadOnly(platform::kEmailSettingsKey);
  ASSERT_TRUE(key);
  EXPECT_EQ(app::ReadEmailValue(*key, app::kServerValue), "mail.example.org");
  EXPECT_EQ(app::ReadEmailValue(*key, app::kPortValue), "25");
  EXPECT_EQ(app::ReadEmailValue(*key, app::kUsernameValue), "desk.test");
  EXPECT_EQ(app::ReadEmailValue(*key, app::kNameValue), "Alice Sender");
  EXPECT_EQ(app::ReadEmailValue(*key, app::kAddressValue), "alice@example.org");

  // Shown again, the dialog holds what was stored.
  WhenModalShows([](QWidget& dialog) {
    EXPECT_EQ(Child<QLineEdit>(dialog, "SMTP").text(), "mail.example.org");
    QTest::mouseClick(&Child<QAbstractButton>(dialog, "CancelButton"), Qt::LeftButton);
  });
  app.MainForm.Preferences1Click();
}

TEST_F(MailPrintHelpTest, AMessageComposedInTheWindowArrivesEncryptedWithItsAttachment) {
  const fs::path inbox = TestDir() / "inbox";
  fs::create_directories(inbox);
  const net::testing::PeerProcess server(net::testing::ScriptPath("smtp_server.py"), {inbox.string()},
                                         TestDir() / "smtp.log");
  WriteEmailSettings(server.port());
  const fs::path plan = TestDir() / "plan.txt";
  voltare::testing::WriteFileText(plan, "the plan\n");

  WhenModalShows([this, &plan](QWidget& window) {
    EXPECT_EQ(window.windowTitle(), "KOVA E-mail Encrypt");
    EXPECT_EQ(Child<QLabel>(window, "StatusText").text(), "Not connected");
    QListWidget& attachments = Child<QListWidget>(window, "Attachments");
    EXPECT_FALSE(attachments.isVisible()) << "no list before the first attachment";
    user.files = {plan};
    Press(window, "AttachMentButton");
    EXPECT_TRUE(attachments.isVisible());
    EXPECT_TRUE(Child<QSplitterHandle>(window, "Splitter").isVisible());
    ASSERT_EQ(attachments.count(), 1);
    EXPECT_EQ(attachments.item(0)->text(), "plan.txt");

    QTest::keyClicks(&Child<QLineEdit>(window, "Naar"), "bob@example.org");
    QTest::keyClicks(&Child<QLineEdit>(window, "Subject"), "Tonight");
    QTest::keyClicks(&Child<QLineEdit>(window, "Password"), "s3cret");
    EXPECT_EQ(Child<QLineEdit>(window, "Password").echoMode(), QLineEdit::Password);
    QPlainTextEdit& message = Child<QPlainTextEdit>(window, "Message");
    QTest::keyClicks(&message, "Meet at noon.");
    QTest::keyClick(&message, Qt::Key_Return);
    QTest::keyClicks(&message, "Bob");
    Press(window, "SendButton");
  });
  app.MainForm.SendMessage1Click();

  EXPECT_EQ(user.messages,
            (std::vector<std::string>{"information: Please note: your attachment(s) will not be encrypted.\r\n"
                                      "You will need to do this manually in KOVA Voltare.",
                                      "information: Your e-mail is successfully sent !"}));
  EXPECT_FALSE(app.Email.IsShowing());
  const std::string body = net::testing::Text(inbox / "1.part0");
  const std::string line = body.substr(0, body.find("\r\n"));
  EXPECT_EQ(transforms::BlowfishDecryptString(line, "s3cret"), "Meet at noon.\r\nBob");
  EXPECT_EQ(net::testing::Text(inbox / "1.part1"), "the plan\n");
}

// Keys through the window system, as the desktop delivers them, so that
// shortcuts and mnemonics take part.
TEST_F(MailPrintHelpTest, TheComposerSendsAttachesAndClosesFromTheKeyboard) {
  WriteEmailSettings(1);
  const fs::path plan = TestDir() / "plan.txt";
  voltare::testing::WriteFileText(plan, "the plan\n");
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::vector<std::string> messages;
    int attachments;
    bool stillOpen;
  };
  const std::vector<std::string> sendTried{"error: You have not specified a recipient."};
  for (const Case& test :
       {Case{Qt::Key_Return, Qt::ControlModifier, sendTried, 0, true},
        Case{Qt::Key_S, Qt::AltModifier, sendTried, 0, true}, Case{Qt::Key_A, Qt::AltModifier, {}, 1, true},
        Case{Qt::Key_Escape, Qt::NoModifier, {}, 0, false}}) {
    SCOPED_TRACE(QKeySequence(test.key | test.modifiers).toString().toStdString());
    user.messages.clear();
    user.files = {plan};
    int attachments = -1;
    WhenModalShows([&](QWidget& window) {
      ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
      QTest::keyClick(window.windowHandle(), test.key, test.modifiers);
      QListWidget& list = Child<QListWidget>(window, "Attachments");
      // A mnemonic presses its button the way a click does, a moment later.
      static_cast<void>(
          QTest::qWaitFor([&] { return user.messages == test.messages && list.count() == test.attachments; }, 1000));
      attachments = list.count();
      if (app.Email.IsShowing()) window.close();
    });
    app.MainForm.SendMessage1Click();
    EXPECT_EQ(user.messages, test.messages);
    EXPECT_EQ(attachments, test.attachments);
  }
  EXPECT_FALSE(app.Email.IsShowing());
}

TEST_F(MailPrintHelpTest, CancelDuringTheWaitForASilentServerGivesTheWindowBack) {
  net::testing::ScriptedServer silent([](net::testing::ServerConnection& connection) { connection.WaitSilently(); });
  WriteEmailSettings(silent.port());
  app.Email.Emailer.InactivityLimit = 20s;  // a cancel that fails ends the test anyway

  WhenModalShows([this](QWidget& window) {
    QTest::keyClicks(&Child<QLineEdit>(window, "Naar"), "bob@example.org");
    QTest::keyClicks(&Child<QLineEdit>(window, "Password"), "pw");
    // Runs inside the wait for the server's greeting.
    QTimer::singleShot(200ms, [&window] {
      EXPECT_FALSE(Child<QAction>(window, "SendButton").isEnabled()) << "a second Send is not offered";
      Press(window, "CancelButton");
    });
    Press(window, "SendButton");

    EXPECT_EQ(user.messages,
              std::vector<std::string>{"error: KOVA Voltare caused an unexpected system "
                                       "error.\n\nError code: -1\nError message: Socket readln aborted"});
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(Child<QAction>(window, "SendButton").isEnabled());
    EXPECT_EQ(Child<QLabel>(window, "StatusText").text(), "Not connected");
    EXPECT_EQ(Child<QLineEdit>(window, "Naar").text(), "bob@example.org") << "what was typed stays";
    Child<QAction>(window, "Exit1").trigger();
  });
  app.MainForm.SendMessage1Click();
  EXPECT_FALSE(app.Email.IsShowing());
  EXPECT_EQ(silent.Transcript(), "") << "a cancelled wait starts no goodbye";
}

// --- Printing -----------------------------------------------------------------

// Picks "Print to File (PDF)" in the print dialog, names the file, prints.
void PrintToFile(const fs::path& pdf) {
  WhenModalShows([pdf](QWidget& dialog) {
    for (QComboBox* printers : dialog.findChildren<QComboBox*>()) {
      const int pdfPrinter = printers->findText(QStringLiteral("Print to File (PDF)"));
      if (pdfPrinter >= 0) printers->setCurrentIndex(pdfPrinter);
    }
    Child<QLineEdit>(dialog, "filename").setText(QString::fromStdString(pdf.string()));
    qobject_cast<QDialog*>(&dialog)->accept();
  });
}

QString Output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

TEST_F(MailPrintHelpTest, AListPrintedToPdfRepeatsItsHeadingsOnEveryPageInTheArialFont) {
  constexpr int kEntries = 150;
  for (int i = 0; i < kEntries; ++i) {
    const std::string number = std::to_string(1000 + i);
    app.MainForm.ListView.Insert(
        {"f" + number, (i % 3 == 2 ? "/home/alice/projects/voltare/letter-" : "/home/alice/letter-") + number + ".txt",
         "1KB", "TXT File", "", "A"});
  }
  const fs::path pdf = TestDir() / "list.pdf";
  PrintToFile(pdf);
  app.MainForm.PrintButtonClick();
  ASSERT_TRUE(user.messages.empty()) << user.messages.front();
  ASSERT_TRUE(fs::exists(pdf));

  const QString file = QString::fromStdString(pdf.string());
  const QString first = Output("pdftotext", {"-layout", "-f", "1", "-l", "1", file, "-"});
  EXPECT_TRUE(first.startsWith("KOVA Voltare 2.50 - https://www.kova-software.example/\n")) << first.toStdString();
  EXPECT_TRUE(first.contains(QRegularExpression("\nUntitled:\n")));
  EXPECT_TRUE(first.contains(QRegularExpression("FileName: +Size: +Type:")));
  // The columns stand apart even beside the widest path (cut at 33 characters).
  EXPECT_TRUE(first.contains(QRegularExpression("\n/home/alice/letter-1000.txt +1KB +TXT File\n")));
  EXPECT_TRUE(first.contains(QRegularExpression("\n/home/alice/projects/voltare/let\\.\\. +1KB +TXT File\n")));
  // Every page holds as many entries as the first.
  const int onFirstPage = static_cast<int>(first.count("/home/alice/"));
  ASSERT_GT(onFirstPage, 20);
  const int pages = (kEntries + onFirstPage - 1) / onFirstPage;
  EXPECT_GE(pages, 3);
  EXPECT_TRUE(Output("pdfinfo", {file}).contains(QRegularExpression(QStringLiteral("Pages: +%1\n").arg(pages))));
  EXPECT_TRUE(Output("pdffonts", {file}).contains(QRegularExpression("Arial|Liberation ?Sans")));
}

TEST_F(MailPrintHelpTest, APrinterFailureShowsItsMessageAndLeavesNoFile) {
  app.MainForm.ListView.Insert({"a", "/tmp/a.txt", "1KB", "TXT File", "", "A"});
  const fs::path pdf = TestDir() / "missing-folder" / "list.pdf";
  PrintToFile(pdf);
  app.MainForm.PrintButtonClick();
  EXPECT_EQ(user.messages,
            std::vector<std::string>{"error: The document could not be written to the file " + pdf.string() + "."});
  EXPECT_FALSE(fs::exists(pdf.parent_path()));
}

// --- Help ---------------------------------------------------------------------

// The block at the top of the help window's view.
std::string TopLine() {
  HelpWindow* window = OpenHelpWindow();
  if (window == nullptr) return "(no help window)";
  QTextBrowser& browser = window->Browser();
  return browser.cursorForPosition(QPoint(4, 4)).block().text().toStdString();
}

// A guide of two long sections, found through VOLTARE_GUIDE_DIR.
fs::path WriteLongGuide() {
  const fs::path guide = TestDir() / "guide";
  fs::create_directories(guide);
  std::string page = "<html><body><div id=\"contents\"><h1>Contents</h1></div>";
  for (int i = 0; i < 200; ++i) page += "<p>Filler paragraph " + std::to_string(i) + "</p>";
  page += "<h2 id=\"algorithms\">Algorithms</h2><p>Blowfish, CAST-128, DES.</p>";
  for (int i = 0; i < 200; ++i) page += "<p>More " + std::to_string(i) + "</p>";
  voltare::testing::WriteFileText(guide / "index.html", page + "</body></html>");
  return guide;
}

TEST_F(MailPrintHelpTest, HelpOpensTheGuideAtTheContentsOrAtTheAlgorithms) {
  const net::testing::ScopedEnv guideDir("VOLTARE_GUIDE_DIR", WriteLongGuide().string());

  app.MainForm.ContentsClick();
  EXPECT_EQ(TopLine(), "Contents");
  ShowHelpView(20, nullptr);
  EXPECT_EQ(TopLine(), "Algorithms");
  ShowHelpView(10, nullptr);
  EXPECT_EQ(TopLine(), "Contents");
  delete OpenHelpWindow();
}

// "More Info" in Preferences: the help window takes keys (here Page Down, through
// the window system, where modal blocking applies) while Preferences is open.
TEST_F(MailPrintHelpTest, HelpOpenedFromPreferencesTakesKeysWhilePreferencesStaysOpen) {
  const net::testing::ScopedEnv guideDir("VOLTARE_GUIDE_DIR", WriteLongGuide().string());
  int scrolledTo = -1;
  bool preferencesOpen = false;
  WhenModalShows([&](QWidget& preferences) {
    QTest::mouseClick(&Child<QAbstractButton>(preferences, "MoreInfoButton"), Qt::LeftButton);
    HelpWindow* help = OpenHelpWindow();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    help->Browser().setFocus();
    help->Browser().verticalScrollBar()->setValue(0);
    QTest::keyClick(help->windowHandle(), Qt::Key_PageDown);
    scrolledTo = help->Browser().verticalScrollBar()->value();
    preferencesOpen = QApplication::activeModalWidget() == &preferences;
    preferences.close();
  });
  app.MainForm.PropertiesClick();
  EXPECT_TRUE(preferencesOpen);
  EXPECT_GT(scrolledTo, 0) << "the key reached the help window";
  ASSERT_NE(OpenHelpWindow(), nullptr) << "help stays open after Preferences";
  EXPECT_TRUE(OpenHelpWindow()->isVisible());
  delete OpenHelpWindow();
}

TEST_F(MailPrintHelpTest, AMissingGuideIsReportedWithThePathLookedFor) {
  const net::testing::ScopedEnv guideDir("VOLTARE_GUIDE_DIR", (TestDir() / "nowhere").string());
  QString shown;
  WhenModalShows([&shown](QWidget& box) {
    auto* message = qobject_cast<QMessageBox*>(&box);
    ASSERT_NE(message, nullptr);
    shown = message->text();
    message->accept();
  });
  ShowHelpView(20, nullptr);
  EXPECT_EQ(shown.toStdString(),
            "Cannot find the help file.\n\nLooked for:\n" + (TestDir() / "nowhere" / "index.html").string());
  EXPECT_EQ(OpenHelpWindow(), nullptr);
}

}  // namespace
}  // namespace voltare::gui
