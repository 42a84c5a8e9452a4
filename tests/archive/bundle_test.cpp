// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_bytes.h"
#include "archive/plx_bundle.h"
#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "support/test_env.h"

namespace voltare::archive {
namespace {

namespace fs = std::filesystem;
using platform::ErrInternal;
using platform::Success;
using testing::ArchiveBytes;
using testing::Bytes;
using testing::Pattern;
using testing::RawEntry;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;
using voltare::testing::WriteFileBytes;

class RecordingProgress final : public platform::Progress {
 public:
  void setMax(std::int64_t max) override { maxima.push_back(max); }
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override { repainted.push_back(position_); }

  std::vector<std::int64_t> maxima;
  std::vector<std::int64_t> repainted;

 private:
  std::int64_t position_ = 0;
};

class BundleTest : public ::testing::Test {
 protected:
  // A source path whose encrypted file "<source>.vlt" holds `data`.
  fs::path Encrypted(const std::string& source, const Bytes& data, const fs::path& dir = TestDir()) {
    fs::create_directories(dir);
    WriteFileBytes(dir / (source + ".vlt"), data);
    return dir / source;
  }

  StatusLine Status() {
    return StatusLine{[] { return std::string("Ready"); },
                      [this](const std::string& text) { statusTexts.push_back(text); }};
  }

