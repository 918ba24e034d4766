#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "builders.h"
#include "costly_inputs.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;
using testdata::ModelFrame;
using testdata::ModelFrameEntry;
using testdata::ModelRecipe;
using testdata::ModelSkin;
using testdata::ModelTriangle;
using testdata::PutU32;

// Header word offsets.
constexpr size_t kVersionAt = 4;
constexpr size_t kSkinCountAt = 48;
constexpr size_t kSkinWidthAt = 52;
constexpr size_t kSkinHeightAt = 56;
constexpr size_t kVertexCountAt = 60;
constexpr size_t kTriangleCountAt = 64;
constexpr size_t kFrameCountAt = 68;

// A record that is killed when the test ends.
struct Model {
  VNLMODEL_T m{};
  ~Model() { vnlModelKill(m); }
  int32_t load(const Bytes& bytes) {
    uint8_t* block = const_cast<uint8_t*>(bytes.data());
    uint32_t length = uint32_t(bytes.size());
    return vnlModelLoad(block, length, m);
  }
};

void ExpectEmpty(const VNLMODEL_T& m) {
  EXPECT_EQ(m.skins, nullptr);
  EXPECT_EQ(m.triangles, nullptr);
  EXPECT_EQ(m.seamIndex, nullptr);
  EXPECT_EQ(m.skinCoords, nullptr);
  EXPECT_EQ(m.frameVertices, nullptr);
  EXPECT_EQ(m.frameNames, nullptr);
  EXPECT_EQ(m.frameGroup, nullptr);
  EXPECT_EQ(m.skinCount + m.skinExtra + m.frameCount + m.frameExtra + m.vertexCount + m.triangleCount, 0);
  EXPECT_EQ(m.seamCount, 0u);
  EXPECT_EQ(m.ofsSkins + m.ofsVertices + m.ofsTriangles + m.ofsFrames, 0u);
}

std::string Name(const VNLMODEL_T& m, int frame) {
  return std::string(m.frameNames[frame], strnlen(m.frameNames[frame], 16));
}

ModelFrame Frame(const std::string& name, size_t vertices, uint8_t value) {
  ModelFrame frame{name, {}};
  frame.positions.assign(vertices, {value, uint8_t(value + 1), uint8_t(value + 2)});
  return frame;
}

// A model whose vertices and triangles are given; one simple frame.
ModelRecipe ModelWith(std::vector<testdata::ModelSkinVertex> vertices, std::vector<ModelTriangle> triangles) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.vertices = std::move(vertices);
  recipe.triangles = std::move(triangles);
  recipe.frames = {ModelFrameEntry{false, {}, {Frame("base", recipe.vertices.size(), 7)}}};
  return recipe;
}

// Just the 84-byte header with the given counts, padded to `length` bytes.
Bytes HostileHeader(uint32_t vertexCount, uint32_t frameCount, size_t length) {
  testdata::ByteWriter w;
  w.text("IDPO").i32(6);
  for (int i = 0; i < 10; ++i) w.f32(1);
  w.u32(1).u32(8).u32(8).u32(vertexCount).u32(1).u32(frameCount).u32(0).u32(0).f32(1);
  Bytes bytes = w.take();
  bytes.resize(length, 0);
  return bytes;
}

// ---------------------------------------------------------------------------
// Header checks
// ---------------------------------------------------------------------------

TEST(ModelLoadHeader, MagicAndVersionAloneReadTheSkinCountAsZero) {
  Model model;
  EXPECT_EQ(model.load(testdata::ByteWriter().text("IDPO").i32(6).take()), VNL_MDL_NO_SKIN);
  ExpectEmpty(model.m);
}

struct HeaderCase {
  const char* what;
  size_t offset;
  uint32_t value;
  int32_t code;
};

class ModelLoadHeaderField : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ModelLoadHeaderField, FirstBadFieldDecidesTheCodeAndLeavesTheRecordEmpty) {
  const HeaderCase& c = GetParam();
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  PutU32(bytes, c.offset, c.value);
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(testdata::SmallModel())), VNL_OK);
  EXPECT_EQ(model.load(bytes), c.code) << c.what;
  ExpectEmpty(model.m);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelLoadHeaderField,
    ::testing::Values(HeaderCase{"version 7", kVersionAt, 7, VNL_MDL_VERSION},
                      HeaderCase{"magic in lower case", 0, 0x6F706469u /* "idpo" */, VNL_NOT_MDL},
                      HeaderCase{"no skin", kSkinCountAt, 0, VNL_MDL_NO_SKIN},
                      HeaderCase{"width 0", kSkinWidthAt, 0, VNL_MDL_SKIN_WIDTH},
                      HeaderCase{"height 0", kSkinHeightAt, 0, VNL_MDL_SKIN_HEIGHT},
                      HeaderCase{"no vertex", kVertexCountAt, 0, VNL_MDL_NO_VERTEX},
                      HeaderCase{"no triangle", kTriangleCountAt, 0, VNL_MDL_NO_FACE},
                      HeaderCase{"no frame", kFrameCountAt, 0, VNL_MDL_NO_FRAME},
                      HeaderCase{"skins beyond 16 bits", kSkinCountAt, 0x10000, VNL_MDL_NO_SKIN},
                      HeaderCase{"negative skins", kSkinCountAt, 0xFFFFFFFFu, VNL_MDL_NO_SKIN},
                      HeaderCase{"vertices beyond 16 bits", kVertexCountAt, 0x10000, VNL_MDL_NO_VERTEX},
                      HeaderCase{"negative vertices", kVertexCountAt, uint32_t(-5), VNL_MDL_NO_VERTEX},
                      HeaderCase{"triangles beyond 16 bits", kTriangleCountAt, 70000, VNL_MDL_NO_FACE},
                      HeaderCase{"negative frames", kFrameCountAt, 0xFFFFFFFFu, VNL_MDL_NO_FRAME}),
    [](const ::testing::TestParamInfo<HeaderCase>& tested) { return std::to_string(tested.index); });

