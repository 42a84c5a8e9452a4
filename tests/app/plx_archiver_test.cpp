// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/plx_archiver.h"
#include "archive/plx_format.h"
#include "fake_user.h"
#include "support/test_env.h"

namespace voltare::app {
namespace {

namespace fs = std::filesystem;
using testing::TestDir;

// An archive of members with these names and data sizes, written byte by byte.
fs::path WriteArchive(const std::string& name, const std::vector<std::pair<std::string, std::size_t>>& members) {
  std::vector<std::uint8_t> bytes;
  for (const auto& [memberName, size] : members) {
    archive::ArchiveEntryHeader header;
    header.count = static_cast<std::uint32_t>(members.size());
    header.size = static_cast<std::int32_t>(size);
    header.nameLength = static_cast<std::uint32_t>(memberName.size());
    const auto encoded = archive::EncodeEntryHeader(header);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    bytes.insert(bytes.end(), memberName.begin(), memberName.end());
    bytes.insert(bytes.end(), 2, 0);
    bytes.insert(bytes.end(), size, 'd');
    bytes.insert(bytes.end(), 2, 0);
  }
  const fs::path path = TestDir() / name;
  testing::WriteFileBytes(path, bytes);
  return path;
}

fs::path ThreeMembers() {
  return WriteArchive("three.plx", {{"a.txt.vlt", 500}, {"b.txt.vlt", 1024}, {"c.txt.vlt", 5000}});
}

TEST(PLXArchiverTest, OpeningShowsTheMembersWithTheirSizesAndTheArchivesDirectory) {
  const fs::path path = WriteArchive("sizes.plx", {{"a.vlt", 500}, {"b.vlt", 1024}, {"c.vlt", 5000}, {"d.vlt", 0}});
  testing::FakeUser user;
  TPLXArchiver viewer(user);
  user.CancelArchive();
  const ArchiveViewerResult result = viewer.Request({path});

  ASSERT_EQ(user.archiveViewers.size(), 1u);
  const testing::SeenArchiveViewer& seen = user.archiveViewers[0];
  EXPECT_EQ(seen.caption, "PLX Viewer - " + path.string());
  EXPECT_EQ(seen.directory, TestDir().string() + "/");
  EXPECT_EQ(seen.members, (std::vector<std::pair<std::string, std::string>>{
                              {"a.vlt", "1KB"}, {"b.vlt", "1KB"}, {"c.vlt", "4KB"}, {"d.vlt", "0KB"}}));
  EXPECT_EQ(viewer.FileList.Items().at(0).imageIndex, 15);
  EXPECT_EQ(result.result, platform::Success);
  EXPECT_EQ(result.choice.outputDirectory, "") << "Cancel answers with nothing";
  EXPECT_FALSE(result.choice.entries.has_value());
}

TEST(PLXArchiverTest, ContinueSendsTheSelectedEntriesInArchiveOrderAndADirectoryWithItsSlash) {
  const fs::path path = ThreeMembers();
  const fs::path out = TestDir() / "out";
  fs::create_directories(out);
  testing::FakeUser user;
  TPLXArchiver viewer(user);
  user.OnArchiveViewer([&](TPLXArchiver& open) {
    EXPECT_EQ(open.FileList.SelectedCount(), 0u) << "the selection starts empty";
    open.FileList.Select(2);
    open.FileList.Select(0);
    open.Directory.text = out.string();
    open.ContinueButtonClick();
  });
  ArchiveViewerResult result = viewer.Request({path});
  EXPECT_EQ(result.choice.outputDirectory, out.string() + "/");
  EXPECT_EQ(result.choice.entries, (std::vector<std::size_t>{0, 2}));

  user.ChooseArchiveMembers(out.string() + "/", {"b.txt.vlt"});
  result = viewer.Request({path});
  EXPECT_EQ(result.choice.outputDirectory, out.string() + "/") << "a slash is not doubled";
  EXPECT_EQ(result.choice.entries, std::vector<std::size_t>{1}) << "the last opening's items are gone";
  EXPECT_TRUE(user.messages.empty());
}

TEST(PLXArchiverTest, ContinueStaysOpenWithoutASelectionOrAnExistingDirectory) {
  const fs::path path = ThreeMembers();
  testing::FakeUser user;
  TPLXArchiver viewer(user);
  user.OnArchiveViewer([&](TPLXArchiver& open) {
    open.ContinueButtonClick();
    EXPECT_TRUE(open.IsShowing());
    open.SelectAll1Click();
    open.Directory.text = (TestDir() / "missing").string();
    open.ContinueButtonClick();
    EXPECT_TRUE(open.IsShowing());
    EXPECT_EQ(open.ActiveControl, &open.Directory);
    open.Directory.text = TestDir().string();
    open.ContinueButtonClick();
  });
  const ArchiveViewerResult result = viewer.Request({path});
  EXPECT_EQ(user.MessageLog(),
            (std::vector<std::string>{"error: You need to select at least one file.",
                                      "error: Directory " + (TestDir() / "missing").string() + " does not exist !"}));
  EXPECT_EQ(result.choice.entries, (std::vector<std::size_t>{0, 1, 2}));
}

TEST(PLXArchiverTest, TheDirectoryChooserFillsTheDirectoryOnlyWhenConfirmed) {
  const fs::path path = ThreeMembers();
  testing::FakeUser user;
  TPLXArchiver viewer(user);
  user.OnArchiveViewer([&](TPLXArchiver& open) {
    open.SelectDirClick();
    EXPECT_EQ(open.Directory.text, TestDir().string() + "/");
    open.SelectDirClick();
    EXPECT_EQ(open.Directory.text, "/chosen");
    open.CancelButtonClick();
  });
  user.CancelDirectory().ChooseDirectory("/chosen");
  (void)viewer.Request({path});  // only the directory dialogs matter here
  ASSERT_EQ(user.directoryRequests.size(), 2u);
  EXPECT_EQ(user.directoryRequests[0].caption, "Please select an output directory");
  EXPECT_TRUE(user.directoryRequests[0].start.empty());
}

TEST(PLXArchiverTest, AMissingOrDamagedArchiveIsNotShown) {
  testing::FakeUser user;
  TPLXArchiver viewer(user);
  EXPECT_EQ(viewer.Request({TestDir() / "none.plx"}).result, platform::ErrNoSuchFile);
  auto bytes = testing::ReadFileBytes(ThreeMembers());
  bytes.resize(20);  // the first member's name is cut off
  testing::WriteFileBytes(TestDir() / "cut.plx", bytes);
  const ArchiveViewerResult result = viewer.Request({TestDir() / "cut.plx"});
  EXPECT_EQ(result.result, platform::ErrBadFile);
  EXPECT_FALSE(result.choice.entries.has_value());
  EXPECT_TRUE(user.archiveRequests.empty());
}

}  // namespace
}  // namespace voltare::app
