// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive_bytes.h"
#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "platform/temp_files.h"
#include "support/test_env.h"

namespace voltare::archive {
namespace {

namespace fs = std::filesystem;
using platform::ErrBadFile;
using platform::ErrInternal;
using platform::ErrNoSuchFile;
using platform::ErrNoTempFile;
using platform::Success;
using testing::ArchiveBytes;
using testing::Bytes;
using testing::Pattern;
using testing::RawEntry;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;
using Entries = std::vector<std::size_t>;
using Names = std::vector<std::string>;

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(archive, ArchiveBytes({RawEntry("a.vlt", a, 3), RawEntry("b.vlt", b, 3), RawEntry("c.vlt", c, 3)}));
  }

  static fs::path TempDir() { return platform::PrivateTempDir().value(); }

  const fs::path archive = TestDir() / "three.plx";
  const Bytes a = Pattern(500, 1), b = Pattern(1024, 2), c = Pattern(5000, 3);
  std::vector<ExtractedMember> out;
};

std::vector<std::string> NamesOf(const std::vector<ExtractedMember>& members) {
  std::vector<std::string> names;
  for (const auto& member : members) names.push_back(member.name);
  return names;
}

TEST_F(ExtractTest, ListsNamesAndSizesInArchiveOrder) {
  std::vector<ArchiveMember> members;
  ASSERT_EQ(ListArchiveMembers(archive, members), Success);
  EXPECT_EQ(members, (std::vector<ArchiveMember>{{"a.vlt", 500}, {"b.vlt", 1024}, {"c.vlt", 5000}}));
  EXPECT_EQ(ListArchiveMembers(TestDir() / "none.plx", members), ErrNoSuchFile);
  EXPECT_TRUE(members.empty());
}

TEST_F(ExtractTest, ChosenMembersLandInFilesOfTheirOwnInTheTemporaryDirectory) {
  // Files already there, a planted link among them, are never touched.
  const auto decoy = TestDir() / "decoy";
  WriteFileBytes(decoy, {1});
  WriteFileBytes(TempDir() / "a.vlt", {9});
  fs::create_symlink(decoy, TempDir() / "c.vlt");

  ASSERT_EQ(ExtractFromArchive(Entries{0, 2}, archive, out), Success);
  EXPECT_EQ(NamesOf(out), (Names{"a.vlt", "c.vlt"}));
  // In one folder of the temporary directory, which goes with the last of them.
  const fs::path folder = out[0].path.parent_path();
  const fs::path named = fs::read_symlink(folder);  // the path leads through the folder's descriptor
  EXPECT_EQ(named.parent_path(), TempDir());
  EXPECT_EQ(out[1].path.parent_path(), folder);
  EXPECT_EQ(ReadFileBytes(out[0].path), a);
  EXPECT_EQ(ReadFileBytes(out[1].path), c);
  EXPECT_EQ(ReadFileBytes(TempDir() / "a.vlt"), Bytes{9});
  EXPECT_EQ(ReadFileBytes(decoy), Bytes{1});
  out.clear();
  EXPECT_FALSE(fs::exists(named));
}

// Every member taken out stays until the batch ends: they must not hold a
// descriptor each, or a large archive runs out of them.
TEST_F(ExtractTest, MoreMembersThanTheProcessMayHoldOpenAreAllTakenOut) {
  constexpr std::size_t kMembers = 300;
  std::vector<RawEntry> entries;
  Entries all;
  for (std::size_t i = 0; i < kMembers; ++i) {
    entries.push_back(RawEntry("m" + std::to_string(i) + ".vlt", Pattern(16, static_cast<std::uint8_t>(i)), kMembers));
    all.push_back(i);
  }
  WriteFileBytes(archive, ArchiveBytes(entries));
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit lowered = saved;
  lowered.rlim_cur = 128;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  const platform::ResultCode result = ExtractFromArchive(all, archive, out);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  ASSERT_EQ(result, Success);
  ASSERT_EQ(out.size(), kMembers);
  EXPECT_EQ(ReadFileBytes(out.back().path), Pattern(16, static_cast<std::uint8_t>(kMembers - 1)));
}

