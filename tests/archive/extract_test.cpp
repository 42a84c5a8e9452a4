#include <gtest/gtest.h>
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
using Names = std::vector<std::string>;

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(archive, ArchiveBytes({RawEntry("a.vlt", a, 3), RawEntry("b.vlt", b, 3),
                                          RawEntry("c.vlt", c, 3)}));
  }

  static fs::path TempDir() { return platform::PrivateTempDir().value(); }

  const fs::path archive = TestDir() / "three.plx";
  const Bytes a = Pattern(500, 1), b = Pattern(1024, 2), c = Pattern(5000, 3);
  std::vector<fs::path> out;
};

TEST_F(ExtractTest, ListsNamesAndSizesInArchiveOrder) {
  std::vector<ArchiveMember> members;
  ASSERT_EQ(ListArchiveMembers(archive, members), Success);
  EXPECT_EQ(members,
            (std::vector<ArchiveMember>{{"a.vlt", 500}, {"b.vlt", 1024}, {"c.vlt", 5000}}));
  EXPECT_EQ(ListArchiveMembers(TestDir() / "none.plx", members), ErrNoSuchFile);
  EXPECT_TRUE(members.empty());
}

TEST_F(ExtractTest, ChosenMembersLandInTheTemporaryDirectory) {
  ASSERT_EQ(ExtractFromArchive(Names{"a.vlt", "c.vlt"}, archive, out), Success);
  EXPECT_EQ(out, (std::vector<fs::path>{TempDir() / "a.vlt", TempDir() / "c.vlt"}));
  EXPECT_EQ(ReadFileBytes(out[0]), a);
  EXPECT_EQ(ReadFileBytes(out[1]), c);
  EXPECT_FALSE(fs::exists(TempDir() / "b.vlt"));
}

TEST_F(ExtractTest, SecondOfThreeNeverReadsTheThird) {
  // Everything after the second entry is garbage; it is never looked at.
  Bytes bytes = ArchiveBytes({RawEntry("a.vlt", a, 3), RawEntry("b.vlt", b, 3)});
  bytes.insert(bytes.end(), {'J', 'U', 'N', 'K'});
  WriteFileBytes(archive, bytes);
  ASSERT_EQ(ExtractFromArchive(Names{"b.vlt"}, archive, out), Success);
  ASSERT_EQ(out.size(), 1U);
  EXPECT_EQ(ReadFileBytes(out[0]), b);
}

TEST_F(ExtractTest, NamesOutOfOrderOrMissingEndLaterMatches) {
  ASSERT_EQ(ExtractFromArchive(Names{"c.vlt", "a.vlt"}, archive, out), Success);
  EXPECT_EQ(out, std::vector<fs::path>{TempDir() / "c.vlt"});

  ASSERT_EQ(ExtractFromArchive(Names{"x.vlt", "b.vlt"}, archive, out), Success);
  EXPECT_TRUE(out.empty());
}

TEST_F(ExtractTest, ReplacesAnOldFileAndRemovesAPlantedLink) {
  const auto decoy = TestDir() / "decoy";
  WriteFileBytes(decoy, {1});
  WriteFileBytes(TempDir() / "a.vlt", {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
  fs::create_symlink(decoy, TempDir() / "b.vlt");

  ASSERT_EQ(ExtractFromArchive(Names{"a.vlt", "b.vlt"}, archive, out), Success);
  EXPECT_EQ(ReadFileBytes(TempDir() / "a.vlt"), a);
  EXPECT_FALSE(fs::is_symlink(TempDir() / "b.vlt"));
  EXPECT_EQ(ReadFileBytes(TempDir() / "b.vlt"), b);
  EXPECT_EQ(ReadFileBytes(decoy), Bytes{1});
}

TEST_F(ExtractTest, ArgumentsAndMissingPieces) {
  out = {"stale"};
  EXPECT_EQ(ExtractFromArchive(Names{}, archive, out), ErrInternal);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ExtractFromArchive(Names{"a.vlt"}, "", out), ErrInternal);
  EXPECT_EQ(ExtractFromArchive(Names{"a.vlt"}, TestDir() / "none.plx", out), ErrNoSuchFile);

  // A TMPDIR that is a file: no private directory can be made below it.
  WriteFileBytes(TestDir() / "not-a-dir", {});
  ::setenv("TMPDIR", (TestDir() / "not-a-dir").c_str(), 1);
  EXPECT_EQ(ExtractFromArchive(Names{"a.vlt"}, archive, out), ErrNoTempFile);
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
      {"subdirectory", {RawEntry("sub/evil.vlt", data)}},
      {"NUL byte", {RawEntry(std::string("ok.vlt\0x", 8), data)}},
      {"size past the end", {RawEntry("ok.vlt", data).Size(41)}},
      {"huge size", {RawEntry("ok.vlt", data).Size(0x7FFFFFFF)}},
      {"name past the end", {RawEntry("ok.vlt", {}).NameLength(200)}},
      {"second separator cut", {good(1)}, 1},
      {"missing entries", {good(3), good(3)}},
      {"header cut short", {good(2), good(2)}, 21 + 6 + 40 - 10},
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
  std::vector<fs::path> out;
  Names wanted;
  for (const auto& entry : damage.entries) wanted.push_back(entry.name);
  wanted.push_back("absent.vlt");  // so that every entry is read
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
  EXPECT_EQ(ExtractFromArchive(Names{"a.vlt", "../b.vlt"}, archive, out), ErrBadFile);
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
