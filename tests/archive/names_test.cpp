// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/plx_format.h"
#include "archive/plx_names.h"

namespace voltare::archive {
namespace {

using Names = std::vector<std::string>;

struct NamesCase {
  const char* what;
  std::vector<TreeFile> files;
  Names expected;
};

TEST(TreeNamesTest, KeepTheTreeBelowTheFolderGivenAndNeverMeet) {
  const std::vector<NamesCase> cases = {
      {"plain files keep plain names", {{"/d/a.txt", ""}, {"/d/b.txt", ""}}, {"a.txt", "b.txt"}},
      {"a folder keeps its tree",
       {{"/h/Photos/2023/IMG.jpg", "/h/Photos"}, {"/h/Photos/2024/IMG.jpg", "/h/Photos"}},
       {"2023/IMG.jpg", "2024/IMG.jpg"}},
      {"one subfolder only still keeps it", {{"/h/Photos/2023/a.jpg", "/h/Photos/"}}, {"2023/a.jpg"}},
      {"same names given alone go below their common folder",
       {{"/h/a/x.txt", ""}, {"/h/b/x.txt", ""}, {"/h/y.txt", ""}},
       {"a/x.txt", "b/x.txt", "y.txt"}},
      {"two folders with the same tree keep their own names",
       {{"/h/A/s/x", "/h/A"}, {"/h/B/s/x", "/h/B"}},
       {"A/s/x", "B/s/x"}},
      {"a file where another needs a folder", {{"/p/x", ""}, {"/q/x/y", "/q"}}, {"p/x", "q/x/y"}},
  };
  for (const NamesCase& c : cases) EXPECT_EQ(TreeNames(c.files), c.expected) << c.what;
}

TEST(TreeNamesTest, FindSamePathSeesEqualPathsAndFilesInTheWayOfFolders) {
  using Meet = std::optional<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(FindSamePath(Names{"a", "b/a", "c/b/a"}), Meet());
  EXPECT_EQ(FindSamePath(Names{"a", "b", "a"}), Meet({0, 2}));
  EXPECT_EQ(FindSamePath(Names{"x", "x/y"}), Meet({0, 1}));
  EXPECT_EQ(FindSamePath(Names{"x/y/z", "q", "x/y"}), Meet({0, 2}));
}

TEST(TreeNamesTest, SafeNamesStayInsideTheirFolder) {
  for (const char* good : {"a.vlt", "2024/IMG.jpg.vlt", "a/b/c.vlt", "..a.vlt", "a..b/c", "back\\slash"}) {
    EXPECT_TRUE(IsSafeMemberName(good)) << good;
  }
  for (const char* bad : {"", ".", "..", "/a", "a/", "a//b", "a/./b", "a/../b", "../a", "a/.."}) {
    EXPECT_FALSE(IsSafeMemberName(bad)) << bad;
  }
}

}  // namespace
}  // namespace voltare::archive