TEST_F(ExtractTest, SecondOfThreeNeverReadsTheThird) {
  // Everything after the second entry is garbage; it is never looked at.
  Bytes bytes = ArchiveBytes({RawEntry("a.vlt", a, 3), RawEntry("b.vlt", b, 3)});
  bytes.insert(bytes.end(), {'J', 'U', 'N', 'K'});
  WriteFileBytes(archive, bytes);
  ASSERT_EQ(ExtractFromArchive(Entries{1}, archive, out), Success);
  ASSERT_EQ(out.size(), 1U);
  EXPECT_EQ(ReadFileBytes(out[0].path), b);
}

TEST_F(ExtractTest, PositionsOutOfOrderOrPastTheEndEndLaterMatches) {
  ASSERT_EQ(ExtractFromArchive(Entries{2, 0}, archive, out), Success);
  EXPECT_EQ(NamesOf(out), Names{"c.vlt"});

  ASSERT_EQ(ExtractFromArchive(Entries{5, 1}, archive, out), Success);
  EXPECT_TRUE(out.empty());
}

TEST_F(ExtractTest, AnArchiveCutShortGivesTheMembersBeforeTheCut) {
  const Bytes whole = ReadFileBytes(archive);
  struct Cut {
    std::size_t bytes, members, lastSize;
    bool lastCutShort;
  };
  // The final separator; into the last member's data; into the last header.
  for (const Cut cut : {Cut{2, 3, 5000, false}, Cut{100, 3, 4902, true}, Cut{5016, 2, 1024, false}}) {
    SCOPED_TRACE(cut.bytes);
    WriteFileBytes(archive, Bytes(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut.bytes)));
    std::vector<ArchiveMember> members;
    std::uint32_t lost = 99;
    ASSERT_EQ(ListArchiveMembers(archive, members, &lost), Success);
    EXPECT_EQ(members.size(), cut.members);
    EXPECT_EQ(members.back().cutOff, cut.lastCutShort) << "the listing marks the member the cut runs through";
    EXPECT_EQ(lost, 3 - cut.members);
    ASSERT_EQ(ExtractFromArchive(Entries{0, 1, 2}, archive, out), Success);
    ASSERT_EQ(out.size(), cut.members);
    EXPECT_EQ(ReadFileBytes(out[0].path), a);
    EXPECT_EQ(fs::file_size(out.back().path), cut.lastSize);
    EXPECT_EQ(out.back().cutShort, cut.lastCutShort);
  }
}

TEST_F(ExtractTest, ArgumentsAndMissingPieces) {
  out = {{"stale", "stale.vlt"}};
  EXPECT_EQ(ExtractFromArchive(Entries{}, archive, out), ErrInternal);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ExtractFromArchive(Entries{0}, "", out), ErrInternal);
  EXPECT_EQ(ExtractFromArchive(Entries{0}, TestDir() / "none.plx", out), ErrNoSuchFile);

  // A TMPDIR that is a file: no private directory can be made below it.
  WriteFileBytes(TestDir() / "not-a-dir", {});
  ::setenv("TMPDIR", (TestDir() / "not-a-dir").c_str(), 1);
  EXPECT_EQ(ExtractFromArchive(Entries{0}, archive, out), ErrNoTempFile);
}

// --- hostile and damaged archives ------------------------------------------------

struct Damage {
  const char* what;
  std::vector<RawEntry> entries;
  std::size_t cutAtEnd = 0;  // bytes removed from the end
};

