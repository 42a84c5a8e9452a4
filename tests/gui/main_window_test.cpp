// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven through its real widgets on the offscreen platform.

#include "gui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/email/update_check.h"
#include "app/shared/application.h"
#include "gui/qt_interaction.h"
#include "peers/peers.h"
#include "peers/scoped_env.h"
#include "platform/temp_files.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

namespace voltare::gui {
namespace {

namespace fs = std::filesystem;
using testing::TestDir;

constexpr const char* kNoActiveWindow =
    "the display never made the window active (no keyboard seat), so no shortcut can reach it";

struct MainWindowFixture {
  explicit MainWindowFixture(std::vector<std::string> arguments = {})
      : window(program, interaction, std::move(arguments)) {}

  QtInteraction interaction;
  app::Application program{interaction, TestDir()};
  MainWindow window;

  QTableView& List() { return *window.findChild<QTableView*>("ListView"); }
  int Rows() { return List().model()->rowCount(); }
  QVariant Cell(int row, int column, int role = Qt::DisplayRole) {
    return List().model()->data(List().model()->index(row, column), role);
  }
  QRect RowRect(int row) { return List().visualRect(List().model()->index(row, 0)); }
  QAction& Action(const char* name) { return *window.findChild<QAction*>(name); }

  std::vector<std::string> DisplayNames() {
    std::vector<std::string> names;
    for (int row = 0; row < Rows(); ++row) names.push_back(Cell(row, 0).toString().toStdString());
    return names;
  }

  // Shortcuts reach only the active window: Qt matches them against the
  // application's active window, which follows the compositor's keyboard
  // focus through queued events (the platform window may count as active
  // before they arrive).
  bool IsActive() const { return QApplication::activeWindow() == &window; }

  // A compositor with a keyboard activates a new window by itself; a
  // headless one (no seat) never does, and no Wayland client may activate
  // itself. Returns false there: a shortcut test must then be skipped, since
  // no key can reach the window on such a display, for the user either.
  bool ShowActive() {
    window.ShowForm();
    window.show();
    return QTest::qWaitFor([this] { return IsActive(); }, 2000);
  }

  // Presses a shortcut as the user does. On Wayland a closed menu gives the
  // keyboard back to the window a moment later, through the compositor; a
  // real key press comes through the compositor too, so after that, while a
  // synthetic one must wait for the window to be active again.
  void PressShortcut(QWidget& receiver, Qt::Key key) {
    QTest::qWait(50);
    ASSERT_TRUE(QTest::qWaitFor([this] { return IsActive(); }, 2000))
        << "the window gets the keyboard back when the menu closes";
    QTest::keyClick(&receiver, key, Qt::ControlModifier);
  }

  // Opens a menu the way the user does, so that its aboutToShow handler runs.
  void OpenAndCloseMenu(const char* name) {
    auto* menu = window.findChild<QMenu*>(name);
    menu->popup(window.geometry().center());
    QTest::qWait(10);
    menu->close();
  }
};

// Answers the modal windows that appear while `until` is false: types
// `password` into a password prompt, accepts message boxes and records
// their texts.
class ModalDriver {
 public:
  explicit ModalDriver(std::string password) : password_(std::move(password)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start(20);
  }
  std::vector<std::string> messages;

 private:
  void Step() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back(box->text().toStdString());
      box->accept();
    } else if (auto* edit = modal->findChild<QLineEdit*>("Password")) {
      QTest::keyClicks(edit, QString::fromStdString(password_));
      QTest::keyClick(edit, Qt::Key_Return);
    }
  }
  std::string password_;
  QTimer timer_;
};

std::string MakeFile(const fs::path& path, const std::string& text = "some text") {
  fs::create_directories(path.parent_path());
  testing::WriteFileText(path, text);
  return path.string();
}

