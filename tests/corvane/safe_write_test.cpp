// A write that fails half-way (here: the file size limit of the process) must
// leave the user's old file exactly as it was and no temporary file behind.
// corvane runs as a process under `ulimit -f`, with SIGXFSZ ignored so that the
// oversized write fails with an error instead of killing the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "big_model.h"
#include "builders.h"
#include "corvane_run.h"
#include "files.h"

namespace {

// Blocks of the shell's `ulimit -f` (512 or 1024 bytes, depending on the shell):
// at most 8 KB, while every output checked below is over 32 KB.
constexpr int kLimitBlocks = 8;
constexpr uintmax_t kOutputAtLeast = 32 * 1024;

using CorvaneRun = corvane_test::RunResult;

// Runs corvane in `folder` with the blank-separated `args`, under a file size
// limit of `limitBlocks` when not 0.
CorvaneRun Corvane(const std::string& folder, const std::string& args, int limitBlocks) {
  corvane_test::Launch launch;
  std::istringstream words(args);
  for (std::string word; words >> word;) launch.args.push_back(word);
  launch.closedInput = true;
  launch.before = "trap '' XFSZ; " + (limitBlocks ? "ulimit -f " + std::to_string(limitBlocks) + ";" : "");
  return corvane_test::RunCorvaneWith(folder, launch);
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// A model whose OBJ, ASE, skin image and report (a line per frame) are all far
// over the limit.
void WriteBigModel(const testdata::TempDir& dir) {
  ASSERT_TRUE(testdata::WriteFile(dir.file("big.mdl"), testdata::BuildModel(testdata::BigModel(1000, 1200))));
  ASSERT_TRUE(testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette()));
}

// The same command without a limit, in a folder of its own: proves the outputs
// are big enough for the limit to cut them, and that the command writes them.
void ExpectOutputsOverLimit(const std::string& args, const std::set<std::string>& outputs) {
  testdata::TempDir free;
  WriteBigModel(free);
  CorvaneRun run = Corvane(free.path(), args, 0);
  ASSERT_EQ(run.code, 0) << run.out;
  for (const std::string& name : outputs) {
    ASSERT_TRUE(testdata::FileExists(free.file(name))) << name;
    ASSERT_GT(std::filesystem::file_size(free.file(name)), kOutputAtLeast) << name;
  }
}

const char kOld[] = "old content the user wants to keep\r\n";

TEST(SafeWrite, ObjCutByTheFileSizeLimitLeavesTheOldObjIntact) {
  const std::string args = "-model big.mdl -dst out.obj -replace";
  ExpectOutputsOverLimit(args, {"out.obj"});

  testdata::TempDir dir;
  WriteBigModel(dir);
  ASSERT_TRUE(testdata::WriteText(dir.file("out.obj"), kOld));
  CorvaneRun run = Corvane(dir.path(), args, kLimitBlocks);
  // The write error is said where the output is announced, and fails the run.
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_NE(run.out.find("  Model:   \"out.obj\"\n  Failed:  \"out.obj\" (File too large)\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\n!!ERROR!! 1 output was not written\n"), std::string::npos) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file("out.obj")), kOld);
  // The small material library fits under the limit; nothing else may remain.
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"big.mdl", "pal.lmp", "out.obj", "out.mtl"}));
}

TEST(SafeWrite, AseReportAndSkinImageCutByTheLimitKeepTheirOldFiles) {
  const std::string args = "-model big.mdl -pal pal.lmp -outimg bmp -dst out.ase -report out.txt -replace";
  ExpectOutputsOverLimit(args, {"out.ase", "out.txt", "big_0.bmp"});

  testdata::TempDir dir;
  WriteBigModel(dir);
  for (const char* name : {"out.ase", "out.txt", "big_0.bmp"}) ASSERT_TRUE(testdata::WriteText(dir.file(name), kOld));
  CorvaneRun run = Corvane(dir.path(), args, kLimitBlocks);
  EXPECT_EQ(run.code, 1) << run.out;
  for (const char* name : {"out.ase", "out.txt", "big_0.bmp"}) {
    EXPECT_EQ(testdata::ReadText(dir.file(name)), kOld) << name;
    EXPECT_NE(run.out.find("  Failed:  \"" + std::string(name) + "\" (File too large)\n"), std::string::npos)
        << run.out;
  }
  EXPECT_NE(run.out.find("\n!!ERROR!! 3 outputs were not written\n"), std::string::npos) << run.out;
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"big.mdl", "pal.lmp", "out.ase", "out.txt", "big_0.bmp"}));
}

TEST(SafeWrite, WithoutTheLimitTheSameRunReplacesTheOldObj) {
  testdata::TempDir dir;
  WriteBigModel(dir);
  ASSERT_TRUE(testdata::WriteText(dir.file("out.obj"), kOld));
  CorvaneRun run = Corvane(dir.path(), "-model big.mdl -dst out.obj -replace", 0);
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file("out.obj")).compare(0, 1, "#"), 0);
  EXPECT_GT(std::filesystem::file_size(dir.file("out.obj")), kOutputAtLeast);
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"big.mdl", "pal.lmp", "out.obj", "out.mtl"}));
}

}  // namespace
