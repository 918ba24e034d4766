// Replays the inputs kept under tests/regressions/<target>/ (crashes found by
// fuzzing, and hostile inputs the fuzz targets were seeded with) through the
// same calls as the fuzz target of that name: each must come back without a
// crash, with a documented result code and a record as the interface promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../../fuzz/harness.h"
#include "files.h"

namespace {

namespace fs = std::filesystem;

std::string RegressionsDir() { return (fs::path(__FILE__).parent_path().parent_path() / "regressions").string(); }

std::vector<std::string> InputsOf(const std::string& target) {
  std::vector<std::string> files;
  const fs::path folder = fs::path(RegressionsDir()) / target;
  if (!fs::is_directory(folder)) return files;
  for (auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

using Harness = std::function<std::string(const uint8_t*, size_t)>;

void ReplayAll(const std::string& target, const Harness& run) {
  const std::vector<std::string> files = InputsOf(target);
  ASSERT_FALSE(files.empty()) << "no inputs under " << RegressionsDir() << "/" << target;
  for (const std::string& file : files) {
    const testdata::Bytes bytes = testdata::ReadFile(file);
    EXPECT_EQ(run(bytes.data(), bytes.size()), "") << file;
  }
}

TEST(Regressions, ModelInputs) { ReplayAll("fuzz_model", harness::Model); }
TEST(Regressions, SpriteInputs) { ReplayAll("fuzz_sprite", harness::Sprite); }
TEST(Regressions, PaletteAndColormapInputs) { ReplayAll("fuzz_palette", harness::Palette); }
TEST(Regressions, PictureInputs) { ReplayAll("fuzz_picture", harness::Picture); }
TEST(Regressions, WadInputs) { ReplayAll("fuzz_wad", harness::Wad); }
TEST(Regressions, PathInputs) { ReplayAll("fuzz_paths", harness::Paths); }

TEST(Regressions, MapInputs) {
  // The parser prints every pair; keep the test log readable.
  ::testing::internal::CaptureStdout();
  ReplayAll("fuzz_map", harness::Map);
  ::testing::internal::GetCapturedStdout();
}

TEST(Regressions, PackInputs) {
  testdata::TempDir dir;
  const std::string pack = dir.file("input.pak");
  ReplayAll("fuzz_pack", [&pack](const uint8_t* data, size_t size) { return harness::Pack(data, size, pack); });
}

// The harness itself must be able to fail, or the replays above prove nothing.
TEST(Regressions, HarnessReportsABrokenPromise) {
  EXPECT_NE(harness::CheckCleanFilePath("a\\\\b"), "");
  EXPECT_NE(harness::CheckCleanFilePath("a/b"), "");
  EXPECT_NE(harness::CheckCleanFilePath("a\\..\\b"), "");
  EXPECT_EQ(harness::CheckCleanFilePath("..\\a\\b"), "");
  VNLMODEL_T model{};
  model.vertexCount = 1;
  EXPECT_FALSE(harness::ModelIsEmpty(model));
  EXPECT_NE(harness::Unexpected("vnlModelLoad", 99), "");
}

}  // namespace