std::string ReadText(const fs::path& path) {
  const auto bytes = testing::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(MainWindowTest, EveryControlAndCommandOfTheFormHasAWidgetOrActionOfItsName) {
  MainWindowFixture fixture;
  const auto bound = [&](std::string_view name) {
    const QString objectName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return fixture.window.findChild<QWidget*>(objectName) || fixture.window.findChild<QAction*>(objectName);
  };
  for (const app::NamedControl& control : fixture.program.MainForm.Controls()) {
    EXPECT_TRUE(bound(control.name)) << control.name;
  }
  for (const app::Command& command : app::TMainForm::Commands()) {
    EXPECT_TRUE(bound(command.control)) << command.control;
  }
  EXPECT_EQ(fixture.Action("Exit1").shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(fixture.Action("Cut1").shortcut(), QKeySequence("Ctrl+U"));
  EXPECT_EQ(fixture.Action("Contents").shortcut(), QKeySequence("F1"));
  EXPECT_EQ(fixture.window.findChild<QToolButton*>("WipeFiles3")->toolTip(),
            "Secure deleting of your files from your harddisk");
  EXPECT_EQ(fixture.window.windowTitle(), "KOVA Voltare 2.50");
  EXPECT_EQ(fixture.window.width(), 624);
  EXPECT_EQ(fixture.window.height() - fixture.window.menuBar()->sizeHint().height(), 359)
      << "the client area below the menu bar";
}

// The window opens at its old fixed size, which is now its least; the room
// it gains goes to the list and its File Name column, and the window comes
// back at the size and column widths the user left it with.
TEST(MainWindowTest, TheResizedWindowGivesTheListTheRoomAndIsRememberedWithItsColumns) {
  const std::string file = MakeFile(TestDir() / "a folder with a rather long name" / "report.txt");
  QSize resized;
  int displayNameWidth = 0;
  {
    MainWindowFixture fixture;
    fixture.program.MainForm.DropFiles(std::vector<std::string>{file});
    fixture.window.ShowForm();
    fixture.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.window));
    EXPECT_EQ(fixture.window.minimumSize(), fixture.window.size());
    QTableView& list = fixture.List();
    EXPECT_EQ(list.textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(fixture.Cell(0, 1, Qt::ToolTipRole).toString().toStdString(), file);
    const QString date = fixture.Cell(0, 4).toString();
    EXPECT_EQ(fixture.Cell(0, 4, Qt::ToolTipRole).toString(), date);
    EXPECT_GE(list.columnWidth(4), list.fontMetrics().horizontalAdvance(date)) << date.toStdString();

    const QSize listBefore = list.size();
    const int fileNameBefore = list.columnWidth(1), typeBefore = list.columnWidth(3);
    resized = fixture.window.size() + QSize(150, 150);  // within the offscreen screen
    fixture.window.resize(resized);
    QTest::qWait(20);
    EXPECT_EQ(list.size(), listBefore + QSize(150, 150));
    EXPECT_EQ(list.columnWidth(1), fileNameBefore + 150);
    EXPECT_EQ(list.columnWidth(3), typeBefore);
    displayNameWidth = list.columnWidth(0) + 25;
    list.setColumnWidth(0, displayNameWidth);
    fixture.window.close();
  }
  MainWindowFixture again;
  EXPECT_EQ(again.window.size(), resized);
  EXPECT_EQ(again.List().columnWidth(0), displayNameWidth);
}

TEST(MainWindowTest, AServersMarkupAndFileNamesAreShownAsPlainTextNeverAsLinks) {
  MainWindowFixture fixture;
  for (const QLabel* label : fixture.window.findChildren<QLabel*>()) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
  }

  const std::string markup = "<a href=\"http://evil.example/\"><font color=red size=6>CLICK HERE</font></a>";
  const fs::path site = TestDir() / "site";
  fs::create_directories(site);
  testing::WriteFileText(site / "Update.ini", "[VOLTUPDATE]\nNumber=3\nVersionNumber=2.60\nDescription=" + markup);
  const net::testing::PeerProcess server(net::testing::ScriptPath("http_server.py"), {site.string()},
                                         TestDir() / "http.log");
  const net::testing::ScopedEnv address("VOLTARE_UPDATE_URL",
                                        "http://127.0.0.1:" + std::to_string(server.port()) + "/Update.ini");
  Qt::TextFormat format = Qt::RichText;
  QString shown;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    format = box->textFormat();
    shown = box->text();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(app::CheckForNewVersion(fixture.interaction), app::UpdateCheckResult::Declined);
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_TRUE(shown.contains(QString::fromStdString(markup))) << shown.toStdString();
}

