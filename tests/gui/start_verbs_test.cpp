// SPDX-License-Identifier: GPL-3.0-or-later
// voltare --encrypt FILE... and its sister verbs, through the real window on
// the offscreen platform: the password is typed into the real prompt.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/email/email_settings.h"
#include "app/main_window/start_verbs.h"
#include "app/shared/application.h"
#include "gui/main_window.h"
#include "gui/qt_interaction.h"
#include "platform/settings_store.h"
#include "support/test_env.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"

namespace voltare::gui {
namespace {

namespace fs = std::filesystem;
using testing::TestDir;

// The user at the window: answers Yes to every question, OK to every
// message, types the password into each prompt and closes the composer,
// recording what each showed.
class Desk {
 public:
  explicit Desk(std::string password) : password_(std::move(password)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start(20);
  }
  std::vector<std::string> messages;
  std::vector<std::string> attachments;
  bool composerSeen = false;

 private:
  void Step() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back(box->text().toStdString());
      if (QAbstractButton* yes = box->button(QMessageBox::Yes)) return yes->click();
      box->accept();
    } else if (auto* edit = modal->findChild<QLineEdit*>("Password"); edit && modal->objectName() != "Email") {
      QTest::keyClicks(edit, QString::fromStdString(password_));
      QTest::keyClick(edit, Qt::Key_Return);
    } else if (modal->objectName() == "Email") {
      const auto* list = modal->findChild<QListWidget*>("Attachments");
      for (int row = 0; list && row < list->count(); ++row) {
        attachments.push_back(list->item(row)->text().toStdString());
      }
      composerSeen = true;
      modal->close();
    }
  }
  std::string password_;
  QTimer timer_;
};

struct Window {
  Window(app::StartVerb verb, std::vector<std::string> files) : window(program, interaction, {}) {
    window.RunAtStart(verb, std::move(files));
  }
  QtInteraction interaction;
  app::Application program{interaction, TestDir()};
  MainWindow window;
};

fs::path MakeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  testing::WriteFileText(path, text);
  return path;
}

std::string ReadText(const fs::path& path) {
  const auto bytes = testing::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

void Encrypt(const fs::path& plain, const std::string& password) {
  QtProgress progress;
  ASSERT_EQ(transforms::CompressFile(plain, TestDir() / "packed", &progress), 0);
  ASSERT_EQ(transforms::BlowfishEncryptFile(TestDir() / "packed", plain.string() + ".vlt", password, &progress, false),
            0);
  fs::remove(plain);
}

// Every verb names a missing file among good ones: it is reported first and
// the rest are done, ending with the command's own message.
struct VerbCase {
  const char* name;
  app::StartVerb verb;
  std::vector<std::string> messagesAfterMissing;
  std::function<std::vector<std::string>()> prepare;  // the good arguments
  std::function<void(const Desk&)> check;
};

void PrintTo(const VerbCase& verbCase, std::ostream* out) { *out << verbCase.name; }

const fs::path kOdd = "odd name 'q'\nline.txt";

std::vector<VerbCase> Cases() {
  return {
      {"Encrypt",
       app::StartVerb::Encrypt,
       {"Do you want to use the same password you just used to all the other selected files ?",
        "The file(s) are successfully encrypted !"},
       [] {
         MakeFile(TestDir() / "in" / kOdd, "one");
         MakeFile(TestDir() / "in" / "two.txt", "two");
         return std::vector<std::string>{(TestDir() / "in").string()};
       },
       [](const Desk&) {
         EXPECT_TRUE(fs::exists(TestDir() / "in" / (kOdd.string() + ".vlt")));
         EXPECT_TRUE(fs::exists(TestDir() / "in" / "two.txt.vlt"));
       }},
      {"Decrypt",
       app::StartVerb::Decrypt,
       {"Do you want to use the same password you just used to all the other selected files ?",
        "The file(s) are successfully decrypted !"},
       [] {
         Encrypt(MakeFile(TestDir() / "in" / kOdd, "one"), "sesame");
         Encrypt(MakeFile(TestDir() / "two.txt", "two"), "sesame");
         return std::vector<std::string>{(TestDir() / "in").string(), "two.txt.vlt"};
       },
       [](const Desk&) {
         EXPECT_EQ(ReadText(TestDir() / "in" / kOdd), "one");
         EXPECT_EQ(ReadText(TestDir() / "two.txt"), "two");
       }},
      {"Wipe",
       app::StartVerb::Wipe,
       {"Are you sure you want to wipe the selected files?", "The files are successfully wiped !"},
       [] { return std::vector<std::string>{MakeFile(TestDir() / kOdd, "one").string()}; },
       [](const Desk&) { EXPECT_FALSE(fs::exists(TestDir() / kOdd)); }},
      {"Mail",
       app::StartVerb::Mail,
       {},
       [] {
         auto key = platform::SettingsKey::OpenForWriting(platform::kEmailSettingsKey);
         for (const auto name :
              {app::kServerValue, app::kPortValue, app::kUsernameValue, app::kNameValue, app::kAddressValue}) {
           key.WriteString(name, "25");
         }
         MakeFile(TestDir() / "in" / "b.txt", "b");
         return std::vector<std::string>{MakeFile(TestDir() / "a.txt", "a").string(), (TestDir() / "in").string()};
       },
       [](const Desk& desk) {
         EXPECT_TRUE(desk.composerSeen);
         EXPECT_EQ(desk.attachments, (std::vector<std::string>{"a.txt", "b.txt"}));
       }},
  };
}

class StartVerbTest : public ::testing::TestWithParam<VerbCase> {};

TEST_P(StartVerbTest, RunsOnAllGoodFilesAfterReportingTheMissingOne) {
  const VerbCase& verbCase = GetParam();
  std::vector<std::string> arguments = verbCase.prepare();
  arguments.insert(arguments.begin() + 1, "gone.txt");
  Window window(verbCase.verb, arguments);
  Desk desk("sesame");
  window.window.show();

  std::vector<std::string> expected{"File " + (TestDir() / "gone.txt").string() + " does not exist !"};
  expected.insert(expected.end(), verbCase.messagesAfterMissing.begin(), verbCase.messagesAfterMissing.end());
  const bool composerAwaited = verbCase.verb == app::StartVerb::Mail;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return desk.messages.size() >= expected.size() && (!composerAwaited || desk.composerSeen); }, 20000));
  QTest::qWait(50);
  EXPECT_EQ(desk.messages, expected);
  verbCase.check(desk);
  EXPECT_TRUE(window.window.isVisible()) << "the window stays open";
}

INSTANTIATE_TEST_SUITE_P(Verbs, StartVerbTest, ::testing::ValuesIn(Cases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A failed file's message box names it, as the list shows it, and says what
// happened to it in plain words, not as a program error.
TEST(StartVerbFailureTest, TheMessageBoxNamesTheFileThatFailed) {
  const fs::path junk = MakeFile(TestDir() / "in" / "junk.vlt", "no encrypted file");
  Window window(app::StartVerb::Decrypt, {junk.string()});
  Desk desk("sesame");
  window.window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desk.messages.empty(); }, 20000));
  EXPECT_EQ(desk.messages.front(), junk.string() + "\n\nDamaged, or not an encrypted file; nothing was written.");
}

}  // namespace
}  // namespace voltare::gui
