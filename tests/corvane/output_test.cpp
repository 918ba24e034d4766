#include "output.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files.h"
#include "state.h"

namespace {

size_t EntriesIn(const std::string& folder) {
  size_t count = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++count;
  }
  return count;
}

class OutputFile : public testing::Test {
 protected:
  ConverterState state;
};

TEST_F(OutputFile, WritesThroughBackslashNamesAndLeavesNoTemporary) {
  testdata::TempDir dir;
  std::filesystem::create_directory(dir.file("out"));
  std::string name = dir.path() + "\\out\\a.txt";
  ASSERT_TRUE(WriteOutput(state.options, state.outcome, name, std::string("hello\r\n")));
  EXPECT_EQ(testdata::ReadText(dir.file("out/a.txt")), "hello\r\n");
  EXPECT_EQ(EntriesIn(dir.file("out")), 1u);
}

TEST_F(OutputFile, ReplacesAnExistingFileWhole) {
  testdata::TempDir dir;
  testdata::WriteText(dir.file("a.txt"), "a much longer old content");
  state.options.flags |= OPT_REPLACE;
  ASSERT_TRUE(WriteOutput(state.options, state.outcome, dir.file("a.txt"), std::string("new")));
  EXPECT_EQ(testdata::ReadText(dir.file("a.txt")), "new");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  EXPECT_EQ(state.outcome.failedOutputs, 0u);
}

TEST_F(OutputFile, MissingFolderWritesNothingAndCountsTheFailure) {
  testdata::TempDir dir;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(WriteOutput(state.options, state.outcome, dir.file("nope/a.txt"), std::string("x")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "  Failed:  \"" + dir.file("nope/a.txt") + "\" (No such file or directory)\n");
  EXPECT_FALSE(testdata::FileExists(dir.file("nope/a.txt")));
  EXPECT_EQ(state.outcome.failedOutputs, 1u);
}

TEST_F(OutputFile, StreamedChunksArePublishedWholeAndAnAbandonedOutputKeepsTheOldFile) {
  testdata::TempDir dir;
  state.options.flags |= OPT_REPLACE;
  {
    Output out;
    ASSERT_EQ(OpenOutput(state.options, state.outcome, out, dir.file("a.bin")), OpenResult::Ready);
    EXPECT_TRUE(AppendOutput(out, "ab", 2));
    EXPECT_FALSE(testdata::FileExists(dir.file("a.bin")));  // nothing shows before publishing
    EXPECT_TRUE(AppendOutput(out, "cd", 2));
    EXPECT_TRUE(PublishOutput(out));
  }
  EXPECT_EQ(testdata::ReadText(dir.file("a.bin")), "abcd");
  {
    Output out;
    ASSERT_EQ(OpenOutput(state.options, state.outcome, out, dir.file("a.bin")), OpenResult::Ready);
    EXPECT_TRUE(AppendOutput(out, "new", 3));
  }  // given up without publishing
  EXPECT_EQ(testdata::ReadText(dir.file("a.bin")), "abcd");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  EXPECT_EQ(state.outcome.failedOutputs, 0u);
}

TEST_F(OutputFile, HiddenFilesCountAsExisting) {
  testdata::TempDir dir;
  testdata::WriteText(dir.file(".hidden.obj"), "x");
  EXPECT_TRUE(OutputExists(dir.file(".hidden.obj")));
  EXPECT_FALSE(OutputExists(dir.path()));
}

}  // namespace
