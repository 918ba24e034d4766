#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "builders.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;

// SmallModel loaded: 4 vertices (vertex 1 on the seam, copy 4), 2 frames,
// skin 8 x 8; file skin vertices (s, t) = (0,0) (0,4) (4,8) (6,2).
struct Loaded {
  VNLMODEL_T m{};
  Loaded() {
    Bytes bytes = testdata::BuildModel(testdata::SmallModel());
    uint8_t* block = bytes.data();
    uint32_t length = uint32_t(bytes.size());
    EXPECT_EQ(vnlModelLoad(block, length, m), VNL_OK);
  }
  ~Loaded() { vnlModelKill(m); }
  uint32_t positions() const { return (m.frameCount + m.frameExtra) * (m.vertexCount + m.seamCount); }
  uint32_t coords() const { return m.vertexCount + m.seamCount; }
  std::vector<VNLVEC3_T> copyPositions() const { return {m.frameVertices, m.frameVertices + positions()}; }
  std::vector<VNLVEC3_T> copyCoords() const { return {m.skinCoords, m.skinCoords + coords()}; }
};

bool SameBits(const std::vector<VNLVEC3_T>& a, const VNLVEC3_T* b) {
  return std::memcmp(a.data(), b, a.size() * sizeof(VNLVEC3_T)) == 0;
}

// A hand-made record holding only skin coordinates.
struct CoordRecord {
  std::vector<VNLVEC3_T> coords;
  VNLMODEL_T m{};
  CoordRecord(std::vector<VNLVEC3_T> c, uint16_t skinCount) : coords(std::move(c)) {
    m.skinCount = skinCount;
    m.vertexCount = uint16_t(coords.size());
    m.skinCoords = coords.data();
  }
};

// ---------------------------------------------------------------------------
// vnlModelScale
// ---------------------------------------------------------------------------

class ModelScaleNoOp : public ::testing::TestWithParam<float> {};

TEST_P(ModelScaleNoOp, FactorLeavesEveryPositionUnchanged) {
  Loaded model;
  std::vector<VNLVEC3_T> before = model.copyPositions();
  float factor = GetParam();
  vnlModelScale(model.m, factor);
  EXPECT_TRUE(SameBits(before, model.m.frameVertices));
}

INSTANTIATE_TEST_SUITE_P(Factors, ModelScaleNoOp,
                         ::testing::Values(1.0f, 0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN()));

TEST(ModelScale, MinusOneMirrorsEveryFrameThroughTheOrigin) {
  Loaded model;
  std::vector<VNLVEC3_T> before = model.copyPositions();
  ASSERT_EQ(before.size(), 10u);
  vnlModelScale(model.m, -1.0f);
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(model.m.frameVertices[i].x, -before[i].x) << i;
    EXPECT_EQ(model.m.frameVertices[i].y, -before[i].y) << i;
    EXPECT_EQ(model.m.frameVertices[i].z, -before[i].z) << i;
  }
}

TEST(ModelScale, FactorMultipliesPositionsOnlyIncludingSeamCopies) {
  Loaded model;
  std::vector<VNLVEC3_T> before = model.copyPositions();
  std::vector<VNLVEC3_T> coords = model.copyCoords();
  const float factor = 2.5f;
  vnlModelScale(model.m, factor);
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(model.m.frameVertices[i].x, float(2.5 * before[i].x)) << i;
    EXPECT_EQ(model.m.frameVertices[i].z, float(2.5 * before[i].z)) << i;
  }
  EXPECT_EQ(model.m.frameVertices[9].y, model.m.frameVertices[6].y);  // frame 2: copy of vertex 1
  EXPECT_TRUE(SameBits(coords, model.m.skinCoords));
}

TEST(ModelOps, EmptyRecordIsLeftAloneByEveryOperation) {
  VNLMODEL_T empty{};
  const float factor = 3.0f;
  vnlModelScale(empty, factor);
  vnlModelSkinInv(empty);
  vnlModelSkinNoBack(empty);
  vnlModelSwapTris(empty);
  VNLMODEL_T zero{};
  EXPECT_EQ(std::memcmp(&empty, &zero, sizeof empty), 0);
}

// ---------------------------------------------------------------------------
// vnlModelSkinInv
// ---------------------------------------------------------------------------

TEST(ModelSkinInv, OnceAfterLoadingGivesTOverTheSkinHeight) {
  Loaded model;
  std::vector<VNLVEC3_T> before = model.copyCoords();
  vnlModelSkinInv(model.m);
  const double t[] = {0, 4, 8, 2, 4};  // the copy (index 4) shares vertex 1's t
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(model.m.skinCoords[i].y, float(t[i] / 8)) << i;
    EXPECT_EQ(model.m.skinCoords[i].x, before[i].x) << i;
  }
}