TEST(MainWindowTest, StartedWithAnEncryptedFileAsksItsPasswordAndDecryptsIt) {
  const std::string plain = MakeFile(TestDir() / "my letter.txt", "Dear Anna");
  QtProgress progress;  // a bar not shown anywhere
  ASSERT_EQ(transforms::CompressFile(plain, TestDir() / "packed", &progress), 0);
  ASSERT_EQ(transforms::BlowfishEncryptFile(TestDir() / "packed", plain + ".vlt", "open sesame", &progress, false), 0);
  fs::remove(plain);

  // A path with a blank comes split in two arguments.
  MainWindowFixture fixture({(TestDir() / "my").string(), "letter.txt.vlt"});
  ModalDriver user("open sesame");
  fixture.window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !user.messages.empty(); }, 10000));
  EXPECT_EQ(user.messages, std::vector<std::string>{"The file(s) are successfully decrypted !"});
  EXPECT_EQ(ReadText(plain), "Dear Anna");
}

TEST(MainWindowTest, AFolderDroppedOnTheWindowFillsTheListSortedByName) {
  MainWindowFixture fixture;
  const fs::path folder = TestDir() / "drop";
  MakeFile(folder / "beta.txt");
  MakeFile(folder / "Alpha.txt", std::string(5000, 'a'));
  MakeFile(folder / "inner" / "gamma.txt");
  const std::string single = MakeFile(TestDir() / "delta.txt");
  fixture.window.show();

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string())),
                QUrl::fromLocalFile(QString::fromStdString(single))});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&fixture.window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&fixture.window, &drop);

  EXPECT_EQ(fixture.DisplayNames(), (std::vector<std::string>{"Alpha.txt", "beta.txt", "delta.txt", "gamma.txt"}));
  EXPECT_EQ(fixture.Cell(0, 1).toString().toStdString(), (folder / "Alpha.txt").string());
  EXPECT_EQ(fixture.Cell(0, 2).toString(), "4KB");
  EXPECT_TRUE(fixture.Cell(0, 2, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
}

TEST(MainWindowTest, MenuAndToolBarEnablingFollowsTheSelection) {
  MainWindowFixture fixture;
  const std::string a = MakeFile(TestDir() / "a.txt");
  const std::string b = MakeFile(TestDir() / "b.txt");
  fixture.program.MainForm.DropFiles(std::vector<std::string>{a, b});
  if (!fixture.ShowActive()) GTEST_SKIP() << kNoActiveWindow;

  fixture.OpenAndCloseMenu("Actions1");
  EXPECT_FALSE(fixture.Action("EncryptFiles1").isEnabled());
  EXPECT_TRUE(fixture.Action("DecryptFiles1").isEnabled());
  EXPECT_FALSE(fixture.Action("CutButton").isEnabled());

  QTableView& list = fixture.List();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, fixture.RowRect(1).center());
  EXPECT_TRUE(fixture.Action("CutButton").isEnabled()) << "selection changes reach ListViewSelectItem";
  EXPECT_TRUE(fixture.Action("DeleteButton").isEnabled());
  fixture.OpenAndCloseMenu("Actions1");
  EXPECT_TRUE(fixture.Action("EncryptFiles1").isEnabled());
  EXPECT_EQ(fixture.program.MainForm.ListView.SelectedFileNames(), std::vector<std::string>{b});

  // The arrow beside the heading opens the list's menu, with its own rule.
  auto* popup = fixture.window.findChild<QMenu*>("PopupMenu");
  QTest::mouseClick(fixture.window.findChild<QWidget*>("Pijl"), Qt::LeftButton);
  EXPECT_TRUE(popup->isVisible());
  EXPECT_TRUE(fixture.Action("EncryptFiles2").isEnabled());
  popup->close();

  // Ctrl+U takes the selected entry off the list (onto the clipboard).
  fixture.OpenAndCloseMenu("Edit1");
  fixture.PressShortcut(fixture.window, Qt::Key_U);
  EXPECT_EQ(fixture.DisplayNames(), std::vector<std::string>{"a.txt"});
  EXPECT_FALSE(fixture.Action("CutButton").isEnabled());
}

