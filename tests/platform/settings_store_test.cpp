// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileText;

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(SettingsStoreTest, NeverWrittenStoreShowsTheInstallerValuesWithoutCreatingAFile) {
  const auto main = SettingsKey::OpenReadOnly(kSettingsKey);
  ASSERT_TRUE(main.has_value());
  EXPECT_EQ(main->ReadInteger("Algorithm"), 0);
  EXPECT_EQ(main->ReadInteger("TypeOfWipe"), 1);
  EXPECT_EQ(main->ReadInteger("Loop"), 3);
  EXPECT_EQ(main->ReadInteger("Wipe"), 0);
  EXPECT_EQ(main->ReadDword("CheckUpdate"), 0u);

  const auto email = SettingsKey::OpenReadOnly(kEmailSettingsKey);
  ASSERT_TRUE(email.has_value());
  EXPECT_TRUE(email->Values().empty());

  EXPECT_FALSE(SettingsKey::OpenReadOnly("\\Software\\Nobody").has_value());
  EXPECT_FALSE(fs::exists(SettingsFilePath()));
}

TEST(SettingsStoreTest, EveryTypeSurvivesTheFileAndNamesIgnoreLetterCase) {
  SettingsKey key = SettingsKey::OpenForWriting("\\Software\\KOVA Software\\KOVA Voltare\\E-mail\\");
  key.WriteString("Name", "Jan \"the\" Back\\slash\nline two \xc3\xa9");
  key.Write("Path", SettingValue::ExpandString("%HOME%/mail"));
  key.WriteDword("Port", 4294967295u);
  key.Write("Blob", SettingValue::Binary({0x00, 0xff, 0x10}));
  key.Write("Empty", SettingValue::Binary({}));

  const auto read = SettingsKey::OpenReadOnly("\\software\\kova software\\kova voltare\\e-mail");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->ReadString("NAME"), "Jan \"the\" Back\\slash\nline two \xc3\xa9");
  EXPECT_EQ(read->Find("Path"), SettingValue::ExpandString("%HOME%/mail"));
  EXPECT_EQ(read->ReadString("Path"), "%HOME%/mail") << "an expandable string reads as a string";
  EXPECT_EQ(read->ReadDword("port"), 4294967295u);
  EXPECT_EQ(read->ReadBinary("Blob"), (std::vector<std::uint8_t>{0x00, 0xff, 0x10}));
  EXPECT_TRUE(read->ReadBinary("Empty").empty());
  ASSERT_EQ(read->Values().size(), 5u);
  EXPECT_EQ(read->Values()[0].first, "Name") << "stored order and spelling kept";

  // The first write also stored what the installer would have written.
  EXPECT_EQ(SettingsKey::OpenReadOnly(kSettingsKey)->ReadInteger("Loop"), 3);

  const std::string text = ReadText(SettingsFilePath());
  EXPECT_NE(text.find("[\\Software\\KOVA Software\\KOVA Voltare]\n\"Algorithm\" = string \"0\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\"Port\" = dword 4294967295\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Blob\" = binary 00 ff 10\n"), std::string::npos) << text;
}

TEST(SettingsStoreTest, ReadersRefuseMissingValuesWrongTypesAndNonNumbers) {
  SettingsKey key = SettingsKey::OpenForWriting(kSettingsKey);
  key.WriteString("CheckUpdate", "1");
  key.WriteString("Loop", "");
  key.WriteString("Wipe", "1x");
  key.WriteDword("Number", 7);

  const auto read = SettingsKey::OpenReadOnly(kSettingsKey);
  EXPECT_THROW(read->ReadDword("CheckUpdate"), SettingsError);
  EXPECT_THROW(read->ReadInteger("Loop"), SettingsError);
  EXPECT_THROW(read->ReadInteger("Wipe"), SettingsError);
  EXPECT_THROW(read->ReadString("Number"), SettingsError);
  EXPECT_THROW(read->ReadInteger("Missing"), SettingsError);
  try {
    read->ReadDword("CheckUpdate");
  } catch (const SettingsError& e) {
    EXPECT_STREQ(e.what(), "The setting \"CheckUpdate\" is a string, not a 32-bit number");
  }

  EXPECT_EQ(ParseInteger("-5"), -5);
  EXPECT_EQ(ParseInteger("+150"), 150);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_THROW(ParseInteger("2147483648"), SettingsError);
  EXPECT_THROW(ParseInteger(" 3"), SettingsError);
  EXPECT_THROW(ParseInteger("0x10"), SettingsError);

  auto readOnly = *SettingsKey::OpenReadOnly(kSettingsKey);
  EXPECT_THROW(readOnly.WriteDword("CheckUpdate", 1), SettingsError);
}