TEST(ModelSkinInv, TwiceRestoresTheCoordinates) {
  Loaded model;
  std::vector<VNLVEC3_T> before = model.copyCoords();
  vnlModelSkinInv(model.m);
  vnlModelSkinInv(model.m);
  EXPECT_TRUE(SameBits(before, model.m.skinCoords));
}

TEST(ModelSkinInv, VOutsideTheSkinBecomesItsDistanceFromOne) {
  CoordRecord record({{0, 3.0f, 0}, {0, -0.5f, 0}, {0, 0.1f, 0}}, 1);
  vnlModelSkinInv(record.m);
  EXPECT_EQ(record.coords[0].y, 2.0f);
  EXPECT_EQ(record.coords[1].y, 1.5f);
  EXPECT_EQ(record.coords[2].y, float(std::fabs(double(0.1f) - 1.0)));
}

// ---------------------------------------------------------------------------
// vnlModelSkinNoBack
// ---------------------------------------------------------------------------

TEST(ModelSkinNoBack, FoldsTheBackHalfOntoTheFront) {
  CoordRecord record({{0.0f, 0.1f, 0}, {0.25f, 0.2f, 0}, {0.5f, 0.3f, 0}, {0.75f, 0.4f, 0}, {1.0f, 0.5f, 0}}, 1);
  vnlModelSkinNoBack(record.m);
  const float expected[] = {0.0f, 0.5f, 1.0f, 0.5f, 1.0f};
  const float v[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(record.coords[i].x, expected[i]) << i;
    EXPECT_EQ(record.coords[i].y, v[i]) << i;
  }
}

TEST(ModelSkinNoBack, SeamCopyOfAVertexAtZeroEndsAtOne) {
  testdata::ModelRecipe recipe = testdata::SmallModel();
  recipe.vertices[1] = {1, 0, 4};  // on the seam at u = 0; copy at 0.5
  recipe.vertices[2] = {1, 2, 4};  // on the seam at u = 0.25; copy at 0.75
  Bytes bytes = testdata::BuildModel(recipe);
  uint8_t* block = bytes.data();
  uint32_t length = uint32_t(bytes.size());
  VNLMODEL_T m{};
  ASSERT_EQ(vnlModelLoad(block, length, m), VNL_OK);
  ASSERT_EQ(m.seamCount, 2u);
  vnlModelSkinNoBack(m);
  EXPECT_EQ(m.skinCoords[1].x, 0.0f);
  EXPECT_EQ(m.skinCoords[4].x, 1.0f);
  EXPECT_EQ(m.skinCoords[2].x, 0.5f);
  EXPECT_EQ(m.skinCoords[5].x, 0.5f);
  vnlModelKill(m);
}

TEST(ModelSkinNoBack, AppliedTwiceDoublesAgain) {
  CoordRecord record({{0.2f, 0, 0}}, 1);
  vnlModelSkinNoBack(record.m);
  vnlModelSkinNoBack(record.m);
  EXPECT_EQ(record.coords[0].x, 0.2f * 4);  // 0.4 stays in the front half the second time
}

TEST(ModelSkinOps, RecordWithoutSkinsIsLeftAlone) {
  std::vector<VNLVEC3_T> coords = {{0.75f, 0.25f, 0}, {0.1f, 0.9f, 0}};
  CoordRecord record(coords, 0);
  vnlModelSkinInv(record.m);
  vnlModelSkinNoBack(record.m);
  EXPECT_TRUE(SameBits(coords, record.coords.data()));
}

// ---------------------------------------------------------------------------
// vnlModelSwapTris
// ---------------------------------------------------------------------------

TEST(ModelSwapTris, OnceAfterLoadingRestoresTheFileOrder) {
  Loaded model;
  vnlModelSwapTris(model.m);
  const VNLTRIANGLE_T* t = model.m.triangles;
  EXPECT_EQ(t[0].index[0], 0);
  EXPECT_EQ(t[0].index[1], 1);
  EXPECT_EQ(t[0].index[2], 2);
  // The back-facing (1, 3, 2) uses vertex 1's seam copy.
  EXPECT_EQ(t[1].index[0], 4);
  EXPECT_EQ(t[1].index[1], 3);
  EXPECT_EQ(t[1].index[2], 2);
}

TEST(ModelSwapTris, TouchesNothingButTheTriangles) {
  Loaded model;
  std::vector<VNLVEC3_T> positions = model.copyPositions();
  std::vector<VNLVEC3_T> coords = model.copyCoords();
  vnlModelSwapTris(model.m);
  vnlModelSwapTris(model.m);
  EXPECT_EQ(model.m.triangles[0].index[0], 2);
  EXPECT_TRUE(SameBits(positions, model.m.frameVertices));
  EXPECT_TRUE(SameBits(coords, model.m.skinCoords));
  EXPECT_EQ(model.m.triangleCount, 2);
}

}  // namespace
