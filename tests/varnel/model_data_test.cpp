// The stored-model record: every value as the file holds it, the same refusals
// as the model record's loader, and the game's normal table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "builders.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;
using testdata::ModelFrame;
using testdata::ModelFrameEntry;
using testdata::ModelRecipe;
using testdata::ModelSkin;

struct Data {
  VNLMODELDATA_T m{};
  ~Data() { vnlModelDataKill(&m); }
  int32_t load(const Bytes& bytes) { return vnlModelDataLoad(bytes.data(), uint32_t(bytes.size()), &m); }
};

void ExpectEmpty(const VNLMODELDATA_T& m) {
  VNLMODELDATA_T zero{};
  EXPECT_EQ(std::memcmp(&m, &zero, sizeof m), 0);
}

// SmallModel with a skin group after its skin and a frame group after its frames.
ModelRecipe GroupedModel() {
  ModelRecipe r = testdata::SmallModel();
  r.scale[0] = 0.25f;
  r.origin[2] = 3.5f;
  r.radius = 41.5f;
  r.eye[0] = 1;
  r.eye[1] = -2;
  r.eye[2] = 22;
  r.flags = 8;
  r.syncType = 1;
  r.size = 6.75f;
  r.skins.push_back(ModelSkin{true, {0.2f, 0.5f}, {testdata::SkinPixels(r, 1), testdata::SkinPixels(r, 2)}});
  ModelFrame a{"run1", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}, {0, 5, 161, 80}, {1, 2, 3, 0, 10, 11, 12, 0}};
  ModelFrame b{std::string("run2\0junk", 9), {{9, 9, 9}, {8, 8, 8}, {7, 7, 7}, {6, 6, 6}}, {3, 3, 3, 3}};
  ModelFrameEntry group{true, {0.15f, 0.4f}, {a, b}};
  group.box = {0, 1, 2, 0, 200, 201, 202, 0};
  r.frames.push_back(group);
  return r;
}

TEST(ModelDataLoad, KeepsEveryHeaderValue) {
  Data d;
  ASSERT_EQ(d.load(testdata::BuildModel(GroupedModel())), VNL_OK);
  const VNLMODELDATA_T& m = d.m;
  EXPECT_EQ(m.scale.x, 0.25f);
  EXPECT_EQ(m.scale.y, 0.5f);
  EXPECT_EQ(m.origin.x, -10.0f);
  EXPECT_EQ(m.origin.z, 3.5f);
  EXPECT_EQ(m.radius, 41.5f);
  EXPECT_EQ(m.eye.x, 1.0f);
  EXPECT_EQ(m.eye.y, -2.0f);
  EXPECT_EQ(m.eye.z, 22.0f);
  EXPECT_EQ(m.flags, 8u);
  EXPECT_EQ(m.syncType, 1u);
  EXPECT_EQ(m.size, 6.75f);
  EXPECT_EQ(m.skinWidth, 8u);
  EXPECT_EQ(m.skinHeight, 8u);
  EXPECT_EQ(m.vertexCount, 4u);
  EXPECT_EQ(m.triangleCount, 2u);
  EXPECT_EQ(m.framePositions, nullptr);
}

TEST(ModelDataLoad, FlattensGroupsAndKeepsTheirSizesAndIntervals) {
  Data d;
  ASSERT_EQ(d.load(testdata::BuildModel(GroupedModel())), VNL_OK);
  const VNLMODELDATA_T& m = d.m;
  ASSERT_EQ(m.skinEntryCount, 2u);
  ASSERT_EQ(m.skinCount, 3u);
  EXPECT_EQ(m.skinEntrySize[0], 0u);
  EXPECT_EQ(m.skinEntrySize[1], 2u);
  const float skinIntervals[] = {0, 0.2f, 0.5f};
  for (uint32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(m.skinIntervals[k], skinIntervals[k]) << k;
    EXPECT_EQ(m.skins[k].pixels[5], uint8_t(5 + (k == 0 ? 0 : k))) << k;
  }
  ASSERT_EQ(m.frameEntryCount, 3u);
  ASSERT_EQ(m.frameCount, 4u);
  const uint32_t entrySizes[] = {0, 0, 2};
  const float frameIntervals[] = {0, 0, 0.15f, 0.4f};
  for (uint32_t e = 0; e < 3; ++e) EXPECT_EQ(m.frameEntrySize[e], entrySizes[e]) << e;
  for (uint32_t f = 0; f < 4; ++f) EXPECT_EQ(m.frameIntervals[f], frameIntervals[f]) << f;
}

