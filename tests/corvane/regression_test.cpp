// Replays the inputs kept under tests/regressions/fuzz_pipeline/ through the same
// model path as the pipeline fuzz target: load, every operation, the frame
// lookup, the OBJ, ASE and report writers. Each must come back without a crash
// and with files that match the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../../fuzz/pipeline_harness.h"
#include "files.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> PipelineInputs() {
  const fs::path folder = fs::path(__FILE__).parent_path().parent_path() / "regressions" / "fuzz_pipeline";
  std::vector<std::string> files;
  if (!fs::is_directory(folder)) return files;
  for (auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(Regressions, PipelineInputs) {
  const std::vector<std::string> files = PipelineInputs();
  ASSERT_FALSE(files.empty()) << "no inputs under tests/regressions/fuzz_pipeline";
  testdata::TempDir dir;
  ::testing::internal::CaptureStdout();  // the writers log what they write
  for (const std::string& file : files) {
    const testdata::Bytes bytes = testdata::ReadFile(file);
    EXPECT_EQ(harness::Pipeline(bytes.data(), bytes.size(), dir.path()), "") << file;
  }
  ::testing::internal::GetCapturedStdout();
}

// The OBJ check must be able to fail, or the replay above proves nothing.
TEST(Regressions, PipelineCheckRejectsAFaceBeyondTheVertices) {
  VNLMODEL_T model{};
  model.vertexCount = 1;
  model.triangleCount = 1;
  EXPECT_EQ(harness::CheckObj("v 0 0 0\r\nvt 0 0\r\nf 1/1 1/1 1/1\r\n", model), "");
  EXPECT_NE(harness::CheckObj("v 0 0 0\r\nvt 0 0\r\nf 1/1 2/2 1/1\r\n", model), "");
  EXPECT_NE(harness::CheckObj("v 0 0 0\r\nvt 0 0\r\n", model), "");
}

}  // namespace