// The menus were last opened with nothing selected, which disabled their
// entries; a shortcut pressed after a selection still runs its command.
TEST(MainWindowTest, CtrlEEncryptsTheSelectionAfterTheMenusWereOpenedWithNothingSelected) {
  MainWindowFixture fixture;
  const std::string file = MakeFile(TestDir() / "later.txt");
  fixture.program.MainForm.DropFiles(std::vector<std::string>{file});
  if (!fixture.ShowActive()) GTEST_SKIP() << kNoActiveWindow;
  fixture.OpenAndCloseMenu("Edit1");
  fixture.OpenAndCloseMenu("Actions1");
  ASSERT_FALSE(fixture.Action("EncryptFiles1").isEnabled());

  QTableView& list = fixture.List();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, fixture.RowRect(0).center());
  ModalDriver user("pw");
  fixture.PressShortcut(list, Qt::Key_E);
  EXPECT_TRUE(fs::exists(file + ".vlt"));
  EXPECT_EQ(user.messages.size(), 1u) << "the success message";
}

// Enter answers a question with its default button: No where Yes would
// destroy data, Yes where it only starts afresh. Either way the entries
// leave the list: a wipe takes them off whatever the answer.
TEST(MainWindowTest, EnterOnTheWipeQuestionKeepsTheFilesAndOnTheNewListQuestionStartsANewList) {
  struct Case {
    const char* action;
    const char* question;
  };
  for (const Case& test : {Case{"WipeFiles2", "Are you sure you want to wipe the selected files?"},
                           Case{"New1", "Are you sure you want to create a new list?"}}) {
    SCOPED_TRACE(test.action);
    MainWindowFixture fixture;
    const std::string file = MakeFile(TestDir() / "precious.txt", "keep me");
    fixture.program.MainForm.DropFiles(std::vector<std::string>{file});
    fixture.program.MainForm.SelectAll1Click();
    fixture.window.ShowForm();
    fixture.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.window));

    std::vector<std::string> questions;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        questions.push_back(box->text().toStdString());
        QTest::keyClick(box, Qt::Key_Return);
      }
    });
    user.start(20);
    fixture.Action(test.action).trigger();

    EXPECT_EQ(questions, std::vector<std::string>{test.question});
    EXPECT_EQ(ReadText(file), "keep me");
    EXPECT_EQ(fixture.Rows(), 0);
  }
}

TEST(MainWindowTest, ExitDeletesLeftoverTemporaryFilesAndClosesTheWindow) {
  MainWindowFixture fixture;
  const auto temp = platform::PrivateTempDir();
  ASSERT_TRUE(temp);
  const std::string leftover = MakeFile(*temp / "Vol1A2B.TMP");
  const std::string member = MakeFile(*temp / "member.txt.vlt");
  fixture.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.window));

  fixture.Action("Exit1").trigger();
  EXPECT_FALSE(fixture.window.isVisible());
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_FALSE(fs::exists(member));
}

// Esc, then a click on Cancel, during an encryption: the step stops, leaves
// no output and no temporary file, and says nothing; the rest of the window
// ignores the user meanwhile (Ctrl+U would take an entry off the list).
// Bytes zlib cannot shrink: every step takes many pieces.
std::vector<std::uint8_t> Noise(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  return bytes;
}