TEST(ModelDataLoad, KeepsBoxesNamesPositionsAndNormalsAsStored) {
  Data d;
  ASSERT_EQ(d.load(testdata::BuildModel(GroupedModel())), VNL_OK);
  const VNLMODELDATA_T& m = d.m;
  const VNLTRIVERTEX_T* v = m.frameVertices + 2 * m.vertexCount;  // "run1"
  const uint8_t normals[] = {0, 5, 161, 80};
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(v[i].v[0], 1 + 3 * i);
    EXPECT_EQ(v[i].v[2], 3 + 3 * i);
    EXPECT_EQ(v[i].normal, normals[i]);
  }
  EXPECT_EQ(m.frameBoxes[4].v[0], 1);
  EXPECT_EQ(m.frameBoxes[5].v[2], 12);
  EXPECT_EQ(m.frameEntryBox[4].v[1], 1);  // the group's own box, not its first frame's
  EXPECT_EQ(m.frameEntryBox[5].v[2], 202);
  EXPECT_EQ(m.frameEntryBox[0].normal, m.frameBoxes[0].normal);  // a single frame's box is its own
  EXPECT_EQ(m.frameEntryBox[1].v[0], 255);
  EXPECT_EQ(std::memcmp(m.frameNames[3], "run2\0junk", 9), 0);
}

TEST(ModelDataLoad, KeepsSeamFlagsFrontFlagsAndTheFileWinding) {
  Data d;
  ASSERT_EQ(d.load(testdata::BuildModel(testdata::SmallModel())), VNL_OK);
  const VNLMODELDATA_T& m = d.m;
  EXPECT_EQ(m.skinVertices[1].onSeam, 32);
  EXPECT_EQ(m.skinVertices[1].t, 4);
  EXPECT_EQ(m.skinVertices[2].t, 8);  // not measured from the bottom
  EXPECT_EQ(m.faces[0].facesFront, 1);
  EXPECT_EQ(m.faces[1].facesFront, 0);
  const int32_t second[] = {1, 3, 2};  // as in the file, no seam copy
  for (int c = 0; c < 3; ++c) EXPECT_EQ(m.faces[1].index[c], second[c]);
}

// Damaged files are refused with vnlModelLoad's codes and leave the record empty.
TEST(ModelDataLoad, RefusesWhatTheModelLoaderRefusesWithItsCodes) {
  struct Case {
    size_t at;
    uint32_t value;
  };
  const Case cases[] = {{0, 0x4F504448u}, {4, 5}, {48, 0}, {52, 0}, {56, 0}, {60, 0}, {64, 0}, {68, 0}};
  for (const Case& c : cases) {
    Bytes bytes = testdata::BuildModel(testdata::SmallModel());
    testdata::PutU32(bytes, c.at, c.value);
    VNLMODEL_T model{};
    uint8_t* block = bytes.data();
    uint32_t length = uint32_t(bytes.size());
    const int32_t expected = vnlModelLoad(block, length, model);
    vnlModelKill(model);
    Data d;
    EXPECT_NE(expected, VNL_OK) << c.at;
    EXPECT_EQ(d.load(bytes), expected) << c.at;
    ExpectEmpty(d.m);
  }
}

