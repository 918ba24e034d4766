#include "output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files.h"

namespace {

size_t EntriesIn(const std::string& folder) {
  size_t count = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(OutputFile, WritesThroughBackslashNamesAndLeavesNoTemporary) {
  testdata::TempDir dir;
  std::filesystem::create_directory(dir.file("out"));
  std::string name = dir.path() + "\\out\\a.txt";
  ASSERT_TRUE(WriteOutput(name, std::string("hello\r\n")));
  EXPECT_EQ(testdata::ReadText(dir.file("out/a.txt")), "hello\r\n");
  EXPECT_EQ(EntriesIn(dir.file("out")), 1u);
}

TEST(OutputFile, ReplacesAnExistingFileWhole) {
  testdata::TempDir dir;
  testdata::WriteText(dir.file("a.txt"), "a much longer old content");
  ASSERT_TRUE(WriteOutput(dir.file("a.txt"), std::string("new")));
  EXPECT_EQ(testdata::ReadText(dir.file("a.txt")), "new");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(OutputFile, MissingFolderWritesNothing) {
  testdata::TempDir dir;
  EXPECT_FALSE(WriteOutput(dir.file("nope/a.txt"), std::string("x")));
  EXPECT_FALSE(testdata::FileExists(dir.file("nope/a.txt")));
}

TEST(OutputFile, FailedProducerKeepsTheOldFile) {
  testdata::TempDir dir;
  testdata::WriteText(dir.file("img.tga"), "old");
  EXPECT_FALSE(WriteOutputVia(dir.file("img.tga"), [](const std::string&) { return false; }));
  EXPECT_EQ(testdata::ReadText(dir.file("img.tga")), "old");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(OutputFile, HiddenFilesCountAsExisting) {
  testdata::TempDir dir;
  testdata::WriteText(dir.file(".hidden.obj"), "x");
  EXPECT_TRUE(OutputExists(dir.file(".hidden.obj")));
  EXPECT_FALSE(OutputExists(dir.path()));
}

}  // namespace