  // Nothing but the given files is left in the directory: no staging file.
  static std::vector<std::string> NamesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  const fs::path archive = TestDir() / "batch.plx";
  std::vector<std::string> statusTexts;
  RecordingProgress progress;
};

TEST_F(BundleTest, OneMemberIsHeaderNameSeparatorsAndData) {
  const Bytes data = Pattern(100, 3);
  const std::vector<fs::path> sources = {Encrypted("letter.txt", data)};
  ASSERT_EQ(BundleFiles(sources, archive, &progress, Status()), Success);

  const Bytes written = ReadFileBytes(archive);
  EXPECT_EQ(written.size(), 21 + std::string("letter.txt.vlt").size() + 100);
  EXPECT_EQ(written, ArchiveBytes({RawEntry("letter.txt.vlt", data, 1)}));
  EXPECT_EQ(NamesIn(TestDir()), std::vector<std::string>{"batch.plx"});
}

TEST_F(BundleTest, ThreeMembersInListOrderWithCountEverywhereAndStatusTexts) {
  const Bytes a = Pattern(10, 1), b = Pattern(5000, 2), c = Pattern(1, 3);
  const std::vector<fs::path> sources = {Encrypted("c.doc", c), Encrypted("a.doc", a),
                                         Encrypted("b.doc", b, TestDir() / "sub")};
  ASSERT_EQ(BundleFiles(sources, archive, &progress, Status()), Success);

  EXPECT_EQ(ReadFileBytes(archive),
            ArchiveBytes({RawEntry("c.doc.vlt", c, 3), RawEntry("a.doc.vlt", a, 3), RawEntry("b.doc.vlt", b, 3)}));
  EXPECT_EQ(statusTexts,
            (std::vector<std::string>{"Bundling files to one (1/3) -- PLX", "Bundling files to one (2/3) -- PLX",
                                      "Bundling files to one (3/3) -- PLX", "Ready"}));
  EXPECT_EQ(progress.maxima, (std::vector<std::int64_t>{1, 10, 5000}));
  // No encrypted file of the batch is left next to its source.
  EXPECT_FALSE(fs::exists(TestDir() / "a.doc.vlt"));
  EXPECT_FALSE(fs::exists(TestDir() / "c.doc.vlt"));
  EXPECT_FALSE(fs::exists(TestDir() / "sub" / "b.doc.vlt"));
}

TEST_F(BundleTest, MemberOfBlockMultipleIsCopiedOnceInTenKilobyteBlocks) {
  const Bytes data = Pattern(2 * 10240, 9);
  const std::vector<fs::path> sources = {Encrypted("big", data)};
  ASSERT_EQ(BundleFiles(sources, archive, &progress), Success);
  EXPECT_EQ(ReadFileBytes(archive), ArchiveBytes({RawEntry("big.vlt", data)}));
  // Set to 0, two full blocks, then the empty block that ends the copy.
  EXPECT_EQ(progress.repainted, (std::vector<std::int64_t>{0, 10240, 20480, 20480}));
}

TEST_F(BundleTest, EmptyMemberHasBothSeparatorsAndNoData) {
  const std::vector<fs::path> sources = {Encrypted("empty", {})};
  ASSERT_EQ(BundleFiles(sources, archive, nullptr), Success);
  Bytes expected = {'P', 'L', 'X', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0};
  for (char ch : std::string("empty.vlt")) expected.push_back(static_cast<std::uint8_t>(ch));
  expected.insert(expected.end(), {0, 0, 0, 0});
  EXPECT_EQ(ReadFileBytes(archive), expected);
}

TEST_F(BundleTest, ExistingArchiveIsReplaced) {
  WriteFileBytes(archive, Pattern(50000, 1));
  const std::vector<fs::path> sources = {Encrypted("x", {1, 2})};
  ASSERT_EQ(BundleFiles(sources, archive, nullptr), Success);
  EXPECT_EQ(ReadFileBytes(archive), ArchiveBytes({RawEntry("x.vlt", {1, 2})}));
}

TEST_F(BundleTest, EmptyListIsRefused) {
  EXPECT_EQ(BundleFiles({}, archive, nullptr), ErrInternal);
  EXPECT_FALSE(fs::exists(archive));
}

// --- failures leave every member and no archive ------------------------------------

TEST_F(BundleTest, MissingMemberLeavesTheOthersAndNoArchive) {
  const std::vector<fs::path> sources = {Encrypted("a", {1}), TestDir() / "vanished", Encrypted("c", {3})};
  EXPECT_EQ(BundleFiles(sources, archive, nullptr, Status()), ENOENT);
  EXPECT_EQ(NamesIn(TestDir()), (std::vector<std::string>{"a.vlt", "c.vlt"}));
}

TEST_F(BundleTest, FailureKeepsAnOlderArchiveOfTheSameName) {
  WriteFileBytes(archive, {4, 5, 6});
  const std::vector<fs::path> sources = {Encrypted("a", {1}), TestDir() / "vanished"};
  EXPECT_EQ(BundleFiles(sources, archive, nullptr), ENOENT);
  EXPECT_EQ(ReadFileBytes(archive), (Bytes{4, 5, 6}));
  EXPECT_EQ(NamesIn(TestDir()), (std::vector<std::string>{"a.vlt", "batch.plx"}));
}

TEST_F(BundleTest, NameLongerThanTheFormatHoldsIsRefusedBeforeWriting) {
  // 251 + ".vlt" is the longest name a Linux directory holds; the format takes it.
  const std::vector<fs::path> fits = {Encrypted(std::string(251, 'n'), {1})};
  EXPECT_EQ(BundleFiles(fits, archive, nullptr), Success);
  std::vector<ArchiveMember> members;
  ASSERT_EQ(ListArchiveMembers(archive, members), Success);
  EXPECT_EQ(members.at(0).name, std::string(251, 'n') + ".vlt");

  const std::vector<fs::path> tooLong = {Encrypted("a", {1}), TestDir() / std::string(253, 'n')};
  EXPECT_EQ(BundleFiles(tooLong, TestDir() / "other.plx", nullptr), ENAMETOOLONG);
  EXPECT_TRUE(fs::exists(TestDir() / "a.vlt"));
  EXPECT_FALSE(fs::exists(TestDir() / "other.plx"));
}

TEST_F(BundleTest, MemberOverTwoGigabytesIsRefusedBeforeWriting) {
  const auto small = Encrypted("small", {1});
  const auto huge = TestDir() / "huge";
  WriteFileBytes(TestDir() / "huge.vlt", {});
  fs::resize_file(TestDir() / "huge.vlt", std::uintmax_t{1} << 31);  // sparse: costs no space
  const std::vector<fs::path> sources = {small, huge};
  EXPECT_EQ(BundleFiles(sources, archive, nullptr), EFBIG);
  EXPECT_EQ(NamesIn(TestDir()), (std::vector<std::string>{"huge.vlt", "small.vlt"}));
}

// --- packing and taking out again ----------------------------------------------------

TEST_F(BundleTest, SameNameFromTwoDirectoriesIsExtractedTwice) {
  const Bytes first = Pattern(300, 1), second = Pattern(700, 2);
  const std::vector<fs::path> sources = {Encrypted("same", first, TestDir() / "one"),
                                         Encrypted("same", second, TestDir() / "two")};
  ASSERT_EQ(BundleFiles(sources, archive, nullptr), Success);

  std::vector<ArchiveMember> members;
  ASSERT_EQ(ListArchiveMembers(archive, members), Success);
  EXPECT_EQ(members, (std::vector<ArchiveMember>{{"same.vlt", 300}, {"same.vlt", 700}}));

  // Each entry gets a file of its own and keeps its name beside it.
  std::vector<ExtractedMember> out;
  const std::vector<std::size_t> both = {0, 1};
  ASSERT_EQ(ExtractFromArchive(both, archive, out), Success);
  ASSERT_EQ(out.size(), 2U);
  EXPECT_NE(out[0].path, out[1].path);
  EXPECT_EQ(out[0].name, "same.vlt");
  EXPECT_EQ(out[1].name, "same.vlt");
  EXPECT_EQ(ReadFileBytes(out[0].path), first);
  EXPECT_EQ(ReadFileBytes(out[1].path), second);
}

TEST_F(BundleTest, GivenNamesAreStoredAndOneThatClimbsOutIsRefusedBeforeWriting) {
  const std::vector<NamedSource> named = {{Encrypted("same", Pattern(30, 1), TestDir() / "2023"), "2023/same.vlt"},
                                          {Encrypted("same", Pattern(70, 2), TestDir() / "2024"), "2024/same.vlt"}};
  ASSERT_EQ(BundleNamedFiles(named, archive, nullptr), Success);
  std::vector<ArchiveMember> members;
  ASSERT_EQ(ListArchiveMembers(archive, members), Success);
  EXPECT_EQ(members, (std::vector<ArchiveMember>{{"2023/same.vlt", 30}, {"2024/same.vlt", 70}}));

  const std::vector<NamedSource> climbing = {{Encrypted("x", Pattern(5, 3)), "../x.vlt"}};
  EXPECT_EQ(BundleNamedFiles(climbing, TestDir() / "other.plx", nullptr), EINVAL);
  EXPECT_FALSE(fs::exists(TestDir() / "other.plx"));
  EXPECT_TRUE(fs::exists(TestDir() / "x.vlt"));
}

TEST(RemovableDriveTest, TestDirectoryIsNotRemovable) { EXPECT_FALSE(IsRemovableDrive(TestDir() / "archive.plx")); }

}  // namespace
}  // namespace voltare::archive
