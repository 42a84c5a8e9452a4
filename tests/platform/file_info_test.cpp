// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_env.h"

namespace voltare::platform {
namespace {

TEST(FileNames, DisplayNameIsTheLastComponent) {
  EXPECT_EQ(FileDisplayName("/home/a/Bank.doc"), "Bank.doc");
  EXPECT_EQ(FileDisplayName("Notes.txt"), "Notes.txt");
  EXPECT_EQ(FileDisplayName("/home/a/Letters/"), "Letters");
  EXPECT_EQ(FileDisplayName("/"), "/");
}

TEST(FileNames, TypeNameFollowsTheExtension) {
  EXPECT_EQ(FileTypeName("/home/a/Notes.txt"), "TXT File");
  EXPECT_EQ(FileTypeName("/home/a/Bank.Doc"), "DOC File");
  EXPECT_EQ(FileTypeName("backup.tar.gz"), "GZ File");
  EXPECT_EQ(FileTypeName("/home/a/Makefile"), "File");
  EXPECT_EQ(FileTypeName("/home/a/.profile"), "File");
  EXPECT_EQ(FileTypeName("/home/a/notes."), "File");
  EXPECT_EQ(FileTypeName("/home/a.b/README"), "File");
  EXPECT_EQ(FileTypeName("Bild.jpeg\xC3\xA9"), "JPEG\xC3\xA9 File");
}

TEST(FileNames, DirectoriesAreFolders) {
  const auto dir = testing::TestDir() / "Letters.old";
  std::filesystem::create_directory(dir);
  testing::WriteFileText(dir / "Bank.doc", "x");
  EXPECT_EQ(DescribeFile(dir).typeName, "File Folder");
  EXPECT_EQ(DescribeFile(dir).displayName, "Letters.old");
  EXPECT_EQ(DescribeFile(dir / "Bank.doc").typeName, "DOC File");
}

}  // namespace
}  // namespace voltare::platform
