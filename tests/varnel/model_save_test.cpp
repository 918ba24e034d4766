#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "varnel/varnel.h"

namespace {

// A record built by hand, its arrays owned here: two triangles over four
// vertices, one 8 x 4 skin, and `frames` frames of positions.
struct Record {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(32, 7);
  VNLPICTURE_T skin{8, 4, nullptr};
  std::vector<VNLSKINVERTEX_T> skinVertices = {{0, 0, 0}, {0x20, 4, 0}, {0, 0, 3}, {0, 2, 2}};
  std::vector<VNLFACE_T> faces = {{1, {0, 1, 2}}, {0, {1, 3, 2}}};
  std::vector<std::array<char, 16>> names;
  std::vector<VNLVEC3_T> positions;
  std::vector<float> intervals;
  std::vector<uint32_t> frameEntrySize;
  VNLMODELDATA_T m{};

  explicit Record(uint32_t frames = 2) {
    for (uint32_t f = 0; f < frames; ++f) {
      std::array<char, 16> name{};
      std::snprintf(name.data(), name.size(), "frame%u", f);
      names.push_back(name);
      const float d = float(f);
      for (VNLVEC3_T p : {VNLVEC3_T{-10, -20, 0}, VNLVEC3_T{30, -20, 0}, VNLVEC3_T{-10, 40, 0}, VNLVEC3_T{5, 5, 50}})
        positions.push_back(VNLVEC3_T{p.x + d, p.y, p.z + d});
      intervals.push_back(0.1f * float(f + 1));
    }
  }
  const VNLMODELDATA_T* data() {
    skin.pixels = pixels.data();
    m.skinWidth = 8;
    m.skinHeight = 4;
    m.skinCount = 1;
    m.skins = &skin;
    m.vertexCount = uint32_t(skinVertices.size());
    m.skinVertices = skinVertices.data();
    m.triangleCount = uint32_t(faces.size());
    m.faces = faces.data();
    m.frameCount = uint32_t(names.size());
    m.frameNames = reinterpret_cast<char(*)[16]>(names.data());
    m.framePositions = positions.data();
    m.frameIntervals = intervals.data();
    if (!frameEntrySize.empty()) {
      m.frameEntryCount = uint32_t(frameEntrySize.size());
      m.frameEntrySize = frameEntrySize.data();
    }
    return &m;
  }
};

// A saved block, freed when the test ends.
struct Saved {
  uint8_t* block = nullptr;
  uint32_t length = 0;
  ~Saved() { std::free(block); }
  int32_t save(const VNLMODELDATA_T* m) { return vnlModelSave(m, &block, &length); }
  float word(size_t at) const {
    float v;
    std::memcpy(&v, block + at, 4);
    return v;
  }
};

struct Loaded {
  VNLMODEL_T m{};
  ~Loaded() { vnlModelKill(m); }
};

TEST(ModelSave, FittedLatticeSpansEachAxisIn255StepsAndLoadsBackWithinHalfAStep) {
  Record record;
  Saved saved;
  ASSERT_EQ(saved.save(record.data()), VNL_OK);
  // Scale then origin: x runs -10..31, y -20..40, z 0..51.
  EXPECT_FLOAT_EQ(saved.word(8), 41.0f / 255.0f);
  EXPECT_FLOAT_EQ(saved.word(12), 60.0f / 255.0f);
  EXPECT_FLOAT_EQ(saved.word(16), 51.0f / 255.0f);
  EXPECT_FLOAT_EQ(saved.word(20), -10.0f);
  EXPECT_FLOAT_EQ(saved.word(24), -20.0f);
  EXPECT_FLOAT_EQ(saved.word(28), 0.0f);
  Loaded loaded;
  ASSERT_EQ(vnlModelLoad(saved.block, saved.length, loaded.m), VNL_OK);
  ASSERT_EQ(loaded.m.frameCount, 2);
  ASSERT_EQ(loaded.m.vertexCount, 4);
  const float half[3] = {41.0f / 510.0f, 60.0f / 510.0f, 51.0f / 510.0f};
  const uint32_t stride = loaded.m.vertexCount + loaded.m.seamCount;
  for (uint32_t f = 0; f < 2; ++f)
    for (uint32_t i = 0; i < 4; ++i) {
      const VNLVEC3_T& got = loaded.m.frameVertices[f * stride + i];
      const VNLVEC3_T& want = record.positions[f * 4 + i];
      EXPECT_NEAR(got.x, want.x, half[0] * 1.001f);
      EXPECT_NEAR(got.y, want.y, half[1] * 1.001f);
      EXPECT_NEAR(got.z, want.z, half[2] * 1.001f);
    }
  EXPECT_STREQ(loaded.m.frameNames[1], "frame1");
}

TEST(ModelSave, KeptLatticeRoundsToTheNearestStepNotDown) {
  Record record;
  record.m.scale = VNLVEC3_T{1, 1, 1};
  record.m.origin = VNLVEC3_T{-20, -20, -20};
  record.positions[0] = VNLVEC3_T{-10.7f, -10.2f, -10.5f};  // 9.3, 9.8, 9.5 steps
  Saved saved;
  ASSERT_EQ(saved.save(record.data()), VNL_OK);
  const size_t firstVertex = 84 + 4 + 32 + 4 * 12 + 2 * 16 + 4 + 8 + 16;
  EXPECT_EQ(saved.block[firstVertex], 9);
  EXPECT_EQ(saved.block[firstVertex + 1], 10);
  EXPECT_EQ(saved.block[firstVertex + 2], 10);  // halves away from zero would be 10, to even 10
}

TEST(ModelSave, KeptLatticeRefusesAPositionOffIt) {
  Record record;
  record.m.scale = VNLVEC3_T{0.1f, 0.1f, 0.1f};
  Saved saved;
  EXPECT_EQ(saved.save(record.data()), VNL_MDL_OFF_LATTICE);
  EXPECT_EQ(saved.block, nullptr);
}

TEST(ModelSave, BoxesAndRadiusComeFromTheStoredVertices) {
  Record record(1);
  Saved saved;
  ASSERT_EQ(saved.save(record.data()), VNL_OK);
  // The farthest vertex is (5, 5, 50) or (-10, 40, 0): sqrt(2550) against sqrt(1700).
  EXPECT_NEAR(saved.word(32), std::sqrt(2550.0f), 0.2f);
  const size_t frame = 84 + 4 + 32 + 4 * 12 + 2 * 16 + 4;
  const uint8_t low[3] = {0, 0, 0}, high[3] = {255, 255, 255};
  EXPECT_EQ(std::memcmp(saved.block + frame, low, 3), 0);
  EXPECT_EQ(std::memcmp(saved.block + frame + 4, high, 3), 0);
}

TEST(ModelSave, StoredVerticesWithoutPositionsAreWrittenAsTheyAre) {
  Record record(1);
  std::vector<VNLTRIVERTEX_T> stored = {{{1, 2, 3}, 4}, {{200, 2, 3}, 5}, {{1, 250, 3}, 6}, {{9, 9, 99}, 161}};
  VNLTRIVERTEX_T boxes[2] = {{{0, 0, 0}, 0}, {{255, 255, 255}, 0}};
  record.data();
  record.m.framePositions = nullptr;
  record.m.frameVertices = stored.data();
  record.m.frameBoxes = boxes;
  record.m.scale = VNLVEC3_T{2, 2, 2};
  record.m.radius = 3.5f;
  Saved saved;
  ASSERT_EQ(saved.save(&record.m), VNL_OK);
  EXPECT_FLOAT_EQ(saved.word(8), 2.0f);
  EXPECT_FLOAT_EQ(saved.word(32), 3.5f);
  const size_t frame = 84 + 4 + 32 + 4 * 12 + 2 * 16 + 4;
  EXPECT_EQ(saved.block[frame + 4], 255);
  EXPECT_EQ(std::memcmp(saved.block + frame + 24, stored.data(), 16), 0);
  EXPECT_EQ(saved.length, frame + 24 + 16);
}

TEST(ModelSave, FrameGroupsKeepTheirSizesAndIntervals) {
  Record record(3);
  record.frameEntrySize = {0, 2};
  Saved saved;
  ASSERT_EQ(saved.save(record.data()), VNL_OK);
  Loaded loaded;
  ASSERT_EQ(vnlModelLoad(saved.block, saved.length, loaded.m), VNL_OK);
  EXPECT_EQ(loaded.m.frameCount, 2);
  EXPECT_EQ(loaded.m.frameExtra, 1);
  EXPECT_EQ(loaded.m.frameGroup[1], 2);
  const size_t group = 84 + 4 + 32 + 4 * 12 + 2 * 16 + 4 + 24 + 16 + 4;
  EXPECT_FLOAT_EQ(saved.word(group + 4 + 8), 0.2f);
  EXPECT_FLOAT_EQ(saved.word(group + 4 + 12), 0.3f);
}

struct RefusalCase {
  const char* what;
  void (*spoil)(Record&);
  int32_t code;
};

class ModelSaveRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ModelSaveRefuses, WhatTheFormatCannotHoldWithItsCodeAndNoBlock) {
  Record record(3);
  record.data();
  GetParam().spoil(record);
  Saved saved;
  EXPECT_EQ(saved.save(&record.m), GetParam().code) << GetParam().what;
  EXPECT_EQ(saved.block, nullptr);
  EXPECT_EQ(saved.length, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelSaveRefuses,
    ::testing::Values(
        RefusalCase{"no vertex", [](Record& r) { r.m.vertexCount = 0; }, VNL_MDL_NO_VERTEX},
        RefusalCase{"vertex count past 16 bits", [](Record& r) { r.m.vertexCount = 0x10000; }, VNL_MDL_COUNT},
        RefusalCase{"frame group past 255",
                    [](Record& r) {
                      static uint32_t sizes[] = {300};
                      r.m.frameEntryCount = 1;
                      r.m.frameEntrySize = sizes;
                    },
                    VNL_MDL_COUNT},
        RefusalCase{"entries not covering the frames",
                    [](Record& r) {
                      static uint32_t sizes[] = {0, 0};
                      r.m.frameEntryCount = 2;
                      r.m.frameEntrySize = sizes;
                    },
                    VNL_MDL_COUNT},
        RefusalCase{"triangle naming a missing vertex", [](Record& r) { r.faces[1].index[2] = 4; }, VNL_MDL_BAD_INDEX},
        RefusalCase{"negative index", [](Record& r) { r.faces[0].index[0] = -1; }, VNL_MDL_BAD_INDEX},
        RefusalCase{"16-byte name", [](Record& r) { std::memset(r.names[2].data(), 'a', 16); }, VNL_MDL_LONG_NAME},
        RefusalCase{"zero interval in a group",
                    [](Record& r) {
                      static uint32_t sizes[] = {3};
                      r.m.frameEntryCount = 1;
                      r.m.frameEntrySize = sizes;
                      r.intervals[1] = 0.0f;
                    },
                    VNL_MDL_BAD_INTERVAL},
        RefusalCase{"position not finite", [](Record& r) { r.positions[5].y = NAN; }, VNL_MDL_OFF_LATTICE},
        RefusalCase{"skin of another size", [](Record& r) { r.skin.width = 4; }, VNL_MDL_SKIN_WIDTH},
        RefusalCase{"no frame data", [](Record& r) { r.m.framePositions = nullptr; }, VNL_MDL_NO_FRAME}));

TEST(ModelSave, AbsentOutputGives1) {
  Record record;
  uint32_t length = 0;
  EXPECT_EQ(vnlModelSave(record.data(), nullptr, &length), VNL_NO_BLOCK);
  EXPECT_EQ(vnlModelSave(nullptr, nullptr, nullptr), VNL_NO_BLOCK);
}

TEST(ModelSave, FaceNormalsPointOutOfAFlatFloor) {
  Record record(1);
  // Every vertex on z = 0: the file's winding makes (0, 1, 2) face down.
  for (VNLVEC3_T& p : record.positions) p.z = 0;
  record.faces = {{1, {0, 1, 2}}, {1, {1, 3, 2}}};
  record.positions[3] = VNLVEC3_T{30, 40, 0};
  Saved saved;
  ASSERT_EQ(saved.save(record.data()), VNL_OK);
  const size_t vertices = 84 + 4 + 32 + 4 * 12 + 2 * 16 + 4 + 24;
  const uint32_t down = vnlNearestNormal(0, 0, -1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(saved.block[vertices + 4 * i + 3], down) << "vertex " << i;
}

// ---- palette mapping ----

struct Palette {
  std::vector<uint32_t> colors = std::vector<uint32_t>(256, 0xFF000000u);
  VNLPALETTE_T p{};
  Palette() {
    for (uint32_t i = 0; i < 256; ++i) colors[i] = 0xFF000000u | (i << 16);  // red ramp
    colors[5] = colors[9];                                                   // a repeated colour
    colors[240] = 0xFF00FF00u;                                               // a fullbright green
    p.colors = colors.data();
  }
};

TEST(PaletteMap, ExactThenNearestLitTiesLowTransparentKeyed) {
  Palette palette;
  const uint32_t colors[] = {0xFF090000u, 0xFF00FF00u, 0xFF00F000u, 0xFFFF0000u, 0x40123456u, 0xFF030000u};
  uint8_t indices[6] = {};
  ASSERT_EQ(vnlPaletteMap(&palette.p, colors, 6, 17, indices), VNL_OK);
  EXPECT_EQ(indices[0], 5);    // the lowest of two equal entries
  EXPECT_EQ(indices[1], 240);  // a fullbright only when exact
  EXPECT_EQ(indices[2], 0);    // near the fullbright green but not it: the nearest lit entry
  EXPECT_EQ(indices[3], 255);  // exact red 255
  EXPECT_EQ(indices[4], 17);   // alpha below 128
  EXPECT_EQ(indices[5], 3);
}

TEST(PaletteMap, NearestAmongLitEntriesAndNoKeyWithoutTransparent) {
  Palette palette;
  const uint32_t colors[] = {0x00E80100u};  // near red 232, a fullbright entry
  uint8_t index = 0;
  ASSERT_EQ(vnlPaletteMap(&palette.p, colors, 1, -1, &index), VNL_OK);
  EXPECT_EQ(index, 223);
}

TEST(PaletteMap, MissingArgumentsGive1) {
  Palette palette;
  uint32_t colour = 0;
  uint8_t index = 0;
  VNLPALETTE_T empty{};
  EXPECT_EQ(vnlPaletteMap(nullptr, &colour, 1, -1, &index), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPaletteMap(&empty, &colour, 1, -1, &index), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPaletteMap(&palette.p, nullptr, 1, -1, &index), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPaletteMap(&palette.p, &colour, 1, -1, nullptr), VNL_NO_BLOCK);
}

}  // namespace
