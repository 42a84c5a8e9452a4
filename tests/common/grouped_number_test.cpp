// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/grouped_number.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/scoped_env.h"
#include "support/test_env.h"

// glibc's newlocale keeps the folder list it splits LOCPATH into (a few
// hundred bytes a call); only these tests set LOCPATH, the program never does.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace voltare::common {
namespace {

// Where `name` can be had for newlocale: "" for the system's own, else a
// folder (for LOCPATH) it was made in from glibc's locale sources, since many
// machines have no locale but C generated; nothing when neither works. Each
// locale gets a folder of its own: glibc remembers a locale it did not find
// in a folder.
std::optional<std::string> LocaleFolder(const std::string& name) {
  const voltare::testing::ScopedEnv system{"LOCPATH", ""};
  if (locale_t locale = ::newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(nullptr))) {
    ::freelocale(locale);
    return std::string();
  }
  const std::string folder = (voltare::testing::TestDir() / "locales" / name).string();
  if (std::filesystem::exists(folder + "/" + name)) return folder;
  const std::string command = "mkdir -p '" + folder + "' && localedef -i " + name.substr(0, name.find('.')) +
                              " -f UTF-8 '" + folder + "/" + name + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  return folder;
}

// One test for the whole table: each locale made here costs about two seconds.
TEST(GroupedNumber, FollowsTheNumericLocale) {
  const voltare::testing::ScopedEnv all{"LC_ALL", ""};
  const voltare::testing::ScopedEnv lang{"LANG", ""};
  struct Case {
    const char* locale;
    std::uint64_t value;
    const char* grouped;
  };
  const Case cases[] = {
      // English as the C locale, one missing from the system, or none at all.
      {"C", 2000, "2,000"},
      {"C.UTF-8", 1234567, "1,234,567"},
      {"", 999, "999"},
      {"xx_YY.UTF-8", 40000, "40,000"},
      {"de_DE.UTF-8", 2000, "2.000"},
      {"de_DE.UTF-8", 1234567890, "1.234.567.890"},
      {"fr_FR.UTF-8", 2000, "2\u202f000"},       // a narrow no-break space
      {"en_IN.UTF-8", 10000000, "1,00,00,000"},  // lakhs and crores: 3, then 2s
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.locale);
    const std::string name = test.locale;
    const bool made = name.find('_') != std::string::npos && name != "xx_YY.UTF-8";
    const std::optional<std::string> folder = made ? LocaleFolder(name) : std::string();
    if (!folder) {
      std::printf("skipped %s: the system has neither the locale nor its source for localedef\n", test.locale);
      continue;
    }
    const voltare::testing::ScopedEnv locales{"LOCPATH", *folder};
    const voltare::testing::ScopedEnv numeric{"LC_NUMERIC", name};
    EXPECT_EQ(GroupedNumber(test.value), test.grouped);
  }
  // LC_ALL comes before LC_NUMERIC, as setlocale reads them.
  const voltare::testing::ScopedEnv numeric{"LC_NUMERIC", "de_DE.UTF-8"};
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(GroupedNumber(2000), "2,000");
}

}  // namespace
}  // namespace voltare::common