TEST(ModelLoadHeader, ZeroSkinCountWinsOverZeroWidth) {
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  PutU32(bytes, kSkinCountAt, 0);
  PutU32(bytes, kSkinWidthAt, 0);
  Model model;
  EXPECT_EQ(model.load(bytes), VNL_MDL_NO_SKIN);
}

TEST(ModelLoadHeader, AbsentBlockGives1AndLeavesALoadedRecordAlone) {
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(testdata::SmallModel())), VNL_OK);
  uint8_t* none = nullptr;
  uint32_t length = 100;
  EXPECT_EQ(vnlModelLoad(none, length, model.m), VNL_NO_BLOCK);
  uint8_t byte = 0;
  uint8_t* one = &byte;
  uint32_t zero = 0;
  EXPECT_EQ(vnlModelLoad(one, zero, model.m), VNL_NO_BLOCK);
  EXPECT_EQ(model.m.vertexCount, 4);
  EXPECT_NE(model.m.frameVertices, nullptr);
}

// ---------------------------------------------------------------------------
// Layout and flattening
// ---------------------------------------------------------------------------

TEST(ModelLoad, SmallModelRecordsItsBlocksAndCounts) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.syncType = 1;
  recipe.flags = 0x20;
  Bytes bytes = testdata::BuildModel(recipe);
  Model model;
  ASSERT_EQ(model.load(bytes), VNL_OK);
  const VNLMODEL_T& m = model.m;
  EXPECT_EQ(m.ofsSkins, 84u);
  EXPECT_EQ(m.ofsVertices, 84u + 4 + 64);
  EXPECT_EQ(m.ofsTriangles, m.ofsVertices + 4 * 12);
  EXPECT_EQ(m.ofsFrames, m.ofsTriangles + 2 * 16);
  EXPECT_EQ(m.fileSize, bytes.size());
  EXPECT_EQ(m.fileSize - m.ofsFrames, 2u * (24 + 4 * 4) + 2 * 4);
  EXPECT_EQ(m.syncType, 1u);
  EXPECT_EQ(m.flags, 0x20u);
  EXPECT_EQ(m.skinCount, 1);
  EXPECT_EQ(m.skinExtra, 0);
  EXPECT_EQ(m.vertexCount, 4);
  EXPECT_EQ(m.seamCount, 1u);
  EXPECT_EQ(m.triangleCount, 2);
  EXPECT_EQ(m.frameCount, 2);
  EXPECT_EQ(m.frameExtra, 0);
  EXPECT_EQ(Name(m, 0), "stand1");
  EXPECT_EQ(Name(m, 1), "stand2");
  ASSERT_EQ(m.skins[0].width, 8u);
  ASSERT_EQ(m.skins[0].height, 8u);
  EXPECT_EQ(Bytes(m.skins[0].pixels, m.skins[0].pixels + 64), testdata::SkinPixels(recipe));
}

