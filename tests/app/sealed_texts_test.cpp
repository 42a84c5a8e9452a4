// SPDX-License-Identifier: GPL-3.0-or-later
// Clipboard texts and saved lists under each form: compatible (algorithm 0)
// and sealed (algorithm 3), opened with the right password, a wrong one, and
// after one byte changed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "crypto/base64.h"
#include "platform/settings_store.h"
#include "transforms/text_crypt.h"
#include "transforms/xchacha_file.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;
using testing::TestDir;

enum class Kind { Text, List };
enum class Attempt { Right, Wrong, FlippedByte };

constexpr char kBadPassword[] =
    "error: KOVA Voltare caused an unexpected system error.\n\nError code: -2\n"
    "Error message: You have entered an invalid password. Please try again.";
constexpr char kTamperedText[] =
    "error: The text is damaged or was changed after it was encrypted. Nothing of it was decrypted.";
// A list's failure names the list file, which the loop puts before these.
constexpr char kWrongPasswordList[] = "Wrong password; the list was not opened.";
constexpr char kTamperedList[] = "Damaged, or changed after it was encrypted; the list was not opened.";
constexpr char kDamagedCompatibleList[] = "Damaged, or not an encrypted file; the list was not opened.";
constexpr char kDeriving[] = "Deriving the key...";

struct Case {
  Kind kind;
  const char* algorithm;
  Attempt attempt;
  std::vector<std::string> messages;
  bool comesBack;
};

// A compatible text has no check: a wrong password or a changed byte gives
// other bytes, silently. Everything else is told, and nothing of it shown.
const Case kCases[] = {
    {Kind::Text, "0", Attempt::Right, {}, true},
    {Kind::Text, "0", Attempt::Wrong, {}, false},
    {Kind::Text, "0", Attempt::FlippedByte, {}, false},
    {Kind::Text, "3", Attempt::Right, {}, true},
    {Kind::Text, "3", Attempt::Wrong, {kBadPassword}, false},
    {Kind::Text, "3", Attempt::FlippedByte, {kTamperedText}, false},
    {Kind::List, "0", Attempt::Right, {}, true},
    {Kind::List, "0", Attempt::Wrong, {kWrongPasswordList}, false},
    {Kind::List, "0", Attempt::FlippedByte, {kDamagedCompatibleList}, false},
    {Kind::List, "3", Attempt::Right, {}, true},
    {Kind::List, "3", Attempt::Wrong, {kWrongPasswordList}, false},
    {Kind::List, "3", Attempt::FlippedByte, {kTamperedList}, false},
};

// Changes one byte near the end: inside the last piece of a sealed form.
constexpr auto FlipByte = [](auto& bytes) { bytes[bytes.size() - 20] ^= 0x01; };

const char* PasswordFor(Attempt attempt) { return attempt == Attempt::Wrong ? "wrong" : "right"; }

// Encrypts a text, then decrypts its line as `attempt` says: the clipboard afterwards.
std::string TextRoundTrip(AppFixture& fixture, const std::string& text, Attempt attempt, bool sealed) {
  fixture.user.clipboard = text;
  fixture.user.EnterPassword("right");
  fixture.form.Run("EncryptClipboard1");
  std::string line = fixture.user.clipboard.value_or("");
  EXPECT_EQ(transforms::IsSealedText(line), sealed);
  if (attempt == Attempt::FlippedByte) {
    std::string bytes = crypto::B64Decode(line);
    FlipByte(bytes);
    line = crypto::B64Encode(bytes);
  }
  fixture.user.clipboard = line;
  fixture.user.EnterPassword(PasswordFor(attempt));
  fixture.form.Run("DecryptClipboard1");
  return fixture.user.clipboard.value_or("");
}

// Saves a list of `paths`, then opens it into an empty list as `attempt` says.
std::vector<std::string> ListRoundTrip(AppFixture& fixture, const std::vector<std::string>& paths, Attempt attempt,
                                       bool sealed) {
  const fs::path listFile = TestDir() / "l.vls";
  for (const std::string& path : paths) fixture.form.AddFileToList(path, static_cast<std::int64_t>(paths.size()));
  fixture.user.ChooseSaveFile(listFile).EnterPassword("right");
  fixture.form.SaveButtonClick();
  EXPECT_EQ(transforms::LooksSealed(listFile), sealed);
  if (attempt == Attempt::FlippedByte) {
    auto bytes = testing::ReadFileBytes(listFile);
    FlipByte(bytes);
    testing::WriteFileBytes(listFile, bytes);
  }
  fixture.form.ClearList1Click();
  fixture.user.EnterPassword(PasswordFor(attempt));
  (void)fixture.form.LoadListFile(listFile);
  std::vector<std::string> opened;
  for (const ListItem& item : fixture.form.ListView.Items()) opened.push_back(item.fileName);
  return opened;
}

TEST(SealedTextsTest, TextsAndListsRoundTripInEitherFormAndSealedOnesTellEveryFailure) {
  const std::string text = "Meet at noon.\r\nThe key is under the mat. \xE2\x82\xAC 12";
  const std::vector<std::string> paths = {AppFixture::MakeFile("a.txt"), AppFixture::MakeFile("dir/b.txt")};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.kind == Kind::Text ? "text" : "list") + ", algorithm " + c.algorithm + ", attempt " +
                 std::to_string(static_cast<int>(c.attempt)));
    AppFixture fixture;
    platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteString("Algorithm", c.algorithm);
    const bool sealed = c.algorithm == std::string("3");
    if (c.kind == Kind::Text) {
      const std::string back = TextRoundTrip(fixture, text, c.attempt, sealed);
      EXPECT_EQ(back == text, c.comesBack);
      // Nothing garbled is shown: the clipboard keeps the line it had.
      if (sealed && !c.comesBack) {
        EXPECT_TRUE(transforms::IsSealedText(back));
      }
    } else {
      const auto opened = ListRoundTrip(fixture, paths, c.attempt, sealed);
      EXPECT_EQ(opened, c.comesBack ? paths : std::vector<std::string>{}) << "nothing of a failing list is added";
    }
    std::vector<std::string> expected = c.messages;
    if (c.kind == Kind::List) {
      for (std::string& message : expected) message = "error: " + (TestDir() / "l.vls").string() + "\n\n" + message;
    }
    EXPECT_EQ(fixture.user.MessageLog(), expected);
    const auto& statuses = fixture.user.statusTexts;
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kDeriving), sealed ? 2 : 0)
        << "once to encrypt, once to open";
  }
}

// Random bytes hardly compress: sealed and in Base64, 60000 of them pass the limit.
TEST(SealedTextsTest, ATextWhoseSealedLineWouldPassTheLimitIsRefusedAndTheClipboardKept) {
  AppFixture fixture;
  platform::SettingsKey::OpenForWriting(platform::kSettingsKey).WriteString("Algorithm", "3");
  std::mt19937 generator(3);
  std::string text(60000, '\0');
  for (char& c : text) c = static_cast<char>(generator());
  fixture.user.clipboard = text;
  fixture.user.EnterPassword("right");
  fixture.form.Run("EncryptClipboard1");
  EXPECT_EQ(fixture.user.MessageLog(), std::vector<std::string>{"error: No text found on clipboard !"});
  EXPECT_EQ(fixture.user.clipboard, text);
}

}  // namespace
}  // namespace voltare::app
