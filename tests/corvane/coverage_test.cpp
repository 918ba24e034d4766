#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "report.h"
#include "skin_triangles.h"
#include "state.h"

namespace {

using testdata::SetSkinTriangles;
using testdata::SkinTriangle;

class Coverage : public ::testing::Test {
 protected:
  ConverterState state;
};

TEST_F(Coverage, HalfOfSixteenBySixteenIsFifty) {
  SetSkinTriangles(state.item.model, testdata::LeftHalfOfSixteen());
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 50.0);
}

TEST_F(Coverage, NoTrianglesCoverNothing) {
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 0.0);
  SetSkinTriangles(state.item.model, {});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 0.0);
}

TEST_F(Coverage, TriangleReachingPastTheGridCoversAll) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{0, 0}, {2, 0}, {0, 2}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 100.0);
}

// The far edge is open: (0,0) (1,0) (0,1) marks x + y < 16, that is 136 cells.
TEST_F(Coverage, WholeSkinTriangleMarksOnlyBelowItsDiagonal) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{0, 0}, {1, 0}, {0, 1}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 136.0 / 256 * 100);
}

TEST_F(Coverage, OverlappingTrianglesCountACellOnce) {
  SkinTriangle corner{{{0, 0}, {1, 0}, {0, 1}}};
  SetSkinTriangles(state.item.model, {corner, corner, SkinTriangle{{{0, 0}, {0.5f, 0}, {0, 0.5f}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 136.0 / 256 * 100);
}

// The sample point is the integer position itself, not the texel's centre.
TEST_F(Coverage, SamplesAtIntegerPositions) {
  SetSkinTriangles(state.item.model,
                   {SkinTriangle{{{2 / 16.f, 3 / 16.f}, {2.5f / 16, 3 / 16.f}, {2 / 16.f, 3.5f / 16}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 100.0 / 256);
  SetSkinTriangles(state.item.model,
                   {SkinTriangle{{{2.2f / 16, 3.2f / 16}, {2.8f / 16, 3.2f / 16}, {2.2f / 16, 3.8f / 16}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 0.0);
}

TEST_F(Coverage, DegenerateTrianglesMarkNothing) {
  const struct {
    const char* what;
    SkinTriangle triangle;
  } cases[] = {
      {"collinear diagonal", {{{0, 0}, {0.5f, 0.5f}, {1, 1}}}},
      {"coincident corners", {{{0.25f, 0.25f}, {0.25f, 0.25f}, {0.25f, 0.25f}}}},
      {"two corners equal", {{{0.1f, 0.2f}, {0.6f, 0.2f}, {0.1f, 0.2f}}}},
      {"along the u = 1 edge", {{{1, 0}, {1, 0.5f}, {1, 1}}}},
      {"along the v = 1 edge", {{{0, 1}, {0.5f, 1}, {1, 1}}}},
  };
  for (const auto& c : cases) {
    SetSkinTriangles(state.item.model, {c.triangle});
    EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 0.0) << c.what;
  }
}

// Corners at u = 1 and v = 1 sit on position 16, one past the grid: the cells
// x + y > 16 with x, y <= 15 are marked (105 of them), nothing beyond.
TEST_F(Coverage, PositionsOnTheFarEdgesAreDropped) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{1, 1}, {1, 0}, {0, 1}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 105.0 / 256 * 100);
}

TEST_F(Coverage, NegativePositionsAreDropped) {
  // (-0.5, -0.5) (2.5, -0.5) (-0.5, 2.5) holds the whole grid and a lot outside it.
  SetSkinTriangles(state.item.model, {SkinTriangle{{{-0.5f, -0.5f}, {2.5f, -0.5f}, {-0.5f, 2.5f}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 100.0);
}

TEST_F(Coverage, HugeTriangleIsClippedToTheGrid) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{-1e6f, -1e6f}, {3e6f, -1e6f}, {-1e6f, 3e6f}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 100.0);
}

TEST_F(Coverage, NonFiniteCoordinatesMarkNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  SetSkinTriangles(state.item.model,
                   {SkinTriangle{{{nan, 0}, {1, 0}, {0, 1}}}, SkinTriangle{{{0, 0}, {inf, 0}, {0, 1}}},
                    SkinTriangle{{{0, 0}, {1, 0}, {0, -inf}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 0.0);
}

TEST_F(Coverage, TriangleNamingAMissingVertexIsSkipped) {
  SetSkinTriangles(state.item.model,
                   {SkinTriangle{{{0, 0}, {2, 0}, {0, 2}}}, SkinTriangle{{{0, 0}, {0.5f, 0}, {0, 0.5f}}}});
  state.item.model.triangles[0].index[2] = 60000;
  // Only the second triangle counts: x + y < 8 on the 16 x 16 grid, 36 cells.
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 36.0 / 256 * 100);
}

TEST_F(Coverage, EmptyOrHostileGridsGiveZeroNotNan) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{0, 0}, {2, 0}, {0, 2}}}});
  const struct {
    int32_t width, height;
  } grids[] = {{0, 16},        {16, 0},           {0, 0}, {-4, 16}, {16, INT32_MIN}, {INT32_MAX, INT32_MAX},
               {65536, 65536}, {1 << 20, 1 << 20}};
  for (const auto& g : grids) {
    double coverage = SkinCoverage(state.item.model, g.width, g.height);
    EXPECT_FALSE(std::isnan(coverage)) << g.width << " x " << g.height;
    EXPECT_DOUBLE_EQ(coverage, 0.0) << g.width << " x " << g.height;
  }
}

TEST_F(Coverage, OneTexelWideGridStillCounts) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{0, 0}, {2, 0}, {0, 2}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 1, 16), 100.0);
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 1), 100.0);
}

// The folded half of a skin: 16 texels of u are 8 cells, so the same triangle is
// wider in cells than its height suggests. x / 8 + y / 16 < 1 holds 72 of 128 cells.
TEST_F(Coverage, NarrowGridScalesUOnly) {
  SetSkinTriangles(state.item.model, {SkinTriangle{{{0, 0}, {1, 0}, {0, 1}}}});
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 8, 16), 72.0 / 128 * 100);
}

TEST_F(Coverage, MissingArraysCoverNothing) {
  state.item.model.triangleCount = 4;
  state.item.model.vertexCount = 12;
  EXPECT_DOUBLE_EQ(SkinCoverage(state.item.model, 16, 16), 0.0);
}

}  // namespace