std::vector<Damage> Damages() {
  const Bytes data = Pattern(40, 5);
  auto good = [&](std::uint32_t count) { return RawEntry("ok.vlt", data, count); };
  return {
      {"no magic", {RawEntry("ok.vlt", data).Magic("PLY")}},
      {"no magic in a later entry", {good(2), RawEntry("ok2.vlt", data, 2).Magic("ZIP")}},
      {"count 0", {good(0)}},
      {"count differs", {good(2), good(3)}},
      {"negative size", {RawEntry("ok.vlt", {}).Size(-1)}},
      {"name too long", {RawEntry(std::string(257, 'n'), data)}},
      {"empty name", {RawEntry("", data)}},
      {"dot", {RawEntry(".", data)}},
      {"dot dot", {RawEntry("..", data)}},
      {"climbs out", {RawEntry("../evil.vlt", data)}},
      {"deep climb", {RawEntry("../../../../../../tmp/evil.vlt", data)}},
      {"absolute", {RawEntry("/tmp/evil.vlt", data)}},
      {"climbs out of its folder", {RawEntry("sub/../../evil.vlt", data)}},
      {"absolute in a folder", {RawEntry("sub//tmp/evil.vlt", data)}},
      {"dot folder", {RawEntry("./sub/evil.vlt", data)}},
      {"folder without a file", {RawEntry("sub/", data)}},
      {"NUL byte", {RawEntry(std::string("ok.vlt\0x", 8), data)}},
      // Only the first entry's header and name must be whole; a cut after
      // that is an archive cut short, not a damaged one.
      {"name past the end", {RawEntry("ok.vlt", {}).NameLength(200)}},
      {"header cut short", {good(1)}, 21 + 6 + 40 - 10},
  };
}

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.what; }

class HostileArchiveTest : public ::testing::TestWithParam<Damage> {};

TEST_P(HostileArchiveTest, IsDamagedAndWritesNothing) {
  const Damage& damage = GetParam();
  Bytes bytes = ArchiveBytes(damage.entries);
  bytes.resize(bytes.size() - damage.cutAtEnd);
  const auto archive = TestDir() / "hostile.plx";
  WriteFileBytes(archive, bytes);

  std::vector<ArchiveMember> members;
  EXPECT_EQ(ListArchiveMembers(archive, members), ErrBadFile);
  EXPECT_TRUE(members.empty());

  const auto tempDir = platform::PrivateTempDir().value();
  std::vector<ExtractedMember> out;
  Entries wanted;
  for (std::size_t i = 0; i <= damage.entries.size(); ++i) wanted.push_back(i);  // one past: every entry is read
  EXPECT_EQ(ExtractFromArchive(wanted, archive, out), ErrBadFile);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(fs::is_empty(tempDir));
  EXPECT_FALSE(fs::exists(TestDir() / "tmp" / "evil.vlt"));
  EXPECT_FALSE(fs::exists(tempDir / "sub"));
}

INSTANTIATE_TEST_SUITE_P(Damages, HostileArchiveTest, ::testing::ValuesIn(Damages()),
                         [](const ::testing::TestParamInfo<Damage>& damage) {
                           std::string name;
                           for (char ch : std::string(damage.param.what)) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

TEST_F(ExtractTest, DamageAfterAnExtractedMemberTakesItBackOut) {
  WriteFileBytes(archive, ArchiveBytes({RawEntry("a.vlt", a, 2), RawEntry("../b.vlt", b, 2)}));
  EXPECT_EQ(ExtractFromArchive(Entries{0, 1}, archive, out), ErrBadFile);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(fs::is_empty(TempDir()));
  EXPECT_FALSE(fs::exists(TestDir() / "tmp" / "b.vlt"));
}

TEST_F(ExtractTest, TrailingBytesAfterTheLastEntryAreIgnored) {
  Bytes bytes = ReadFileBytes(archive);
  bytes.insert(bytes.end(), {1, 2, 3});
  WriteFileBytes(archive, bytes);
  std::vector<ArchiveMember> members;
  EXPECT_EQ(ListArchiveMembers(archive, members), Success);
  EXPECT_EQ(members.size(), 3U);
}

}  // namespace
}  // namespace voltare::archive
