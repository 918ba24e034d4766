// What a run may cost: the small hostile files that once took gigabytes of
// memory and disk, minutes of work or thousands of output files, replayed
// through the real program. The bounds are loose (ten times or more what a run
// takes on a quiet machine, sanitizers included) but far below the old costs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corvane_run.h"
#include "costly_inputs.h"
#include "files.h"
#include "pack_builder.h"

namespace {

namespace fs = std::filesystem;
using testdata::Bytes;
using testdata::TempDir;

constexpr uint64_t kMiB = uint64_t(1) << 20;
// A sanitized build runs the program several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 5;
#else
constexpr double kSlowdown = 1;
#endif

struct Cost {
  int code = -1;
  double cpuSeconds = 0;
  uint64_t peakKiB = 0;
  uint64_t bytesWritten = 0;
  size_t filesWritten = 0;
};

uint64_t FolderBytes(const std::string& folder, size_t* files) {
  uint64_t total = 0;
  *files = 0;
  for (auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) total += entry.file_size(), ++*files;
  return total;
}

// Runs corvane in `folder` (stdin and stdout on /dev/null) and measures that
// child alone: its CPU time and peak memory from wait4, the bytes it left behind.
Cost RunMeasured(const TempDir& folder, const std::vector<std::string>& args) {
  size_t inputs = 0;
  const uint64_t before = FolderBytes(folder.path(), &inputs);
  Cost cost;
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int out = open("/dev/null", O_WRONLY | O_CLOEXEC);
  struct rusage usage {};
  const int status = in < 0 || out < 0 ? -1 : corvane_test::SpawnCorvane(folder.path(), args, in, out, -1, &usage);
  for (int fd : {in, out})
    if (fd >= 0) close(fd);
  if (status == -1) return cost;
  cost.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  cost.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  cost.peakKiB = uint64_t(usage.ru_maxrss);
  size_t files = 0;
  cost.bytesWritten = FolderBytes(folder.path(), &files) - before;
  cost.filesWritten = files - inputs;
  return cost;
}

// The promise: about 1 s + 1 s per MB of input, at most 32 x n + 64 MiB written.
void ExpectWithinBounds(const Cost& cost, uint64_t inputBytes, double cpuLimit, uint64_t peakLimitMiB) {
  EXPECT_LE(cost.cpuSeconds, cpuLimit * kSlowdown);
  EXPECT_LE(cost.peakKiB, peakLimitMiB * 1024);
  EXPECT_LE(cost.bytesWritten, 32 * inputBytes + 64 * kMiB);
}

class RunCost : public ::testing::Test {
 protected:
  void write(const std::string& name, const Bytes& bytes) { ASSERT_TRUE(testdata::WriteFile(dir_.file(name), bytes)); }
  void SetUp() override { write("pal.lmp", testdata::DistinctPalette()); }
  TempDir dir_;
};

// Once: 20 s, 2.2 GB of memory and a 1.65 GB report of 38 million empty frames.
TEST_F(RunCost, SpriteHeaderClaimingMillionsOfFramesIsRefused) {
  const Bytes sprite = testdata::ManyFramesSprite();
  ASSERT_EQ(sprite.size(), 36u);
  write("s.spr", sprite);
  const Cost cost = RunMeasured(dir_, {"-sprite", "s.spr", "-pal", "pal.lmp", "-report", "r.txt"});
  EXPECT_EQ(cost.code, 1);
  ExpectWithinBounds(cost, sprite.size(), 10, 256);
  EXPECT_EQ(cost.filesWritten, 0u);
}

// Once: a 16384 x 16384 frame, a gigabyte of memory and a gigabyte image.
TEST_F(RunCost, SpriteFrameClaimingAGigapixelIsRefused) {
  const Bytes sprite = testdata::GigapixelFrameSprite();
  ASSERT_EQ(sprite.size(), 72u);
  write("s.spr", sprite);
  const Cost cost = RunMeasured(dir_, {"-sprite", "s.spr", "-pal", "pal.lmp", "-report", "r.txt"});
  EXPECT_EQ(cost.code, 1);
  ExpectWithinBounds(cost, sprite.size(), 10, 256);
  EXPECT_EQ(cost.filesWritten, 0u);
}

// Once: 65535 skin images from 92 bytes.
TEST_F(RunCost, SkinGroupOfThousandsOfPicturesIsRefused) {
  const Bytes model = testdata::SkinGroupModel();
  ASSERT_EQ(model.size(), 92u);
  write("m.mdl", model);
  const Cost cost = RunMeasured(dir_, {"-model", "m.mdl", "-pal", "pal.lmp", "-report", "r.txt"});
  EXPECT_EQ(cost.code, 1);
  ExpectWithinBounds(cost, model.size(), 10, 256);
  EXPECT_EQ(cost.filesWritten, 0u);
}

// Once: minutes of coverage scan for 65535 slivers on a 1024 x 1024 skin (now
// about 1.5 s of CPU, 14 s under the sanitizers).
TEST_F(RunCost, SliversAcrossALargeSkinReportQuickly) {
  const Bytes model = testdata::BuildModel(testdata::SliverModel(65535, 1024));
  write("m.mdl", model);
  const Cost cost = RunMeasured(dir_, {"-model", "m.mdl", "-report", "r.txt"});
  EXPECT_EQ(cost.code, 0);
  ExpectWithinBounds(cost, model.size(), 40, 1024);
  const std::string report = testdata::ReadText(dir_.file("r.txt"));
  EXPECT_NE(report.find("1024x1024px (0.01% covered)"), std::string::npos) << report.substr(0, 2000);
}

// ---- the pack's empty member, through the program ----

TEST(PackExtractEmpty, MemberOfLengthZeroExtractsAsAnEmptyFile) {
  TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("p.pak"), testdata::BuildRawPack(Bytes{'x'}, {{"empty.txt", 12, 0}})));
  const corvane_test::RunResult run =
      corvane_test::RunCorvane(dir.path(), {"-pakextract", "p.pak::empty.txt"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  ASSERT_TRUE(testdata::FileExists(dir.file("empty.txt"))) << run.out;
  EXPECT_TRUE(testdata::ReadFile(dir.file("empty.txt")).empty());
}

}  // namespace
