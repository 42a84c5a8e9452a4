// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/os_error.h"
#include "support/test_env.h"

namespace voltare::platform {
namespace {

namespace fs = std::filesystem;
using testing::TestDir;
using testing::WriteFileText;

std::string ReadText(const fs::path& path) {
  const auto bytes = testing::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(IniFileReading, NamesIgnoreLetterCaseAndBlanks) {
  const auto ini = IniFile::Parse(
      "; saved by hand\r\n"
      "  [ KovaVoltare ]  \r\n"
      "  File0  =  /home/a/Bank.doc  \r\n"
      "FILE1=/home/a/Notes.txt\r\n");
  EXPECT_EQ(ini.value("KOVAVOLTARE", "file0"), "/home/a/Bank.doc");
  EXPECT_EQ(ini.value("kovavoltare", "File1"), "/home/a/Notes.txt");
  EXPECT_EQ(ini.keyNames("KOVAVoltare"), (std::vector<std::string>{"File0", "FILE1"}));
  EXPECT_FALSE(ini.value("KOVAVoltare", "File2"));
  EXPECT_FALSE(ini.value("Other", "File0"));
}

TEST(IniFileReading, OnePairOfMatchingQuotesIsTakenOff) {
  const auto ini = IniFile::Parse(
      "[S]\n"
      "a=\" padded \"\n"
      "b='single'\n"
      "c=\"mixed'\n"
      "d=\"\n"
      "e=\"\"inner\"\"\n"
      "f=value ; not a comment\n");
  EXPECT_EQ(ini.value("S", "a"), " padded ");
  EXPECT_EQ(ini.value("S", "b"), "single");
  EXPECT_EQ(ini.value("S", "c"), "\"mixed'");
  EXPECT_EQ(ini.value("S", "d"), "\"");
  EXPECT_EQ(ini.value("S", "e"), "\"inner\"");
  EXPECT_EQ(ini.value("S", "f"), "value ; not a comment");
}

TEST(IniFileReading, CommentsKeysWithoutValueDuplicatesAndStrayLines) {
  const auto ini = IniFile::Parse(
      "orphan=before any section\n"
      "[S]\n"
      ";File9=commented\n"
      "Bare\n"
      "=no name\n"
      "Key=first\n"
      "key=second\n"
      "[s]\n"
      "Late=in a repeated section\n");
  EXPECT_EQ(ini.keyNames("S"), (std::vector<std::string>{"Bare", "Key"}));
  EXPECT_EQ(ini.value("S", "Bare"), "");
  EXPECT_EQ(ini.value("S", "KEY"), "first");
  EXPECT_FALSE(ini.value("S", "Late"));
  EXPECT_EQ(ini.sectionNames(), std::vector<std::string>{"S"});
}

TEST(IniFileReading, ByteOrderMarkAndMissingFinalLineBreak) {
  const auto ini = IniFile::Parse("\xEF\xBB\xBF[VOLTUPDATE]\nNumber=3");
  EXPECT_EQ(ini.value("VOLTUPDATE", "Number"), "3");
}

TEST(IniFileReading, NotAnIniFileReadsAsEmpty) {
  const auto ini = IniFile::Parse("<html><body>404 Not Found</body></html>\n");
  EXPECT_TRUE(ini.sectionNames().empty());
  EXPECT_FALSE(ini.value("VOLTUPDATE", "Number"));
}

TEST(ProfileBuffers, ValueIsCutTo2047Characters) {
  const fs::path path = TestDir() / "long.ini";
  const std::string longValue(3000, 'x');
  WriteFileText(path, "[S]\nK=" + longValue + "\n");
  EXPECT_EQ(ReadProfileString(path, "S", "K", "ERROR"), std::string(2047, 'x'));
  EXPECT_EQ(ReadProfileString(path, "S", "K", "", 3000), std::string(2999, 'x'));
  EXPECT_EQ(ReadProfileString(path, "S", "K", "", 3001), longValue);
}

TEST(ProfileBuffers, KeyListStopsWhereTheBufferEnds) {
  // "a\0bb\0ccc\0" plus the closing zero needs 10 bytes.
  const std::vector<std::string> names{"a", "bb", "ccc"};
  EXPECT_EQ(ListThroughBuffer(names, 10), names);
  EXPECT_EQ(ListThroughBuffer(names, 9), (std::vector<std::string>{"a", "bb", "cc"}));
  EXPECT_EQ(ListThroughBuffer(names, 7), (std::vector<std::string>{"a", "bb"}));
  EXPECT_EQ(ListThroughBuffer(names, 3), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(ListThroughBuffer(names, 2).empty());
  EXPECT_TRUE(ListThroughBuffer(names, 0).empty());
}

TEST(ProfileBuffers, LongSavedListIsListedOnlyAsFarAsTheNamesFit) {
  IniFile ini;
  for (int k = 0; k < 2500; ++k) ini.setValue("KOVAVoltare", "File" + std::to_string(k), "/x");
  const fs::path path = TestDir() / "list.ini";
  ini.save(path);

  const auto names = ReadProfileKeyNames(path, "kovavoltare");
  // File0..File999 take 7890 of the 16382 bytes before the two closing zero
  // bytes, then 9 bytes per name; the list ends inside "File1943", whose
  // first piece is listed as a name of its own.
  ASSERT_EQ(names.size(), 1944u);
  EXPECT_EQ(names[1942], "File1942");
  EXPECT_EQ(names[1943], "File1");
  EXPECT_EQ(ReadProfileKeyNames(path, "KOVAVoltare", 1 << 20).size(), 2500u);
}

TEST(ProfileReading, DefaultsForMissingFileSectionAndKey) {
  const fs::path path = TestDir() / "list.ini";
  EXPECT_EQ(ReadProfileString(path, "KOVAVoltare", "File0", "ERROR"), "ERROR");
  EXPECT_TRUE(ReadProfileKeyNames(path, "KOVAVoltare").empty());

  WriteFileText(path, "[KOVAVoltare]\nFile0=/a\nFile2=/c\n");
  EXPECT_EQ(ReadProfileString(path, "KOVAVoltare", "File1", "ERROR"), "ERROR");
  EXPECT_EQ(ReadProfileString(path, "Other", "File0", "none  \t"), "none");
  EXPECT_EQ(ReadProfileKeyNames(path, "KOVAVoltare"), (std::vector<std::string>{"File0", "File2"}));
}

TEST(ProfileIntegers, DecimalHexadecimalAndNoNumber) {
  EXPECT_EQ(ParseProfileInteger("3", 0), 3);
  EXPECT_EQ(ParseProfileInteger("-12", 0), -12);
  EXPECT_EQ(ParseProfileInteger("+7", 0), 7);
  EXPECT_EQ(ParseProfileInteger("0x1F", 0), 31);
  EXPECT_EQ(ParseProfileInteger("0XFF", 0), 255);
  EXPECT_EQ(ParseProfileInteger("$10", 0), 16);
  EXPECT_EQ(ParseProfileInteger("2147483647", 0), 2147483647);
  EXPECT_EQ(ParseProfileInteger("-2147483648", 0), -2147483647 - 1);
  EXPECT_EQ(ParseProfileInteger("$FFFFFFFF", 0), -1);
  for (const char* bad :
       {"", "2.60", "three", "3a", "0x", "$", "-", "2147483648", "$100000000", "0x1G", "99999999999999999999999"}) {
    EXPECT_EQ(ParseProfileInteger(bad, 5), 5) << bad;
  }
}

TEST(ProfileIntegers, ReadFromTheUpdateDescription) {
  const fs::path path = TestDir() / "Update.ini";
  WriteFileText(path, "[VOLTUPDATE]\r\nNumber=3\r\nVersionNumber=2.60\r\n");
  EXPECT_EQ(ReadProfileInteger(path, "VOLTUPDATE", "Number", 0), 3);
  EXPECT_EQ(ReadProfileInteger(path, "VOLTUPDATE", "VersionNumber", 0), 0);
  EXPECT_EQ(ReadProfileInteger(path, "VOLTUPDATE", "Missing", 0), 0);
}

TEST(ProfileWriting, WritesTheSavedListLayout) {
  const fs::path path = TestDir() / "T1.TMP";
  WriteFileText(path, "");
  WriteProfileString(path, "KOVAVoltare", "File0", "/home/a/Bank.doc");
  WriteProfileString(path, "KOVAVoltare", "File1", "/home/a/Notes.txt");
  EXPECT_EQ(ReadText(path), "[KOVAVoltare]\r\nFile0=/home/a/Bank.doc\r\nFile1=/home/a/Notes.txt\r\n");
}

TEST(ProfileWriting, ReplacesInPlaceAndKeepsOtherLines) {
  const fs::path path = TestDir() / "a.ini";
  WriteFileText(path, "; note\n[One]\nA=1\n\n; about Two\n[Two]\nB=2\n");
  WriteProfileString(path, "one", "a", "changed");
  WriteProfileString(path, "ONE", "C", "3");
  WriteProfileString(path, "Three", "D", "4");
  EXPECT_EQ(ReadText(path), "; note\n[One]\nA=changed\nC=3\n\n; about Two\n[Two]\nB=2\n\n[Three]\nD=4\n");
}

TEST(ProfileWriting, RemovingKeysAndSections) {
  auto ini = IniFile::Parse("[A]\nx=1\ny=2\n[B]\nz=3\n");
  ini.removeKey("a", "X");
  ini.removeSection("b");
  EXPECT_EQ(ini.text(), "[A]\ny=2\n");
}

TEST(ProfileWriting, LookupsFollowAddedAndRemovedKeys) {
  auto ini = IniFile::Parse("[S]\nA=1\n; note\nB=2\n\n[T]\nA=t\n");
  ini.removeKey("S", "A");
  EXPECT_FALSE(ini.value("S", "a"));
  EXPECT_EQ(ini.value("S", "b"), "2");
  ini.setValue("S", "C", "3");
  ini.setValue("S", "b", "two");
  ini.setValue("S", "A", "again");
  EXPECT_EQ(ini.keyNames("S"), (std::vector<std::string>{"B", "C", "A"}));
  EXPECT_EQ(ini.value("S", "B"), "two");
  EXPECT_EQ(ini.value("S", "c"), "3");
  EXPECT_EQ(ini.value("T", "A"), "t");
  EXPECT_EQ(ini.text(), "[S]\n; note\nB=two\nC=3\nA=again\n\n[T]\nA=t\n");
}

TEST(ProfileWriting, ValuesReadBackUnchanged) {
  IniFile ini;
  const std::vector<std::string> values{" leading", "trailing\t", "\"quoted\"", "'single'", "", "=", "a;b", "\"half"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    ini.setValue("S", "K" + std::to_string(i), values[i]);
  }
  const auto reread = IniFile::Parse(ini.text());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(reread.value("S", "K" + std::to_string(i)), values[i]) << i;
  }
}

TEST(ProfileWriting, RefusesWhatWouldCorruptTheFile) {
  const fs::path path = TestDir() / "a.ini";
  WriteProfileString(path, "S", "File0", "/ok");
  const std::string before = ReadText(path);
  const auto expectRefused = [&](std::string_view section, std::string_view key, std::string_view value) {
    try {
      WriteProfileString(path, section, key, value);
      ADD_FAILURE() << "accepted [" << section << "] " << key << "=" << value;
    } catch (const OsError& error) {
      EXPECT_EQ(error.error(), EINVAL);
    }
  };
  expectRefused("S", "File1", "/home/a\nFile2=/etc/passwd");
  expectRefused("S", "File1", "a\rb");
  expectRefused("S", "File1", std::string_view("a\0b", 3));
  expectRefused("S", "a=b", "x");
  expectRefused("S", " File1", "x");
  expectRefused("S", "", "x");
  expectRefused("S", "[New]", "x");
  expectRefused("S]x", "k", "x");
  expectRefused("", "k", "x");
  EXPECT_EQ(ReadText(path), before);
}

TEST(ProfileWriting, ReplacementKeepsPermissionsAndLeavesNoTemporaryFile) {
  const fs::path path = TestDir() / "a.ini";
  WriteFileText(path, "[S]\nA=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  WriteProfileString(path, "S", "A", "2");

  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(TestDir())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.ini", "config", "tmp"}));
}

TEST(ProfileWriting, SymlinkTargetIsReplacedNotTheLink) {
  const fs::path real = TestDir() / "real.ini";
  const fs::path link = TestDir() / "link.ini";
  WriteFileText(real, "[S]\nA=1\n");
  fs::create_symlink(real, link);
  WriteProfileString(link, "S", "A", "2");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadText(real), "[S]\nA=2\n");
}

TEST(ProfileWriting, FailureLeavesTheOldFile) {
  const fs::path dir = TestDir() / "locked";
  fs::create_directory(dir);
  const fs::path path = dir / "a.ini";
  WriteFileText(path, "[S]\nA=1\n");
  ASSERT_EQ(::chmod(dir.c_str(), 0500), 0);
  if (::access(dir.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore modes";

  try {
    WriteProfileString(path, "S", "A", "2");
    ADD_FAILURE() << "write into a read-only directory succeeded";
  } catch (const OsError& error) {
    EXPECT_EQ(error.error(), EACCES);
  }
  EXPECT_EQ(ReadText(path), "[S]\nA=1\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(ProfileWriting, FailedReplacementRemovesTheNewFile) {
  const fs::path dir = TestDir() / "lists";
  fs::create_directories(dir / "a.ini");  // a directory cannot be replaced by a file
  try {
    WriteProfileString(dir / "a.ini", "S", "A", "1");
    ADD_FAILURE() << "a directory was replaced";
  } catch (const OsError& error) {
    EXPECT_EQ(error.error(), EISDIR);
  }
  EXPECT_TRUE(fs::is_directory(dir / "a.ini"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace voltare::platform
