// SPDX-License-Identifier: GPL-3.0-or-later
// The update check against a real HTTP server on 127.0.0.1 (Python's
// http.server), directly and from the main window's first activation.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/email/update_check.h"
#include "app_fixture.h"
#include "peers/peers.h"
#include "peers/scoped_env.h"
#include "platform/settings_store.h"
#include "platform/temp_files.h"
#include "support/test_env.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using net::testing::ScopedEnv;
using testing::FakeUser;
using testing::TestDir;

constexpr char kHomePage[] = "https://www.kova-software.example/";

std::string Question(const std::string& version, const std::string& description) {
  return "confirmation: KOVA Voltare " + version +
         " is available to download at KOVA Software Homepage !\r\n\r\n"
         "This new version contains the following new features:\r\n" +
         description + "\r\n\r\nDo you want to download this new version ?";
}

std::string Failure(const std::string& code, const std::string& text) {
  return "error: KOVA Voltare caused an unexpected system error.\n\nError code: " + code + "\nError message: " + text;
}

// Temporary files the check left behind.
std::vector<fs::path> LeftoverTempFiles() {
  std::vector<fs::path> found;
  if (const auto dir = platform::PrivateTempDir()) {
    for (const auto& entry : fs::directory_iterator(*dir)) found.push_back(entry.path());
  }
  return found;
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  UpdateCheckTest() {
    fs::create_directories(site_);
    server_ = std::make_unique<net::testing::PeerProcess>(
        net::testing::ScriptPath("http_server.py"), std::vector<std::string>{site_.string()}, TestDir() / "http.log");
  }

  // Serves `contents` as Update.ini and points the check at it.
  void Publish(const std::string& contents, const std::string& name = "Update.ini") {
    testing::WriteFileText(site_ / name, contents);
    PointAt("/" + name);
  }
  void PointAt(const std::string& path) {
    address_.reset();
    address_ =
        std::make_unique<ScopedEnv>("VOLTARE_UPDATE_URL", "http://127.0.0.1:" + std::to_string(server_->port()) + path);
  }

  FakeUser user;
  const fs::path site_ = TestDir() / "site";
  std::unique_ptr<net::testing::PeerProcess> server_;
  std::unique_ptr<ScopedEnv> address_;
};

TEST_F(UpdateCheckTest, ANewerReleaseIsOfferedAndYesOpensTheMakersPageNotTheFile) {
  Publish("[VOLTUPDATE]\r\nNumber=3\r\nVersionNumber=2.60\r\nDescription=Faster wiping, new help file\r\n");
  user.AnswerYes();
  EXPECT_EQ(CheckForNewVersion(user), UpdateCheckResult::Accepted);
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Question("2.60", "Faster wiping, new help file")});
  ASSERT_EQ(user.shellOpens.size(), 1u);
  EXPECT_EQ(user.shellOpens[0].first, kHomePage);
  EXPECT_TRUE(LeftoverTempFiles().empty());

  user.AnswerNo();
  EXPECT_EQ(CheckForNewVersion(user), UpdateCheckResult::Declined) << "asked again at every check";
  EXPECT_EQ(user.messages.size(), 2u);
  EXPECT_EQ(user.shellOpens.size(), 1u);
}

TEST_F(UpdateCheckTest, OnlyANumberAboveTwoAsksAndTheNumberIsReadLikeTheDesktopReadsIt) {
  struct Case {
    std::string file;
    bool asks;
  };
  const std::vector<Case> cases{
      {"[VOLTUPDATE]\nNumber=2\nVersionNumber=2.50\n", false},
      {"[VOLTUPDATE]\nVersionNumber=9.99\nDescription=no number\n", false},
      {"[OTHER]\nNumber=7\n", false},
      {"[voltupdate]\nnumber = 0x3\n", true},
      {"[VOLTUPDATE]\nNumber=$10\n", true},
      {"[VOLTUPDATE]\nNumber=three\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    Publish(c.file);
    user.messages.clear();
    if (c.asks) user.AnswerNo();
    EXPECT_EQ(CheckForNewVersion(user), c.asks ? UpdateCheckResult::Declined : UpdateCheckResult::NoNewerRelease)
        << c.file;
    EXPECT_EQ(user.messages.size(), c.asks ? 1u : 0u) << c.file;
  }
}

TEST_F(UpdateCheckTest, ANewerReleaseWithoutVersionOrDescriptionLeavesBothPlacesEmpty) {
  Publish("[VOLTUPDATE]\nNumber=3\n");
  user.AnswerNo();
  EXPECT_EQ(CheckForNewVersion(user), UpdateCheckResult::Declined);
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Question("", "")});
}

