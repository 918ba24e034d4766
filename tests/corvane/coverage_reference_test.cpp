// The coverage scan against the one it replaced, kept here as the reference: the
// old scan tested every cell of each triangle's bounding box. The new one visits
// only the cells near each row the triangle spans, and must mark exactly the
// same cells for real models and for well-formed triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include "costly_inputs.h"
#include "files.h"
#include "report.h"
#include "skin_triangles.h"
#include "state.h"

namespace {

using testdata::SetSkinTriangles;
using testdata::SkinTriangle;

// ---- the reference: the bounding-box scan as it was ----

bool ReferenceRange(const float v[3], int32_t limit, int64_t& first, int64_t& last) {
  double low = std::nearbyint(std::min({double(v[0]), double(v[1]), double(v[2])}));
  double high = std::nearbyint(std::max({double(v[0]), double(v[1]), double(v[2])}));
  low = std::max(low, 0.0);
  high = std::min(high, double(limit) - 1);
  if (!(low <= high)) return false;
  first = int64_t(low);
  last = int64_t(high);
  return true;
}

uint64_t ReferenceMark(std::vector<uint8_t>& grid, int32_t width, int32_t height, const VNLVEC3_T* corner[3]) {
  float pu[3], pv[3];
  for (int i = 0; i < 3; ++i) {
    pu[i] = float(double(corner[i]->x) * width);
    pv[i] = float(double(corner[i]->y) * height);
    if (!std::isfinite(pu[i]) || !std::isfinite(pv[i])) return 0;
  }
  float e0u = float(double(pu[1]) - pu[0]), e0v = float(double(pv[1]) - pv[0]);
  float e1u = float(double(pu[2]) - pu[0]), e1v = float(double(pv[2]) - pv[0]);
  float d00 = float(double(e0u) * e0u + double(e0v) * e0v);
  float d01 = float(double(e0u) * e1u + double(e0v) * e1v);
  float d11 = float(double(e1u) * e1u + double(e1v) * e1v);
  double denominator = double(d00) * d11 - double(d01) * d01;
  if (denominator == 0) return 0;
  float inv = float(1.0 / denominator);
  if (inv == 0 || !std::isfinite(inv)) return 0;
  int64_t x0, x1, y0, y1;
  if (!ReferenceRange(pu, width, x0, x1) || !ReferenceRange(pv, height, y0, y1)) return 0;
  uint64_t added = 0;
  for (int64_t y = y0; y <= y1; ++y) {
    uint8_t* row = grid.data() + uint64_t(y) * uint64_t(width);
    for (int64_t x = x0; x <= x1; ++x) {
      if (row[x]) continue;
      float p0 = float(double(x) - pu[0]);
      float p1 = float(double(y) - pv[0]);
      float q0 = float(double(p0) * e0u + double(p1) * e0v);
      float q1 = float(double(p0) * e1u + double(p1) * e1v);
      float a = float((double(q1) * d00 - double(q0) * d01) * inv);
      float b = float((double(q0) * d11 - double(q1) * d01) * inv);
      if (a >= 0 && b >= 0 && double(a) + double(b) < 1) {
        row[x] = 1;
        ++added;
      }
    }
  }
  return added;
}

double ReferenceCoverage(const VNLMODEL_T& model, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  const uint64_t cells = uint64_t(width) * uint64_t(height);
  if (cells > (uint64_t(64) << 20)) return 0;
  if (!model.triangles || !model.skinCoords) return 0;
  std::vector<uint8_t> grid(cells, 0);
  const uint64_t vertices = uint64_t(model.vertexCount) + model.seamCount;
  uint64_t count = 0;
  for (uint32_t t = 0; t < model.triangleCount && count < cells; ++t) {
    const uint16_t* index = model.triangles[t].index;
    if (index[0] >= vertices || index[1] >= vertices || index[2] >= vertices) continue;
    const VNLVEC3_T* corner[3] = {&model.skinCoords[index[0]], &model.skinCoords[index[1]],
                                  &model.skinCoords[index[2]]};
    count += ReferenceMark(grid, width, height, corner);
  }
  return double(count) / double(cells) * 100.0;
}

// ---- the comparisons ----

class CoverageReference : public ::testing::Test {
 protected:
  ConverterState state;
};

// No two corners closer than two cells, no angle below about two degrees.
bool WellFormed(const SkinTriangle& t, int32_t width, int32_t height) {
  double u[3], v[3];
  for (int i = 0; i < 3; ++i) u[i] = double(t[i].u) * width, v[i] = double(t[i].v) * height;
  const double area2 = std::fabs((u[1] - u[0]) * (v[2] - v[0]) - (u[2] - u[0]) * (v[1] - v[0]));
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3, k = (i + 2) % 3;
    const double a = std::hypot(u[j] - u[i], v[j] - v[i]), b = std::hypot(u[k] - u[i], v[k] - v[i]);
    if (a < 2 || b < 2 || area2 / (a * b) < 0.035) return false;  // sin of the angle at corner i
  }
  return true;
}