TEST(ModelDataLoad, RefusesAFaceOutsideTheVerticesAndABlockOverItsBudget) {
  ModelRecipe r = testdata::SmallModel();
  r.triangles[0].index[2] = 4;
  Data bad;
  EXPECT_EQ(bad.load(testdata::BuildModel(r)), VNL_MDL_BAD_INDEX);
  ExpectEmpty(bad.m);
  Bytes huge = testdata::BuildModel(testdata::SmallModel());
  testdata::PutU32(huge, 52, 60000);
  testdata::PutU32(huge, 56, 60000);
  Data big;
  EXPECT_EQ(big.load(huge), VNL_NO_MEMORY);
  ExpectEmpty(big.m);
  Data none;
  EXPECT_EQ(vnlModelDataLoad(nullptr, 10, &none.m), VNL_NO_BLOCK);
}

TEST(ModelDataLoad, ANewLoadEmptiesTheRecordFirst) {
  Data d;
  ASSERT_EQ(d.load(testdata::BuildModel(GroupedModel())), VNL_OK);
  ASSERT_EQ(d.load(testdata::BuildModel(testdata::SmallModel())), VNL_OK);
  EXPECT_EQ(d.m.frameCount, 2u);
  EXPECT_EQ(d.m.skinCount, 1u);
  Bytes bad = testdata::BuildModel(testdata::SmallModel());
  testdata::PutU32(bad, 4, 7);
  EXPECT_EQ(d.load(bad), VNL_MDL_VERSION);
  ExpectEmpty(d.m);
}

TEST(ModelDataLoadFile, ReadsADiskFileAndLeavesTheNamesAlone) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("guard.mdl"), testdata::BuildModel(GroupedModel())));
  const std::string name = dir.file("guard.mdl");
  char fileName[512];
  std::snprintf(fileName, sizeof fileName, "%s", name.c_str());
  Data d;
  ASSERT_EQ(vnlModelDataLoadFile(nullptr, fileName, &d.m), VNL_OK);
  EXPECT_EQ(d.m.frameCount, 4u);
  EXPECT_STREQ(fileName, name.c_str());
  Data missing;
  EXPECT_EQ(vnlModelDataLoadFile("", dir.file("none.mdl").c_str(), &missing.m), VNL_NOT_FOUND);
}

TEST(ModelDataLoadFile, ReadsAPackMember) {
  testdata::TempDir dir;
  Bytes pack = testdata::BuildPack({{"progs/guard.mdl", testdata::BuildModel(GroupedModel())}});
  ASSERT_TRUE(testdata::WriteFile(dir.file("pak0.pak"), pack));
  Data d;
  ASSERT_EQ(vnlModelDataLoadFile(dir.file("pak0.pak").c_str(), "progs/guard.mdl", &d.m), VNL_OK);
  EXPECT_EQ(d.m.skinCount, 3u);
}

// The game's table, read from the shared data file when it is there.
std::vector<VNLVEC3_T> TableRows() {
  std::vector<VNLVEC3_T> rows;
  std::ifstream in("/work/shared/data/normals162.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    VNLVEC3_T n{};
    fields >> n.x >> n.y >> n.z;
    rows.push_back(n);
  }
  return rows;
}

TEST(Normals, TableHoldsTheGameNormalsInIndexOrder) {
  const struct {
    uint32_t index;
    VNLVEC3_T normal;
  } cases[] = {{0, {-0.525731f, 0, 0.850651f}}, {5, {0, 0, 1}}, {161, {-0.688191f, -0.587785f, -0.425325f}}};
  for (const auto& c : cases) {
    VNLVEC3_T n{};
    ASSERT_EQ(vnlNormal(c.index, &n), VNL_OK);
    EXPECT_FLOAT_EQ(n.x, c.normal.x) << c.index;
    EXPECT_FLOAT_EQ(n.y, c.normal.y) << c.index;
    EXPECT_FLOAT_EQ(n.z, c.normal.z) << c.index;
  }
  const std::vector<VNLVEC3_T> rows = TableRows();
  if (rows.empty()) GTEST_SKIP() << "no shared normal table";
  ASSERT_EQ(rows.size(), 162u);
  for (uint32_t i = 0; i < 162; ++i) {
    VNLVEC3_T n{};
    ASSERT_EQ(vnlNormal(i, &n), VNL_OK);
    EXPECT_EQ(n.x, rows[i].x) << i;
    EXPECT_EQ(n.y, rows[i].y) << i;
    EXPECT_EQ(n.z, rows[i].z) << i;
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-5) << i;
  }
}

