// The alias model output, run as a user runs it: every corpus model written back
// unchanged, and a rescaled one on its refitted lattice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using corvane_test::RunCorvane;
using corvane_test::RunResult;

TEST(MdlOutput, EveryCorpusModelComesBackAsItsBytesUpToTheEndOfItsFrames) {
  SKIP_WITHOUT_CORPUS();
  const std::vector<std::string> models = testdata::CorpusModels();
  if (models.empty()) GTEST_SKIP() << "no models in the corpus";
  testdata::TempDir dir;
  for (const std::string& model : models) {
    RunResult run = RunCorvane(dir.path(), {"-model", model, "-dst", "o.mdl", "-replace"}, "", true);
    ASSERT_EQ(run.code, 0) << model << "\n" << run.out;
    testdata::Bytes source = testdata::ReadFile(model);
    source.resize(std::min<uint64_t>(source.size(), testdata::ModelFramesEnd(source)));
    EXPECT_TRUE(testdata::ReadFile(dir.file("o.mdl")) == source) << model;
    EXPECT_NE(run.after.find("  Rounding:"), std::string::npos) << run.after;
  }
}

TEST(MdlOutput, RescaledModelLiesWithinHalfAStepOfTheScaledPositions) {
  SKIP_WITHOUT_CORPUS();
  const std::string source = testdata::CorpusFile("progs/h_dog.mdl");
  if (source.empty()) GTEST_SKIP() << "no h_dog.mdl in the corpus";
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {"-model", source, "-scale", "0.5", "-dst", "small.mdl"}, "", true);
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  Counts:"), std::string::npos) << run.after;
  EXPECT_NE(run.after.find("on the seam"), std::string::npos) << run.after;

  testdata::Bytes before = testdata::ReadFile(source), after = testdata::ReadFile(dir.file("small.mdl"));
  VNLMODEL_T a{}, b{};
  ASSERT_EQ(vnlModelLoad(before.data(), uint32_t(before.size()), a), VNL_OK);
  ASSERT_EQ(vnlModelLoad(after.data(), uint32_t(after.size()), b), VNL_OK);
  ASSERT_EQ(uint32_t(a.frameCount) + a.frameExtra, uint32_t(b.frameCount) + b.frameExtra);
  ASSERT_EQ(a.vertexCount + a.seamCount, b.vertexCount + b.seamCount);
  float step[3];
  std::memcpy(step, after.data() + 8, sizeof step);
  const uint64_t count = uint64_t(a.vertexCount + a.seamCount) * (uint64_t(a.frameCount) + a.frameExtra);
  double worst = 0;
  for (uint64_t i = 0; i < count; ++i) {
    worst = std::max(worst, std::fabs(0.5 * a.frameVertices[i].x - b.frameVertices[i].x) / step[0]);
    worst = std::max(worst, std::fabs(0.5 * a.frameVertices[i].y - b.frameVertices[i].y) / step[1]);
    worst = std::max(worst, std::fabs(0.5 * a.frameVertices[i].z - b.frameVertices[i].z) / step[2]);
  }
  EXPECT_LE(worst, 0.5001);
  vnlModelKill(a);
  vnlModelKill(b);
}

TEST(MdlOutput, ModelPastAnEngineLimitIsWrittenWithAWarning) {
  testdata::ModelRecipe recipe = testdata::SmallModel();
  for (int i = 0; i < 300; ++i) recipe.frames.push_back(recipe.frames[0]);
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("m.mdl"), testdata::BuildModel(recipe)));
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-dst", "o.mdl"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  Warning:  302 frames, past the 256 QuakeSpasm loads"), std::string::npos) << run.after;
  EXPECT_EQ(run.after.find("vertices, past"), std::string::npos) << run.after;
  EXPECT_TRUE(testdata::FileExists(dir.file("o.mdl")));
}

}  // namespace