// Each triangle alone (the new scan visits a subset of the old one's cells with
// the same test, so equal counts mean equal cells), then all of them together.
TEST_F(CoverageReference, RandomWellFormedTrianglesMarkTheSameCells) {
  std::mt19937 random(16);
  std::uniform_real_distribution<float> position(-0.3f, 1.3f);
  std::uniform_int_distribution<int> side(1, 300);
  for (int round = 0; round < 40; ++round) {
    const int32_t width = side(random), height = side(random);
    const bool onTexels = round % 2 == 0;  // file skins place corners on whole texels
    std::vector<SkinTriangle> all;
    while (all.size() < 50) {
      SkinTriangle t;
      for (auto& p : t) {
        p = {position(random), position(random)};
        if (onTexels) p = {std::round(p.u * width) / float(width), std::round(p.v * height) / float(height)};
      }
      if (!WellFormed(t, width, height)) continue;
      SetSkinTriangles(state.item.model, {t});
      ASSERT_EQ(SkinCoverage(state.item.model, width, height), ReferenceCoverage(state.item.model, width, height))
          << width << " x " << height << ": (" << t[0].u << ", " << t[0].v << ") (" << t[1].u << ", " << t[1].v << ") ("
          << t[2].u << ", " << t[2].v << ")";
      all.push_back(t);
    }
    SetSkinTriangles(state.item.model, all);
    EXPECT_EQ(SkinCoverage(state.item.model, width, height), ReferenceCoverage(state.item.model, width, height))
        << width << " x " << height;
  }
}

// Slivers on whole texels are computed exactly: the rule for slivers changes nothing for them.
TEST_F(CoverageReference, SliversOnWholeTexelsMarkTheSameCells) {
  testdata::Bytes bytes = testdata::BuildModel(testdata::SliverModel(300, 128));
  ASSERT_EQ(vnlModelLoad(bytes.data(), uint32_t(bytes.size()), state.item.model), VNL_OK);
  const double coverage = SkinCoverage(state.item.model, 128, 128);
  EXPECT_GT(coverage, 0.0);
  EXPECT_EQ(coverage, ReferenceCoverage(state.item.model, 128, 128));
}

TEST_F(CoverageReference, EveryCorpusModelKeepsItsFigure) {
  SKIP_WITHOUT_CORPUS();
  int models = 0;
  for (auto& entry : std::filesystem::recursive_directory_iterator(testdata::CorpusDir())) {
    if (!entry.is_regular_file() || entry.path().extension() != ".mdl") continue;
    testdata::Bytes bytes = testdata::ReadFile(entry.path().string());
    ConverterState run;  // one run per model
    ASSERT_EQ(vnlModelLoad(bytes.data(), uint32_t(bytes.size()), run.item.model), VNL_OK) << entry.path();
    const int32_t width = int32_t(run.item.model.skins[0].width), height = int32_t(run.item.model.skins[0].height);
    EXPECT_EQ(SkinCoverage(run.item.model, width, height), ReferenceCoverage(run.item.model, width, height))
        << entry.path();
    EXPECT_EQ(SkinCoverage(run.item.model, width / 2, height), ReferenceCoverage(run.item.model, width / 2, height))
        << entry.path();
    ++models;
  }
  EXPECT_GT(models, 0);
}

}  // namespace