TEST(SettingsStoreTest, WritesReplaceTheFileAtomicallyAndLeaveNothingBehind) {
  SettingsKey key = SettingsKey::OpenForWriting(kSettingsKey);
  key.WriteString("Loop", "5");
  const fs::path file = SettingsFilePath();
  // A second name for the old file: an in-place rewrite would change it too.
  const fs::path oldVersion = TestDir() / "old-settings";
  fs::create_hard_link(file, oldVersion);
  const std::string before = ReadText(file);

  key.WriteString("Loop", "7");
  EXPECT_EQ(ReadText(oldVersion), before);
  EXPECT_EQ(SettingsKey::OpenReadOnly(kSettingsKey)->ReadInteger("Loop"), 7);

  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(file.parent_path())) ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file left beside the store";
}

TEST(SettingsStoreTest, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  SettingsKey key = SettingsKey::OpenForWriting(kSettingsKey);
  key.WriteString("Loop", "5");
  const fs::path file = SettingsFilePath();
  const std::string before = ReadText(file);

  // A file size limit makes the new file's write fail (even for root).
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  EXPECT_THROW(key.WriteString("Loop", "9"), OsError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(ReadText(file), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(file.parent_path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(SettingsStoreTest, ADamagedFileGivesAClearErrorNamingFileAndLine) {
  fs::create_directories(SettingsFilePath().parent_path());
  const char* damaged[] = {
      "[\\Software\\KOVA Software\\KOVA Voltare]\n\"Loop\" = string \"3\"\nLoop=3\n",
      "\"Loop\" = string \"3\"\n",
      "[\\Software\\KOVA Software\\KOVA Voltare]\n\"Loop\" = string \"3\n",
      "[\\Software\\KOVA Software\\KOVA Voltare]\n\"Loop\" = dword -1\n",
      "[\\Software\\KOVA Software\\KOVA Voltare]\n\"Loop\" = text \"3\"\n",
      "[\\Software\\KOVA Software\\KOVA Voltare]\n\"Loop\" = binary 0g\n",
      "[\\Software\\KOVA Software\\KOVA Voltare\n",
      "[\\Software\\KOVA Software\\KOVA Voltare]\n\"Loop\" = dword 1\n\"loop\" = dword 2\n",
  };
  for (const char* text : damaged) {
    WriteFileText(SettingsFilePath(), text);
    try {
      SettingsKey::OpenReadOnly(kSettingsKey);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const SettingsFileDamaged& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("The settings file " + SettingsFilePath().string() + " is damaged (line "),
                std::string::npos)
          << message;
    }
  }
  WriteFileText(SettingsFilePath(), "# comment\n\n[\\A]\n  \"x\" = dword 1  \r\n; also a comment\n");
  EXPECT_EQ(SettingsKey::OpenReadOnly("\\A")->ReadDword("x"), 1u);
  EXPECT_FALSE(SettingsKey::OpenReadOnly(kSettingsKey).has_value()) << "a written store has no defaults";
}

TEST(SettingsStoreTest, TheStoreLivesWhereTheEnvironmentSays) {
  const std::string configDir = std::getenv("VOLTARE_CONFIG_DIR");
  const char* home = std::getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  EXPECT_EQ(SettingsFilePath(), fs::path(configDir) / "settings.conf");

  ::unsetenv("VOLTARE_CONFIG_DIR");
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(SettingsFilePath(), fs::path("/xdg/kova-voltare/settings.conf"));
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(SettingsFilePath(), fs::path("/home/someone/.config/kova-voltare/settings.conf"));
  // Unset or relative, HOME gives way to the account's home: never the
  // folder the program was started in.
  const fs::path accountHome = ::getpwuid(::getuid())->pw_dir;
  for (const char* given : {static_cast<const char*>(nullptr), "", "relative"}) {
    if (given == nullptr) ::unsetenv("HOME");
    else ::setenv("HOME", given, 1);
    EXPECT_EQ(SettingsFilePath(), accountHome / ".config/kova-voltare/settings.conf") << (given ? given : "unset");
  }

  ::setenv("HOME", savedHome.c_str(), 1);
  ::setenv("VOLTARE_CONFIG_DIR", configDir.c_str(), 1);
}

}  // namespace
}  // namespace voltare::platform
