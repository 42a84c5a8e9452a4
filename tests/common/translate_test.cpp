// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/translate.h"

#include <gtest/gtest.h>
#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/scoped_env.h"
#include "support/test_env.h"

namespace voltare::common {
namespace {

namespace fs = std::filesystem;

// A catalogue for the made-up language "xx" in a folder of the test's own,
// holding `bytes`, with gettext pointed at it.
class CatalogueFile : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    const fs::path folder = voltare::testing::TestDir() / "locale" / "xx" / "LC_MESSAGES";
    fs::create_directories(folder);
    std::ofstream(folder / "kova-voltare.mo", std::ios::binary) << GetParam();
    bindtextdomain(kTextDomain, (voltare::testing::TestDir() / "locale").c_str());
    std::setlocale(LC_ALL, "C.UTF-8");  // also makes gettext forget what it read before
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
  voltare::testing::ScopedEnv language_{"LANGUAGE", "xx"};
};

// The head of a real catalogue: GNU .mo magic, revision 0, then counts and
// offsets that point past the end of the file.
const std::string kTruncated("\xde\x12\x04\x95\0\0\0\0\x05\0\0\0\x1c\0\0\0\xff\xff\0\0", 20);

TEST_P(CatalogueFile, BrokenCatalogueShowsTheEnglishText) {
  EXPECT_STREQ(Translate("Cancel"), "Cancel");
  EXPECT_STREQ(TranslatePlural("1 file", "%d files", 3), "%d files");
  EXPECT_EQ(Text("Encryption aborted !"), "Encryption aborted !");
}

INSTANTIATE_TEST_SUITE_P(Broken, CatalogueFile,
                         ::testing::Values(std::string(), std::string("not a catalogue at all"), kTruncated));

}  // namespace
}  // namespace voltare::common