TEST_F(UpdateCheckTest, AnErrorPageFailsTheCheckQuietlyAndAFailedFetchIsReported) {
  PointAt("/Update.ini");  // not published: the server answers 404 with a page
  EXPECT_EQ(CheckForNewVersion(user), UpdateCheckResult::Failed);
  EXPECT_TRUE(user.messages.empty()) << "not worth a box at start-up";

  PointAt("/chain/9");  // more redirects than the client follows
  EXPECT_EQ(CheckForNewVersion(user), UpdateCheckResult::Failed);
  EXPECT_EQ(user.MessageLog(), std::vector<std::string>{Failure("-1", "Too Many Redirects")});
  EXPECT_TRUE(LeftoverTempFiles().empty()) << "the temporary file goes on the failure path too";

  // A port outside the TCP range is an invalid parameter, not worth a box.
  address_.reset();
  address_ = std::make_unique<ScopedEnv>("VOLTARE_UPDATE_URL", "http://127.0.0.1:70000/Update.ini");
  EXPECT_EQ(CheckForNewVersion(user), UpdateCheckResult::Failed);
  EXPECT_EQ(user.messages.size(), 1u);
}

TEST_F(UpdateCheckTest, OnlyAPlainVersionAndADescriptionOfSensibleLengthAreShown) {
  struct Case {
    std::string version;
    std::string description;
    bool shown;
  };
  std::string longest;
  for (int i = 0; i < 2000; ++i) longest += "\xc3\xa9";  // 2,000 characters in 4,000 bytes
  const std::vector<Case> cases{
      {"<a href=http://evil.example/><font color=red size=6>2.60 - CLICK HERE", "x", false},
      {"2.60 beta", "x", false},
      {"2.60", "<b>bold</b> & <a href=http://evil.example/>link</a>", true},
      {"10.0.1", longest, true},
      {"2.60", longest + "x", false},
  };
  for (const Case& c : cases) {
    Publish("[VOLTUPDATE]\nNumber=3\nVersionNumber=" + c.version + "\nDescription=" + c.description + "\n");
    user.messages.clear();
    if (c.shown) user.AnswerNo();
    EXPECT_EQ(CheckForNewVersion(user), c.shown ? UpdateCheckResult::Declined : UpdateCheckResult::Failed) << c.version;
    const std::vector<std::string> expected =
        c.shown ? std::vector<std::string>{Question(c.version, c.description)} : std::vector<std::string>{};
    EXPECT_EQ(user.MessageLog(), expected) << "the text goes to the box as it came";
  }
}

TEST_F(UpdateCheckTest, TheAddressIsTheMakersUnlessTheEnvironmentNamesAnother) {
  ASSERT_EQ(std::getenv("VOLTARE_UPDATE_URL"), nullptr);
  EXPECT_EQ(UpdateAddress(), "http://www.kova-software.example/Update.ini");
  PointAt("/x.ini");
  EXPECT_EQ(UpdateAddress(), "http://127.0.0.1:" + std::to_string(server_->port()) + "/x.ini");
}

// --- From the main window's first activation --------------------------------

TEST_F(UpdateCheckTest, FirstActivationChecksOnlyWhenTheSettingIsOnAndAConnectionIsUp) {
  Publish("[VOLTUPDATE]\nNumber=3\nVersionNumber=2.60\nDescription=New\n");
  const auto activate = [] {
    testing::AppFixture fixture;
    fixture.form.FormActivate({});
    fixture.form.FormActivate({});  // later activations do nothing
    return fixture.user.MessageLog();
  };
  {
    const ScopedEnv online("VOLTARE_ASSUME_ONLINE", "1");
    EXPECT_TRUE(activate().empty()) << "CheckUpdate is off after installation";
  }
  platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteDword("CheckUpdate", 1);
  {
    const ScopedEnv offline("VOLTARE_ASSUME_ONLINE", "0");
    // Pointed at a closed port: any attempt to fetch would show a failure.
    const ScopedEnv nowhere("VOLTARE_UPDATE_URL", "http://127.0.0.1:1/Update.ini");
    EXPECT_TRUE(activate().empty()) << "no connection, no check";
  }
  {
    const ScopedEnv online("VOLTARE_ASSUME_ONLINE", "1");
    testing::AppFixture fixture;
    fixture.user.AnswerNo();
    fixture.form.FormActivate({});
    fixture.form.FormActivate({});
    EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{Question("2.60", "New")});
  }
}

}  // namespace
}  // namespace voltare::app
