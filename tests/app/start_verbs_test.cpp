// SPDX-License-Identifier: GPL-3.0-or-later
// The window's start verbs without a window: which arguments are files, and
// that file names of any bytes reach the list whole.

#include "app/main_window/start_verbs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "app_fixture.h"

namespace voltare::app {
namespace {

using testing::AppFixture;
using testing::TestDir;

struct ArgumentsCase {
  const char* name;
  std::vector<const char*> arguments;
  std::vector<std::string> files;
};

void PrintTo(const ArgumentsCase& argumentsCase, std::ostream* out) { *out << argumentsCase.name; }

class PlainArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(PlainArgumentsTest, TakesEveryArgumentThatIsNotAnOption) {
  EXPECT_EQ(PlainArguments(GetParam().arguments), GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, PlainArgumentsTest,
    ::testing::Values(ArgumentsCase{"OptionsLeftOut", {"--encrypt", "a b", "c"}, {"a b", "c"}},
                      ArgumentsCase{"DashAloneIsAFile", {"-", "--wipe", "x"}, {"-", "x"}},
                      // After "--" even option-like names are files, and "--" itself once more.
                      ArgumentsCase{
                          "AllFilesAfterDoubleDash", {"--decrypt", "--", "--add", "--", "-v"}, {"--add", "--", "-v"}},
                      ArgumentsCase{"BytesKept", {"bad\xff\xfe name\n.vlt"}, {"bad\xff\xfe name\n.vlt"}},
                      ArgumentsCase{"Nothing", {}, {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// What a file manager hands over with --uris, back to the bytes of each name.
TEST(StartVerbTest, FileUrisDecodeToTheNamesBytesAndAnythingElseIsRefused) {
  std::string refused;
  EXPECT_EQ(PathsOfFileUris(std::vector<std::string>{"file:///d/a'%20'report.doc", "file://localhost/it's%22%5C%0A%Ff"},
                            refused),
            (std::vector<std::string>{"/d/a' 'report.doc", "/it's\"\\\n\xff"}));
  for (const std::string bad :
       {"/d/plain", "http://h/x", "file://host/x", "file:///a%2", "file:///a%00", "file:///a%zz"}) {
    EXPECT_EQ(PathsOfFileUris(std::vector<std::string>{"file:///ok", bad}, refused), std::nullopt) << bad;
    EXPECT_EQ(refused, bad);
  }
}

TEST(StartVerbTest, AddListsFilesOfAnyNameAndReportsEachMissingOne) {
  AppFixture fixture;
  const std::string odd = AppFixture::MakeFile("folder/bad\xff name 'q'\n.txt");
  const std::string plain = AppFixture::MakeFile("plain.txt");
  RunStartVerb(fixture.app, StartVerb::Add, std::vector<std::string>{"folder", "gone", "plain.txt", "no/such"});

  std::vector<std::string> listed;
  for (const ListItem& item : fixture.form.ListView.Items()) listed.push_back(item.fileName);
  std::ranges::sort(listed);
  EXPECT_EQ(listed, (std::vector<std::string>{odd, plain}));
  EXPECT_EQ(fixture.user.MessageLog(),
            (std::vector<std::string>{"error: File " + (TestDir() / "gone").string() + " does not exist !",
                                      "error: File " + (TestDir() / "no/such").string() + " does not exist !"}));
}

}  // namespace
}  // namespace voltare::app