TEST(ModelLoad, SkinGroupIsFlattenedAndItsIntervalsStayOutOfThePictures) {
  ModelRecipe recipe = testdata::SmallModel();
  ModelSkin group{true, {1e30f, -2.5f, 7.0f, 1e-20f}, {}};
  for (int seed : {10, 20, 30, 40}) group.pictures.push_back(testdata::SkinPixels(recipe, seed));
  recipe.skins = {group, ModelSkin{false, {}, {testdata::SkinPixels(recipe, 50)}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(model.m.skinCount, 2);
  EXPECT_EQ(model.m.skinExtra, 3);
  int seeds[] = {10, 20, 30, 40, 50};
  for (int k = 0; k < 5; ++k) {
    const VNLPICTURE_T& p = model.m.skins[k];
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(Bytes(p.pixels, p.pixels + 64), testdata::SkinPixels(recipe, seeds[k])) << "picture " << k;
  }
}

// The record keeps a group's size in 8 bits: 255 is the largest group it can tell.
TEST(ModelLoad, FrameGroupOf255FramesLoadsWithItsSize) {
  ModelRecipe recipe = testdata::SmallModel();
  ModelFrameEntry group{true, {}, {}};
  for (int f = 0; f < 255; ++f) group.frames.push_back(Frame("g" + std::to_string(f), recipe.vertices.size(), f));
  recipe.frames = {group};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(model.m.frameExtra, 254);
  EXPECT_EQ(model.m.frameGroup[0], 255);
  EXPECT_EQ(Name(model.m, 254), "g254");
}

TEST(ModelLoad, FrameGroupIsFlattenedWithItsSizeAtTheFirstFrame) {
  ModelRecipe recipe = testdata::SmallModel();
  const size_t v = recipe.vertices.size();
  recipe.frames = {
      ModelFrameEntry{true, {0.1f, 0.2f, 0.3f}, {Frame("run1", v, 1), Frame("run2", v, 2), Frame("run3", v, 3)}},
      ModelFrameEntry{false, {}, {Frame("pain", v, 4)}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  const VNLMODEL_T& m = model.m;
  EXPECT_EQ(m.frameCount, 2);
  EXPECT_EQ(m.frameExtra, 2);
  EXPECT_EQ(std::vector<uint8_t>(m.frameGroup, m.frameGroup + 4), (std::vector<uint8_t>{3, 0, 0, 0}));
  EXPECT_EQ(Name(m, 0), "run1");
  EXPECT_EQ(Name(m, 2), "run3");
  EXPECT_EQ(Name(m, 3), "pain");
  // Scale 0.5, origin (-10, -20, 0); frame 3's bytes are (4, 5, 6).
  const uint32_t stride = m.vertexCount + m.seamCount;
  const VNLVEC3_T& p = m.frameVertices[3 * stride + 2];
  EXPECT_EQ(p.x, -8.0f);
  EXPECT_EQ(p.y, -17.5f);
  EXPECT_EQ(p.z, 3.0f);
}

TEST(ModelLoad, OnSeamVertexGetsACopyThatOnlyBackFacingTrianglesUse) {
  ModelRecipe recipe =
      ModelWith({{1, 0, 0}, {0, 4, 0}, {0, 4, 8}}, {ModelTriangle{1, {0, 1, 2}}, ModelTriangle{0, {0, 1, 2}}});
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  const VNLMODEL_T& m = model.m;
  ASSERT_EQ(m.seamCount, 1u);
  EXPECT_EQ(m.seamIndex[0], 3u);
  EXPECT_EQ(m.seamIndex[1], 0u);
  EXPECT_EQ(m.skinCoords[0].x, 0.0f);
  EXPECT_EQ(m.skinCoords[3].x, 0.5f);
  EXPECT_EQ(m.skinCoords[3].y, m.skinCoords[0].y);
  // Stored reversed: the front triangle keeps vertex 0, the back one takes its copy.
  EXPECT_EQ(m.triangles[0].index[2], 0);
  EXPECT_EQ(m.triangles[1].index[2], 3);
  EXPECT_EQ(m.triangles[1].index[0], 2);
  const VNLVEC3_T& vertex = m.frameVertices[0];
  const VNLVEC3_T& copy = m.frameVertices[3];
  EXPECT_EQ(std::memcmp(&vertex, &copy, sizeof vertex), 0);
}

TEST(ModelLoad, SeamCopiesFollowTheFileOrderAndRepeatInEveryFrame) {
  ModelRecipe recipe = ModelWith({{0, 1, 0}, {5, 2, 0}, {0, 3, 0}, {1, 4, 0}}, {ModelTriangle{0, {3, 1, 0}}});
  recipe.frames = {ModelFrameEntry{false, {}, {ModelFrame{"a", {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}}}}},
                   ModelFrameEntry{false, {}, {ModelFrame{"b", {{9, 9, 9}, {8, 8, 8}, {7, 7, 7}, {6, 6, 6}}}}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  const VNLMODEL_T& m = model.m;
  EXPECT_EQ(m.seamIndex[1], 4u);
  EXPECT_EQ(m.seamIndex[3], 5u);
  EXPECT_EQ(m.triangles[0].index[0], 0);
  EXPECT_EQ(m.triangles[0].index[1], 4);
  EXPECT_EQ(m.triangles[0].index[2], 5);
  for (int f = 0; f < 2; ++f) {
    const VNLVEC3_T* frame = m.frameVertices + f * 6;
    EXPECT_EQ(frame[4].x, frame[1].x) << "frame " << f;
    EXPECT_EQ(frame[5].z, frame[3].z) << "frame " << f;
  }
  EXPECT_EQ(m.frameVertices[6 + 5].x, 6 * 0.5f - 10);
}

TEST(ModelLoad, FileTriangleIsStoredInReverseOrder) {
  ModelRecipe recipe = ModelWith({{0, 0, 0}, {0, 1, 0}, {0, 2, 0}}, {ModelTriangle{1, {0, 1, 2}}});
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(model.m.triangles[0].index[0], 2);
  EXPECT_EQ(model.m.triangles[0].index[1], 1);
  EXPECT_EQ(model.m.triangles[0].index[2], 0);
}

TEST(ModelLoad, SkinCoordinatesAreFractionsWithVMeasuredFromTheBottom) {
  ModelRecipe recipe = ModelWith({{0, 0, 0}, {0, 4, 8}, {0, 2, 3}, {0, -1, 0}}, {ModelTriangle{1, {0, 1, 2}}});
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  const VNLVEC3_T* c = model.m.skinCoords;
  EXPECT_EQ(c[0].y, 1.0f);  // t = 0
  EXPECT_EQ(c[1].y, 0.0f);  // t = height
  EXPECT_EQ(c[1].x, 0.5f);
  EXPECT_EQ(c[2].x, 0.25f);
  EXPECT_EQ(c[2].y, 0.625f);
  EXPECT_EQ(c[3].x, float(4294967295.0 / 8));  // s taken as unsigned
  EXPECT_EQ(c[0].z, 0.0f);
}

TEST(ModelLoad, PackedByteDecodesWithScaleAndOrigin) {
  ModelRecipe recipe = ModelWith({{0, 0, 0}}, {ModelTriangle{1, {0, 0, 0}}});
  recipe.scale[0] = recipe.scale[1] = recipe.scale[2] = 0.5f;
  recipe.origin[0] = recipe.origin[1] = recipe.origin[2] = -10;
  recipe.frames = {ModelFrameEntry{false, {}, {ModelFrame{"f", {{255, 0, 20}}}}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(model.m.frameVertices[0].x, 117.5f);
  EXPECT_EQ(model.m.frameVertices[0].y, -10.0f);
  EXPECT_EQ(model.m.frameVertices[0].z, 0.0f);
}

TEST(ModelLoad, PositionIsComputedInDoubleAndRoundedOnce) {
  const float scale = 0.1f, origin = -10.3f;
  const uint8_t byte = 26;
  const float once = float(double(byte) * double(scale) + double(origin));
  volatile float product = float(byte) * scale;
  volatile float twice = product + origin;
  ASSERT_NE(once, twice) << "the input must tell the two roundings apart";
  ModelRecipe recipe = ModelWith({{0, 0, 0}}, {ModelTriangle{1, {0, 0, 0}}});
  recipe.scale[1] = scale;
  recipe.origin[1] = origin;
  recipe.frames = {ModelFrameEntry{false, {}, {ModelFrame{"f", {{0, byte, 0}}}}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(model.m.frameVertices[0].y, once);
}

TEST(ModelLoad, NameFieldKeepsSixteenCharactersAndDropsBytesAfterANul) {
  ModelRecipe recipe = testdata::SmallModel();
  const size_t v = recipe.vertices.size();
  recipe.frames = {ModelFrameEntry{false, {}, {Frame("abcdefghijklmnop", v, 0)}},
                   ModelFrameEntry{false, {}, {Frame(std::string("ab\0cd", 5), v, 0)}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(std::memcmp(model.m.frameNames[0], "abcdefghijklmnop", 16), 0);
  const char expected[16] = {'a', 'b'};
  EXPECT_EQ(std::memcmp(model.m.frameNames[1], expected, 16), 0);
}

// ---------------------------------------------------------------------------
// Reloading, short and long blocks
// ---------------------------------------------------------------------------

TEST(ModelLoad, SecondModelIntoALoadedRecordGivesExactlyItsCounts) {
  ModelRecipe first = testdata::SmallModel();
  ModelSkin group{true, {}, {testdata::SkinPixels(first), testdata::SkinPixels(first, 1)}};
  first.skins.push_back(group);
  first.frames.push_back(ModelFrameEntry{true, {}, {Frame("g1", 4, 0), Frame("g2", 4, 0)}});
  ModelRecipe second = ModelWith({{0, 0, 0}, {0, 1, 1}, {0, 2, 2}}, {ModelTriangle{1, {0, 1, 2}}});
  second.skinWidth = second.skinHeight = 4;
  second.skins = {ModelSkin{false, {}, {testdata::SkinPixels(second)}}};

  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(first)), VNL_OK);
  ASSERT_EQ(model.m.skinExtra, 1);
  ASSERT_EQ(model.m.frameExtra, 1);
  ASSERT_EQ(model.load(testdata::BuildModel(second)), VNL_OK);
  const VNLMODEL_T& m = model.m;
  EXPECT_EQ(m.skinCount, 1);
  EXPECT_EQ(m.skinExtra, 0);
  EXPECT_EQ(m.frameCount, 1);
  EXPECT_EQ(m.frameExtra, 0);
  EXPECT_EQ(m.vertexCount, 3);
  EXPECT_EQ(m.seamCount, 0u);
  EXPECT_EQ(m.triangleCount, 1);
  EXPECT_EQ(m.skins[0].width, 4u);
  EXPECT_EQ(m.frameGroup[0], 0);
  EXPECT_EQ(Name(m, 0), "base");
}

TEST(ModelLoad, SameRecordLoadedTwiceGivesTheSameResult) {
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  Model model;
  ASSERT_EQ(model.load(bytes), VNL_OK);
  std::vector<VNLVEC3_T> first(model.m.frameVertices, model.m.frameVertices + 10);
  ASSERT_EQ(model.load(bytes), VNL_OK);
  EXPECT_EQ(std::memcmp(first.data(), model.m.frameVertices, 10 * sizeof(VNLVEC3_T)), 0);
  EXPECT_EQ(model.m.seamCount, 1u);
}

TEST(ModelLoad, BlockEndingEarlyLoadsWithTheMissingBytesAsZeros) {
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  bytes.resize(bytes.size() - 6);  // cuts the last packed vertex and a half
  Model model;
  ASSERT_EQ(model.load(bytes), VNL_OK);
  const VNLMODEL_T& m = model.m;
  EXPECT_EQ(m.fileSize, bytes.size());
  const VNLVEC3_T* frame = m.frameVertices + 5;
  EXPECT_EQ(frame[2].x, 2 * 0.5f - 10);  // intact
  EXPECT_EQ(frame[3].x, -10.0f);         // byte 0: the origin
  EXPECT_EQ(frame[3].y, -20.0f);
  EXPECT_EQ(frame[3].z, 0.0f);
}

TEST(ModelLoad, BlockEndingInsideTheTrianglesStillGivesEveryArray) {
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  bytes.resize(84 + 4 + 64 + 48 + 20);
  Model model;
  ASSERT_EQ(model.load(bytes), VNL_OK);
  const VNLMODEL_T& m = model.m;
  EXPECT_EQ(m.triangles[0].index[0], 2);
  EXPECT_EQ(m.triangles[1].index[0], 0);
  EXPECT_EQ(m.triangles[1].index[2], 0);
  EXPECT_EQ(m.frameVertices[9].x, -10.0f);
  EXPECT_EQ(m.frameNames[1][0], '\0');
}

TEST(ModelLoad, BytesAfterTheFramesAreIgnored) {
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  Model plain;
  ASSERT_EQ(plain.load(bytes), VNL_OK);
  const uint32_t frameEnd = uint32_t(bytes.size());
  bytes.insert(bytes.end(), 100, 0xEE);
  Model longer;
  ASSERT_EQ(longer.load(bytes), VNL_OK);
  EXPECT_EQ(longer.m.fileSize, frameEnd + 100);
  EXPECT_EQ(longer.m.ofsFrames, plain.m.ofsFrames);
  EXPECT_EQ(std::memcmp(longer.m.frameVertices, plain.m.frameVertices, 10 * sizeof(VNLVEC3_T)), 0);
}

// ---------------------------------------------------------------------------
// Bad input
// ---------------------------------------------------------------------------

class ModelLoadBadIndex : public ::testing::TestWithParam<int32_t> {};

TEST_P(ModelLoadBadIndex, FaceUsingAMissingVertexIsRefusedAndLeavesTheRecordEmpty) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.triangles[1].index[1] = GetParam();
  Model model;
  EXPECT_EQ(model.load(testdata::BuildModel(recipe)), VNL_MDL_BAD_INDEX);
  ExpectEmpty(model.m);
}

INSTANTIATE_TEST_SUITE_P(Indices, ModelLoadBadIndex, ::testing::Values(4, 5, 0x10000, 0x10002, -1));

TEST(ModelLoadBadInput, SeamCopyBeyondSixteenBitsIsRefusedOnlyWhenAFaceUsesIt) {
  std::vector<testdata::ModelSkinVertex> vertices(65535);
  vertices[0].onSeam = vertices[1].onSeam = 1;  // copies at 65535 and 65536
  ModelRecipe recipe = ModelWith(vertices, {ModelTriangle{0, {0, 1, 2}}});
  recipe.frames = {ModelFrameEntry{false, {}, {ModelFrame{"f", {}}}}};
  Model model;
  EXPECT_EQ(model.load(testdata::BuildModel(recipe)), VNL_MDL_BAD_INDEX);
  ExpectEmpty(model.m);

  recipe.triangles = {ModelTriangle{0, {0, 2, 3}}, ModelTriangle{1, {1, 2, 3}}};
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(model.m.seamCount, 2u);
  EXPECT_EQ(model.m.triangles[0].index[2], 65535);
  EXPECT_EQ(model.m.triangles[1].index[2], 1);
}

struct GroupCase {
  const char* what;
  bool skinGroup;
  int32_t size;
  int32_t code;
};

class ModelLoadGroupSize : public ::testing::TestWithParam<GroupCase> {};

TEST_P(ModelLoadGroupSize, GroupThatWouldShrinkOrWrapACountIsRefused) {
  const GroupCase& c = GetParam();
  ModelRecipe recipe = testdata::SmallModel();
  size_t at = 0;
  if (c.skinGroup) {
    recipe.skins = {ModelSkin{true, {}, {testdata::SkinPixels(recipe)}}};
    at = 84 + 4;
  } else {
    recipe.frames = {ModelFrameEntry{true, {}, {Frame("g", 4, 0)}}};
    at = 84 + 4 + 64 + 48 + 32 + 4;
  }
  Bytes bytes = testdata::BuildModel(recipe);
  PutU32(bytes, at, uint32_t(c.size));
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(testdata::SmallModel())), VNL_OK);
  EXPECT_EQ(model.load(bytes), c.code) << c.what;
  ExpectEmpty(model.m);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModelLoadGroupSize,
                         ::testing::Values(GroupCase{"empty skin group", true, 0, VNL_MDL_NO_SKIN},
                                           GroupCase{"negative skin group", true, -2, VNL_MDL_NO_SKIN},
                                           GroupCase{"skin extra past 16 bits", true, 65537, VNL_MDL_NO_SKIN},
                                           GroupCase{"empty frame group", false, 0, VNL_MDL_NO_FRAME},
                                           GroupCase{"negative frame group", false, -3, VNL_MDL_NO_FRAME},
                                           GroupCase{"frame extra past 16 bits", false, 70000, VNL_MDL_NO_FRAME},
                                           GroupCase{"frame group past 8 bits", false, 256, VNL_MDL_NO_FRAME}),
                         [](const ::testing::TestParamInfo<GroupCase>& tested) {
                           return std::to_string(tested.index);
                         });

TEST(ModelLoadBadInput, SkinExtrasSummingPastSixteenBitsAreRefused) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.skinWidth = recipe.skinHeight = 1;
  ModelSkin group{true, {}, std::vector<Bytes>(40000, Bytes{1})};
  recipe.skins = {group, group};  // extras 39999 + 39999
  Model model;
  EXPECT_EQ(model.load(testdata::BuildModel(recipe)), VNL_MDL_NO_SKIN);
  ExpectEmpty(model.m);
  // 39999 + 25536 = 65535 extras fit 16 bits, but 65537 pictures counting 4 KiB
  // each are far beyond what a file of 65 KB may cost.
  recipe.skins = {group, ModelSkin{true, {}, std::vector<Bytes>(25537, Bytes{2})}};
  EXPECT_EQ(model.load(testdata::BuildModel(recipe)), VNL_NO_MEMORY);
  ExpectEmpty(model.m);
}

// 92 bytes: the header and the start of a skin group of 65535 pictures, which
// would count 256 MiB at 4 KiB each.
TEST(ModelLoadBadInput, SkinGroupOfThousandsOfMissingPicturesIsRefused) {
  Model model;
  EXPECT_EQ(model.load(testdata::SkinGroupModel()), VNL_NO_MEMORY);
  ExpectEmpty(model.m);
}

TEST(ModelLoadBadInput, SkinLargerThanTheAllocationCapFailsBeforeAllocating) {
  Bytes bytes = testdata::BuildModel(testdata::SmallModel());
  PutU32(bytes, kSkinWidthAt, 65536);
  PutU32(bytes, kSkinHeightAt, 65536);
  Model model;
  EXPECT_EQ(model.load(bytes), VNL_NO_MEMORY);
  ExpectEmpty(model.m);
  PutU32(bytes, kSkinWidthAt, 0xFFFFFFFFu);
  PutU32(bytes, kSkinHeightAt, 0xFFFFFFFFu);
  EXPECT_EQ(model.load(bytes), VNL_NO_MEMORY);
}

TEST(ModelLoadBadInput, HeaderClaimingSomewhatMoreThanTheBlockHoldsStillLoads) {
  // 20 frames of 1000 vertices (240 KB of positions) from a 2 KB block: a file cut short.
  Model model;
  ASSERT_EQ(model.load(HostileHeader(1000, 20, 2048)), VNL_OK);
  EXPECT_EQ(model.m.frameCount, 20);
  EXPECT_EQ(model.m.frameVertices[20 * 1000 - 1].x, 1.0f);  // byte 0 x scale 1 + origin 1
}

// Runs `load` in a child process so that its peak resident size is its own.
struct ChildRun {
  int32_t code = -1;
  long growthKb = -1;
};

template <class Load>
ChildRun RunInChild(Load load) {
  int fds[2];
  ChildRun result;
  if (pipe(fds) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    ChildRun run;
    run.code = load();
    getrusage(RUSAGE_SELF, &after);
    run.growthKb = after.ru_maxrss - before.ru_maxrss;
    ssize_t written = write(fds[1], &run, sizeof run);
    _exit(written == ssize_t(sizeof run) ? 0 : 1);
  }
  close(fds[1]);
  if (pid > 0 && read(fds[0], &result, sizeof result) != ssize_t(sizeof result)) result = ChildRun{};
  close(fds[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return result;
}

struct HostileCase {
  const char* what;
  uint32_t vertexCount;
  uint32_t frameCount;
  size_t length;
};

class ModelLoadHostileHeader : public ::testing::TestWithParam<HostileCase> {};

TEST_P(ModelLoadHostileHeader, FailsWithNoMemoryBeforeGrowingTheProcess) {
  const HostileCase& c = GetParam();
  Bytes bytes = HostileHeader(c.vertexCount, c.frameCount, c.length);
  ChildRun run = RunInChild([&bytes] {
    Model model;
    return model.load(bytes);
  });
  EXPECT_EQ(run.code, VNL_NO_MEMORY) << c.what;
  ASSERT_GE(run.growthKb, 0) << c.what;
  EXPECT_LT(run.growthKb, 64 * 1024) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelLoadHostileHeader,
    ::testing::Values(HostileCase{"65535 frames of 65535 vertices in 100 bytes", 65535, 65535, 100},
                      HostileCase{"786 MB of positions from 2 KB", 65535, 1000, 2048},
                      HostileCase{"64 MB of positions from 100 bytes", 65535, 86, 100}),
    [](const ::testing::TestParamInfo<HostileCase>& tested) { return std::to_string(tested.index); });

// ---------------------------------------------------------------------------
// Frame lookup
// ---------------------------------------------------------------------------

TEST(FrameLookup, NameMatchesIgnoringCaseAndSurroundingBlanks) {
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(testdata::SmallModel())), VNL_OK);
  EXPECT_EQ(vnlFrameNumber(model.m, "  STAND2 "), 1);
  EXPECT_EQ(vnlFrameNumber(model.m, "Stand1"), 0);
  EXPECT_EQ(vnlFrameOffset(model.m, " stand2"), 5u);
}

// The converter's frame choice folds A-Z only: a locale that lowers other bytes
// must not make the library pick a frame the converter does not see.
TEST(FrameLookup, OnlyAToZFoldWhateverTheLocale) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.frames = {ModelFrameEntry{false, {}, {Frame("a", 4, 0)}},
                   ModelFrameEntry{false, {}, {Frame("RUN\xC9", 4, 0)}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  // A single-byte locale (where one is installed) lowers 0xC9 to 0xE9.
  for (const char* name : {"en_US.ISO-8859-1", "de_DE.ISO-8859-1", "fr_FR.ISO-8859-1", "C.UTF-8"})
    if (std::setlocale(LC_CTYPE, name) != nullptr) break;
  EXPECT_EQ(vnlFrameNumber(model.m, "run\xC9"), 1);
  EXPECT_EQ(vnlFrameNumber(model.m, "RUN\xE9"), 0);
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(FrameLookup, NoMatchAndPrefixGiveTheFirstFrame) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.frames = {ModelFrameEntry{false, {}, {Frame("a", 4, 0)}}, ModelFrameEntry{false, {}, {Frame("stand1", 4, 0)}},
                   ModelFrameEntry{false, {}, {Frame("abcdefghijklmnop", 4, 0)}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  EXPECT_EQ(vnlFrameNumber(model.m, "stand1"), 1);
  EXPECT_EQ(vnlFrameNumber(model.m, "stand"), 0);
  EXPECT_EQ(vnlFrameNumber(model.m, "walk"), 0);
  EXPECT_EQ(vnlFrameNumber(model.m, "ABCDEFGHIJKLMNOP"), 2);
  EXPECT_EQ(vnlFrameNumber(model.m, "abcdefghijklmnopq"), 0);
  EXPECT_EQ(vnlFrameOffset(model.m, "walk"), 0u);
}

TEST(FrameLookup, OffsetCountsTheSeamCopiesOfEveryFrameBefore) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.vertices.assign(10, {});
  recipe.vertices[3].onSeam = recipe.vertices[7].onSeam = 1;
  recipe.frames = {ModelFrameEntry{false, {}, {Frame("one", 10, 0)}},
                   ModelFrameEntry{true, {}, {Frame("two", 10, 0), Frame("three", 10, 0)}}};
  Model model;
  ASSERT_EQ(model.load(testdata::BuildModel(recipe)), VNL_OK);
  ASSERT_EQ(model.m.seamCount, 2u);
  EXPECT_EQ(vnlFrameNumber(model.m, "three"), 2);
  EXPECT_EQ(vnlFrameOffset(model.m, "three"), 24u);
}

TEST(FrameLookup, EmptyRecordGivesZero) {
  VNLMODEL_T empty{};
  EXPECT_EQ(vnlFrameNumber(empty, "stand1"), 0);
  EXPECT_EQ(vnlFrameOffset(empty, "stand1"), 0u);
}

// ---------------------------------------------------------------------------
// Kill and file form
// ---------------------------------------------------------------------------

TEST(ModelKill, EmptiesTheRecordButKeepsSizeFlagsAndSync) {
  ModelRecipe recipe = testdata::SmallModel();
  recipe.flags = 8;
  recipe.syncType = 1;
  Bytes bytes = testdata::BuildModel(recipe);
  Model model;
  ASSERT_EQ(model.load(bytes), VNL_OK);
  vnlModelKill(model.m);
  ExpectEmpty(model.m);
  EXPECT_EQ(model.m.fileSize, bytes.size());
  EXPECT_EQ(model.m.flags, 8u);
  EXPECT_EQ(model.m.syncType, 1u);
  vnlModelKill(model.m);
  ExpectEmpty(model.m);
}

TEST(ModelFileForm, LoadsFromTheDiskAndRewritesTheName) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("dog.mdl"), testdata::BuildModel(testdata::SmallModel())));
  std::string pack;
  std::string file = dir.path() + "/./dog";
  Model model;
  EXPECT_EQ(vnlModelLoad(pack, file, model.m), VNL_OK);
  EXPECT_EQ(model.m.vertexCount, 4);
  EXPECT_EQ(file.substr(file.size() - 8), "\\dog.mdl");
  EXPECT_EQ(file.find('/'), std::string::npos);
}

TEST(ModelFileForm, LoadsAPackMember) {
  testdata::TempDir dir;
  Bytes pak = testdata::BuildPack({{"progs/dog.mdl", testdata::BuildModel(testdata::SmallModel())}});
  ASSERT_TRUE(testdata::WriteFile(dir.file("game.pak"), pak));
  std::string pack = dir.file("game.pak");
  std::string file = "progs/dog";
  Model model;
  EXPECT_EQ(vnlModelLoad(pack, file, model.m), VNL_OK);
  EXPECT_EQ(file, "progs\\dog.mdl");
  EXPECT_EQ(model.m.frameCount, 2);
}

TEST(ModelFileForm, BlankNameGives3AndMissingFileGives4) {
  std::string pack, file = "   ";
  Model model;
  EXPECT_EQ(vnlModelLoad(pack, file, model.m), VNL_NO_NAME);
  EXPECT_EQ(file, "");
  testdata::TempDir dir;
  file = dir.file("missing");
  EXPECT_EQ(vnlModelLoad(pack, file, model.m), VNL_NOT_FOUND);
}

// ---------------------------------------------------------------------------
// Real models
// ---------------------------------------------------------------------------

Model* LoadCorpus(const std::string& name, Model& model) {
  std::string pack, file = testdata::CorpusFile("progs/" + name);
  if (file.empty()) return nullptr;
  return vnlModelLoad(pack, file, model.m) == VNL_OK ? &model : nullptr;
}

TEST(ModelCorpus, EveryModelLoadsAndItsFacesStayInRange) {
  SKIP_WITHOUT_CORPUS();
  int loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testdata::CorpusDir() + "/progs")) {
    if (entry.path().extension() != ".mdl") continue;
    std::string pack, file = entry.path().string();
    Model model;
    ASSERT_EQ(vnlModelLoad(pack, file, model.m), VNL_OK) << entry.path();
    const VNLMODEL_T& m = model.m;
    const uint32_t stride = m.vertexCount + m.seamCount;
    EXPECT_EQ(m.fileSize, std::filesystem::file_size(entry.path()));
    EXPECT_LE(m.ofsFrames, m.fileSize) << entry.path();
    for (uint32_t n = 0; n < m.triangleCount; ++n)
      for (uint16_t i : m.triangles[n].index) ASSERT_LT(i, stride) << entry.path();
    ++loaded;
  }
  EXPECT_GT(loaded, 10);
}

TEST(ModelCorpus, DogHeadHasItsKnownCounts) {
  SKIP_WITHOUT_CORPUS();
  Model model;
  ASSERT_NE(LoadCorpus("h_dog.mdl", model), nullptr);
  EXPECT_EQ(model.m.vertexCount, 127);
  EXPECT_EQ(model.m.seamCount, 55u);
  EXPECT_EQ(model.m.triangleCount, 247);
  EXPECT_EQ(model.m.skins[0].width, 252u);
  EXPECT_EQ(model.m.skins[0].height, 45u);
}

TEST(ModelCorpus, FlameIsOneGroupOfFiveFrames) {
  SKIP_WITHOUT_CORPUS();
  Model model;
  ASSERT_NE(LoadCorpus("flame.mdl", model), nullptr);
  EXPECT_EQ(model.m.frameCount, 1);
  EXPECT_EQ(model.m.frameExtra, 4);
  EXPECT_EQ(model.m.frameGroup[0], 5);
}

TEST(ModelCorpus, WizardHasFiftyFourPlainFrames) {
  SKIP_WITHOUT_CORPUS();
  Model model;
  ASSERT_NE(LoadCorpus("wizard.mdl", model), nullptr);
  EXPECT_EQ(model.m.frameCount, 54);
  EXPECT_EQ(model.m.frameExtra, 0);
  for (int f = 0; f < 54; ++f) EXPECT_EQ(model.m.frameGroup[f], 0) << f;
}

}  // namespace