TEST(Normals, AnIndexPastTheTableIsRefusedAndLeavesTheVectorAlone) {
  VNLVEC3_T n{7, 8, 9};
  EXPECT_EQ(vnlNormal(162, &n), VNL_MDL_BAD_INDEX);
  EXPECT_EQ(n.x, 7.0f);
  EXPECT_EQ(n.z, 9.0f);
}

TEST(Normals, NearestOfATableNormalIsItselfAtAnyLength) {
  for (uint32_t i = 0; i < 162; ++i) {
    VNLVEC3_T n{};
    ASSERT_EQ(vnlNormal(i, &n), VNL_OK);
    EXPECT_EQ(vnlNearestNormal(n.x, n.y, n.z), i);
    EXPECT_EQ(vnlNearestNormal(5 * n.x, 5 * n.y, 5 * n.z), i);
  }
  EXPECT_EQ(vnlNearestNormal(0, 0, 0), 0u);  // every entry ties: the lowest
  EXPECT_EQ(vnlNearestNormal(0.01f, 0.02f, 3), 5u);
}

// Where the two records overlap they agree, on every real model.
void ExpectOverlapAgrees(const VNLMODELDATA_T& d, const VNLMODEL_T& m, const std::string& name) {
  ASSERT_EQ(d.skinCount, uint32_t(m.skinCount) + m.skinExtra) << name;
  ASSERT_EQ(d.frameCount, uint32_t(m.frameCount) + m.frameExtra) << name;
  ASSERT_EQ(d.vertexCount, m.vertexCount) << name;
  ASSERT_EQ(d.triangleCount, m.triangleCount) << name;
  EXPECT_EQ(d.flags, m.flags) << name;
  EXPECT_EQ(d.syncType, m.syncType) << name;
  for (uint32_t k = 0; k < d.skinCount; ++k)
    ASSERT_EQ(std::memcmp(d.skins[k].pixels, m.skins[k].pixels, size_t(d.skinWidth) * d.skinHeight), 0) << name;
  const uint32_t stride = m.vertexCount + m.seamCount;
  uint32_t f = 0;
  for (uint32_t e = 0; e < d.frameEntryCount; ++e) {
    EXPECT_EQ(m.frameGroup[f], d.frameEntrySize[e]) << name << " entry " << e;
    f += d.frameEntrySize[e] == 0 ? 1 : d.frameEntrySize[e];
  }
  for (f = 0; f < d.frameCount; ++f) {
    EXPECT_EQ(strncmp(d.frameNames[f], m.frameNames[f], 16), 0) << name << " frame " << f;
    for (uint32_t i = 0; i < d.vertexCount; ++i) {
      const VNLTRIVERTEX_T& v = d.frameVertices[uint64_t(f) * d.vertexCount + i];
      const VNLVEC3_T& p = m.frameVertices[uint64_t(f) * stride + i];
      ASSERT_EQ(p.x, float(double(v.v[0]) * d.scale.x + d.origin.x)) << name;
      ASSERT_EQ(p.z, float(double(v.v[2]) * d.scale.z + d.origin.z)) << name;
      ASSERT_LT(v.normal, 162) << name;
    }
  }
}

TEST(ModelDataCorpus, EveryModelLoadsAndAgreesWithTheModelRecord) {
  SKIP_WITHOUT_CORPUS();
  int loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testdata::CorpusDir() + "/progs")) {
    if (entry.path().extension() != ".mdl") continue;
    std::string pack, file = entry.path().string();
    VNLMODEL_T model{};
    ASSERT_EQ(vnlModelLoad(pack, file, model), VNL_OK) << file;
    Data d;
    ASSERT_EQ(vnlModelDataLoadFile(nullptr, entry.path().c_str(), &d.m), VNL_OK) << file;
    ExpectOverlapAgrees(d.m, model, file);
    vnlModelKill(model);
    ++loaded;
  }
  EXPECT_GT(loaded, 10);
}

}  // namespace