TEST(MainWindowTest, EscOrCancelStopsAnEncryptionAndNothingElseActsMeanwhile) {
  MainWindowFixture fixture;
  const std::vector<std::uint8_t> noise = Noise(8u << 20, 12);
  const fs::path work = TestDir() / "work";
  const std::string other = MakeFile(work / "other.txt");
  const std::string source = (work / "big.bin").string();
  testing::WriteFileBytes(source, noise);
  fixture.program.MainForm.DropFiles(std::vector<std::string>{source, other});
  fixture.window.ShowForm();
  fixture.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.window));
  auto* cancel = fixture.window.findChild<QToolButton*>("CancelButton");
  ASSERT_NE(cancel, nullptr);
  EXPECT_FALSE(cancel->isVisible()) << "no step runs";
  EXPECT_EQ(cancel->text(), "Cancel");

  for (const bool byMouse : {false, true}) {
    SCOPED_TRACE(byMouse);
    fixture.program.MainForm.ListView.Select(source);
    fixture.program.MainForm.ListView.Select(other, false);
    ModalDriver user("pw");
    bool sawCancel = false;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
      if (sawCancel || !cancel->isVisible()) return;
      sawCancel = true;
      QTest::keyClick(&fixture.window, Qt::Key_U, Qt::ControlModifier);
      if (byMouse) {
        QTest::mouseClick(cancel, Qt::LeftButton);
      } else {
        QTest::keyClick(&fixture.window, Qt::Key_Escape);
      }
    });
    stopper.start(5);
    fixture.Action("EncryptFiles1").trigger();

    EXPECT_TRUE(sawCancel);
    EXPECT_EQ(user.messages, std::vector<std::string>{}) << "no success message";
    EXPECT_FALSE(fs::exists(source + ".vlt"));
    EXPECT_TRUE(testing::ReadFileBytes(source) == noise);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(work)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"big.bin", "other.txt"})) << "no staged output";
    EXPECT_TRUE(fs::is_empty(*platform::PrivateTempDir())) << "no temporary file";
    EXPECT_EQ(fixture.Rows(), 2) << "Ctrl+U did nothing during the step";
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_FALSE(fixture.interaction.ProgressBar().cancelRequested()) << "the next command starts afresh";
  }
}

// Cancel in the second file of two: the question comes up over the working
// window and takes clicks; Yes keeps the first file's result and ends there.
TEST(MainWindowTest, CancelInAHalfDoneBatchAsksAndYesStopsIt) {
  MainWindowFixture fixture;
  const fs::path work = TestDir() / "half";
  const std::string first = (work / "a.bin").string(), second = (work / "b.bin").string();
  fs::create_directories(work);
  testing::WriteFileBytes(first, Noise(4u << 20, 1));
  testing::WriteFileBytes(second, Noise(8u << 20, 2));
  fixture.program.MainForm.DropFiles(std::vector<std::string>{first, second});
  fixture.program.MainForm.SelectAll1Click();
  fixture.window.ShowForm();
  fixture.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.window));
  auto* cancel = fixture.window.findChild<QToolButton*>("CancelButton");
  auto* status = fixture.window.findChild<QLabel*>("StatusPanel");

  std::vector<std::string> questions;
  bool clicked = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      questions.push_back(box->text().toStdString());
      QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    } else if (auto* edit = modal ? modal->findChild<QLineEdit*>("Password") : nullptr) {
      QTest::keyClicks(edit, "pw");
      QTest::keyClick(edit, Qt::Key_Return);
    } else if (!modal && cancel->isVisible() && status->text().endsWith("(2/2)...") && !clicked) {
      // From a timer of its own: this one must go on to answer the question.
      clicked = true;
      QTimer::singleShot(0, cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
    }
  });
  user.start(5);
  fixture.Action("EncryptFiles1").trigger();

  EXPECT_EQ(questions, (std::vector<std::string>{
                           "Do you want to use the same password you just used to all the other selected files ?",
                           "Stop now and leave the work on the selected files half done ?"}));
  EXPECT_TRUE(fs::exists(first + ".vlt")) << "the finished file stays";
  EXPECT_FALSE(fs::exists(second + ".vlt"));
  EXPECT_TRUE(fs::is_empty(*platform::PrivateTempDir()));
}

}  // namespace
}  // namespace voltare::gui
