#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "builders.h"
#include "bytes.h"
#include "file_io.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;
using testdata::ByteWriter;

int32_t LoadPalette(const Bytes& bytes, VNLPALETTE_T& palette) {
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  return vnlPaletteLoad(block, static_cast<uint32_t>(bytes.size()), palette);
}

int32_t LoadColorMap(const Bytes& bytes, VNLPALETTE_T& palette) {
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  return vnlColorMapLoad(block, static_cast<uint32_t>(bytes.size()), palette);
}

int32_t LoadPicture(const Bytes& bytes, VNLPICTURE_T& picture) {
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  return vnlPictureLoad(block, static_cast<uint32_t>(bytes.size()), picture);
}

uint32_t Packed(const testdata::Rgb& c) { return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// Owns what the library hands back, so that failing expectations leak nothing.
struct Loaded {
  VNLPALETTE_T palette{};
  VNLPICTURE_T picture{};
  ~Loaded() {
    vnlPaletteKill(palette);
    vnlPictureKill(picture);
  }
};

struct Rgb {
  uint32_t* pixels;
  explicit Rgb(uint32_t* p) : pixels(p) {}
  ~Rgb() { std::free(pixels); }
};

// ---- palette ----

TEST(PaletteLoad, ColoursArePackedAlphaRedGreenBlue) {
  Loaded l;
  Bytes lump = testdata::BuildPalette({{1, 2, 3}, {255, 0, 128}});
  ASSERT_EQ(LoadPalette(lump, l.palette), 0);
  ASSERT_NE(l.palette.colors, nullptr);
  EXPECT_EQ(l.palette.colors[0], 0xFF010203u);
  uint8_t bytes[4];
  std::memcpy(bytes, &l.palette.colors[0], 4);
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[3], 255);
  EXPECT_EQ(l.palette.colors[1], 0xFFFF0080u);
  EXPECT_EQ(l.palette.colors[255], 0xFF000000u);
  EXPECT_EQ(l.palette.brightCount, 0);
  EXPECT_EQ(l.palette.shadingLevels, 0u);
  EXPECT_EQ(l.palette.colorMap, nullptr);
}

TEST(PaletteLoad, EveryEntryIsRead) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(l.palette.colors[i], Packed(testdata::DistinctColour(i))) << i;
}

TEST(PaletteLoad, WrongLengthGives30AndEmptiesTheRecord) {
  for (size_t length : {767u, 769u, 1u, 16385u}) {
    Loaded l;
    ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
    ASSERT_EQ(LoadColorMap(testdata::BuildColormap(2, 9), l.palette), 0);
    Bytes lump(length, 7);
    EXPECT_EQ(LoadPalette(lump, l.palette), VNL_NOT_PALETTE) << length;
    EXPECT_EQ(l.palette.colors, nullptr) << length;
    EXPECT_EQ(l.palette.colorMap, nullptr) << length;
    EXPECT_EQ(l.palette.shadingLevels, 0u) << length;
    EXPECT_EQ(l.palette.brightCount, 0) << length;
  }
}

TEST(PaletteLoad, AbsentBlockGives1AndLeavesTheRecordAlone) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  uint32_t* before = l.palette.colors;
  uint8_t* none = nullptr;
  EXPECT_EQ(vnlPaletteLoad(none, 768, l.palette), VNL_NO_BLOCK);
  Bytes lump = testdata::DistinctPalette();
  uint8_t* block = lump.data();
  EXPECT_EQ(vnlPaletteLoad(block, 0, l.palette), VNL_NO_BLOCK);
  EXPECT_EQ(l.palette.colors, before);
}

TEST(PaletteLoad, ReloadDropsTheColormap) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(testdata::BuildColormap(64, 9), l.palette), 0);
  ASSERT_EQ(LoadPalette(testdata::BuildPalette({{9, 9, 9}}), l.palette), 0);
  EXPECT_EQ(l.palette.colorMap, nullptr);
  EXPECT_EQ(l.palette.shadingLevels, 0u);
  EXPECT_EQ(l.palette.brightCount, 0);
  EXPECT_EQ(l.palette.colors[0], 0xFF090909u);
  // The record is back to "palette loaded": a colormap attaches again.
  EXPECT_EQ(LoadColorMap(testdata::BuildColormap(32, 1), l.palette), 0);
}

// ---- colormap ----

TEST(ColorMapLoad, ChecksRunInOrderAndNeverChangeTheRecord) {
  Loaded l;
  Bytes full = testdata::BuildColormap(64, 200);
  EXPECT_EQ(LoadColorMap(full, l.palette), VNL_NO_PALETTE);             // fresh record
  EXPECT_EQ(LoadColorMap(Bytes(16384, 0), l.palette), VNL_NO_PALETTE);  // 33 before 31

  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  EXPECT_EQ(LoadColorMap(Bytes(16384, 0), l.palette), VNL_NOT_COLORMAP);
  EXPECT_EQ(l.palette.colorMap, nullptr);
  EXPECT_EQ(l.palette.shadingLevels, 0u);

  ASSERT_EQ(LoadColorMap(full, l.palette), 0);
  uint8_t* attached = l.palette.colorMap;
  EXPECT_EQ(LoadColorMap(testdata::BuildColormap(32, 1), l.palette), VNL_COLORMAP_LOADED);
  EXPECT_EQ(LoadColorMap(Bytes(16384, 0), l.palette), VNL_NOT_COLORMAP);  // 31 before 34
  uint8_t* none = nullptr;
  EXPECT_EQ(vnlColorMapLoad(none, 16385, l.palette), VNL_NO_BLOCK);
  EXPECT_EQ(l.palette.colorMap, attached);
  EXPECT_EQ(l.palette.shadingLevels, 64u);
  EXPECT_EQ(l.palette.brightCount, 200);
}

TEST(ColorMapLoad, RowsAndBrightCountComeFromTheLength) {
  struct Case {
    uint32_t rows;
    uint8_t bright;
  };
  for (const Case& c : {Case{64, 32}, Case{32, 7}, Case{1, 255}, Case{3, 0}}) {
    Loaded l;
    ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
    Bytes lump = testdata::BuildColormap(c.rows, c.bright);
    ASSERT_EQ(LoadColorMap(lump, l.palette), 0) << c.rows;
    EXPECT_EQ(l.palette.shadingLevels, c.rows);
    EXPECT_EQ(l.palette.brightCount, c.bright);
    ASSERT_NE(l.palette.colorMap, nullptr);
    EXPECT_EQ(std::memcmp(l.palette.colorMap, lump.data(), size_t(c.rows) * 256), 0) << c.rows;
  }
}

TEST(ColorMapLoad, OneByteAttachesZeroRowsAndConversionUsesThePlainPalette) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(Bytes{42}, l.palette), 0);
  EXPECT_EQ(l.palette.shadingLevels, 0u);
  EXPECT_EQ(l.palette.brightCount, 42);
  // Attached, though empty: a second colormap is refused.
  EXPECT_NE(l.palette.colorMap, nullptr);
  EXPECT_EQ(LoadColorMap(testdata::BuildColormap(2, 0), l.palette), VNL_COLORMAP_LOADED);

  ASSERT_EQ(LoadPicture(testdata::BuildLump(2, 1, {5, 250}), l.picture), 0);
  for (int32_t start : {0, 1, 100}) {
    int32_t level = start;
    Rgb rgb(vnlPictureToRGB(l.picture, l.palette, level));
    ASSERT_NE(rgb.pixels, nullptr);
    EXPECT_EQ(rgb.pixels[0], l.palette.colors[5]) << start;
    EXPECT_EQ(rgb.pixels[1], l.palette.colors[250]) << start;
    EXPECT_EQ(level, start);
  }
}

TEST(PaletteKill, EmptiesEveryStateAndIsHarmlessTwice) {
  Loaded l;
  vnlPaletteKill(l.palette);
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(testdata::BuildColormap(64, 3), l.palette), 0);
  vnlPaletteKill(l.palette);
  EXPECT_EQ(l.palette.colors, nullptr);
  EXPECT_EQ(l.palette.colorMap, nullptr);
  EXPECT_EQ(l.palette.shadingLevels, 0u);
  EXPECT_EQ(l.palette.brightCount, 0);
  vnlPaletteKill(l.palette);
  EXPECT_EQ(LoadColorMap(testdata::BuildColormap(64, 3), l.palette), VNL_NO_PALETTE);
}

// ---- picture ----

TEST(PictureLoad, StoresSizeAndIndicesInStoredOrder) {
  Loaded l;
  ASSERT_EQ(LoadPicture(testdata::BuildLump(3, 2, {1, 2, 3, 4, 5, 6}), l.picture), 0);
  EXPECT_EQ(l.picture.width, 3u);
  EXPECT_EQ(l.picture.height, 2u);
  ASSERT_NE(l.picture.pixels, nullptr);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(l.picture.pixels[i], i + 1);
}

TEST(PictureLoad, SizeMustMatchTheLengthExactly) {
  struct Case {
    const char* what;
    Bytes lump;
  };
  const Case cases[] = {
      {"one pixel short", testdata::BuildLump(2, 2, {1, 2, 3})},
      {"one pixel over", testdata::BuildLump(2, 2, {1, 2, 3, 4, 5})},
      {"65536 x 65536 in 8 bytes", ByteWriter().u32(65536).u32(65536).take()},
      {"max x max in 8 bytes", ByteWriter().u32(UINT32_MAX).u32(UINT32_MAX).take()},
      {"4 bytes", ByteWriter().u32(0).take()},
      {"7 bytes", Bytes(7, 0)},
  };
  for (const Case& c : cases) {
    Loaded l;
    ASSERT_EQ(LoadPicture(testdata::BuildLump(1, 1, {9}), l.picture), 0);
    EXPECT_EQ(LoadPicture(c.lump, l.picture), VNL_NOT_PICTURE) << c.what;
    EXPECT_EQ(l.picture.width, 0u) << c.what;
    EXPECT_EQ(l.picture.height, 0u) << c.what;
    EXPECT_EQ(l.picture.pixels, nullptr) << c.what;
  }
}

TEST(PictureLoad, ZeroByFiveLoadsWithNoPixelsAndConvertsToNull) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadPicture(ByteWriter().u32(0).u32(5).take(), l.picture), 0);
  EXPECT_EQ(l.picture.width, 0u);
  EXPECT_EQ(l.picture.height, 5u);
  EXPECT_EQ(l.picture.pixels, nullptr);
  int32_t level = -1;
  EXPECT_EQ(vnlPictureToRGB(l.picture, l.palette, level), nullptr);
}

TEST(PictureLoad, AbsentBlockGives1AndLeavesTheRecordAlone) {
  Loaded l;
  ASSERT_EQ(LoadPicture(testdata::BuildLump(1, 1, {9}), l.picture), 0);
  uint8_t* none = nullptr;
  EXPECT_EQ(vnlPictureLoad(none, 9, l.picture), VNL_NO_BLOCK);
  EXPECT_EQ(l.picture.width, 1u);
  ASSERT_NE(l.picture.pixels, nullptr);
  EXPECT_EQ(l.picture.pixels[0], 9);
}

TEST(PictureKill, EmptiesAndIsHarmlessTwice) {
  Loaded l;
  ASSERT_EQ(LoadPicture(testdata::BuildLump(2, 2, {1, 2, 3, 4}), l.picture), 0);
  vnlPictureKill(l.picture);
  vnlPictureKill(l.picture);
  EXPECT_EQ(l.picture.width, 0u);
  EXPECT_EQ(l.picture.height, 0u);
  EXPECT_EQ(l.picture.pixels, nullptr);
}

// ---- conversion ----

TEST(PictureToRGB, NegativeLevelUsesThePlainPaletteInStoredOrder) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(testdata::BuildColormap(64, 0), l.palette), 0);
  ASSERT_EQ(LoadPicture(testdata::BuildLump(2, 2, {0, 1, 2, 3}), l.picture), 0);
  int32_t level = -1;
  Rgb rgb(vnlPictureToRGB(l.picture, l.palette, level));
  ASSERT_NE(rgb.pixels, nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rgb.pixels[i], Packed(testdata::DistinctColour(i))) << i;
  EXPECT_EQ(level, -1);
}

TEST(PictureToRGB, WithoutColormapAnyLevelUsesThePlainPalette) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadPicture(testdata::BuildLump(2, 1, {7, 200}), l.picture), 0);
  for (int32_t start : {-5, 0, 10, 100000}) {
    int32_t level = start;
    Rgb rgb(vnlPictureToRGB(l.picture, l.palette, level));
    ASSERT_NE(rgb.pixels, nullptr);
    EXPECT_EQ(rgb.pixels[0], l.palette.colors[7]);
    EXPECT_EQ(rgb.pixels[1], l.palette.colors[200]);
    EXPECT_EQ(level, start);
  }
}

TEST(PictureToRGB, LevelPicksAClampedRowAndBecomesItsOffset) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(testdata::BuildColormap(64, 0), l.palette), 0);  // row r maps j to j + r
  ASSERT_EQ(LoadPicture(testdata::BuildLump(2, 1, {0, 250}), l.picture), 0);
  struct Case {
    int32_t level;
    int32_t row;
  };
  // 2560 is what a first call at level 10 leaves behind: reused, it means row 63.
  for (const Case& c :
       {Case{0, 0}, Case{10, 10}, Case{63, 63}, Case{64, 63}, Case{100, 63}, Case{2560, 63}, Case{INT32_MAX, 63}}) {
    int32_t level = c.level;
    Rgb rgb(vnlPictureToRGB(l.picture, l.palette, level));
    ASSERT_NE(rgb.pixels, nullptr);
    EXPECT_EQ(rgb.pixels[0], l.palette.colors[c.row & 255]) << c.level;
    EXPECT_EQ(rgb.pixels[1], l.palette.colors[(250 + c.row) & 255]) << c.level;
    EXPECT_EQ(level, c.row * 256) << c.level;
  }
}

TEST(PictureToRGB, ReusedLevelVariableMovesToTheLastRow) {
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(testdata::BuildColormap(64, 0), l.palette), 0);
  ASSERT_EQ(LoadPicture(testdata::BuildLump(1, 1, {1}), l.picture), 0);
  int32_t level = 10;
  Rgb first(vnlPictureToRGB(l.picture, l.palette, level));
  ASSERT_NE(first.pixels, nullptr);
  EXPECT_EQ(first.pixels[0], l.palette.colors[11]);
  EXPECT_EQ(level, 2560);
  Rgb second(vnlPictureToRGB(l.picture, l.palette, level));
  ASSERT_NE(second.pixels, nullptr);
  EXPECT_EQ(second.pixels[0], l.palette.colors[64]);
  EXPECT_EQ(level, 16128);
}

TEST(PictureToRGB, NothingToConvertGivesNullAndLeavesTheLevel) {
  Loaded l;
  ASSERT_EQ(LoadPicture(testdata::BuildLump(1, 1, {1}), l.picture), 0);
  int32_t level = 5;
  EXPECT_EQ(vnlPictureToRGB(l.picture, l.palette, level), nullptr);  // no palette
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  ASSERT_EQ(LoadColorMap(testdata::BuildColormap(64, 0), l.palette), 0);
  VNLPICTURE_T empty{};
  EXPECT_EQ(vnlPictureToRGB(empty, l.palette, level), nullptr);
  VNLPICTURE_T noPixels{4, 4, nullptr};
  EXPECT_EQ(vnlPictureToRGB(noPixels, l.palette, level), nullptr);
  EXPECT_EQ(level, 5);
}

// ---- file forms ----

TEST(PaletteFileForm, BlankNameGives3AndEmptiesTheName) {
  Loaded l;
  std::string pack, name = "   ";
  EXPECT_EQ(vnlPaletteLoad(pack, name, l.palette), VNL_NO_NAME);
  EXPECT_EQ(name, "");
  name = "   ";
  EXPECT_EQ(vnlColorMapLoad(pack, name, l.palette), VNL_NO_NAME);
  EXPECT_EQ(name, "");
  name = "   ";
  EXPECT_EQ(vnlPictureLoad(pack, name, l.picture), VNL_NO_NAME);
  EXPECT_EQ(name, "");
}

TEST(PaletteFileForm, LmpIsForcedAndTheLumpsLoadFromTheDisk) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("palette.lmp"), testdata::DistinctPalette()));
  ASSERT_TRUE(testdata::WriteFile(dir.file("colormap.lmp"), testdata::BuildColormap(32, 5)));
  ASSERT_TRUE(testdata::WriteFile(dir.file("pic.lmp"), testdata::BuildLump(1, 2, {4, 6})));
  Loaded l;
  std::string pack, name = dir.path() + "/palette";
  ASSERT_EQ(vnlPaletteLoad(pack, name, l.palette), 0);
  EXPECT_EQ(vnl::HostPath(name), dir.file("palette.lmp"));
  EXPECT_EQ(name.front(), '\\');
  name = dir.path() + "/./colormap";
  ASSERT_EQ(vnlColorMapLoad(pack, name, l.palette), 0);
  EXPECT_EQ(l.palette.shadingLevels, 32u);
  name = dir.path() + "/pic";
  ASSERT_EQ(vnlPictureLoad(pack, name, l.picture), 0);
  EXPECT_EQ(l.picture.height, 2u);
  EXPECT_EQ(l.picture.pixels[1], 6);
}

TEST(PaletteFileForm, FetchFailureLeavesTheRecordUntouched) {
  testdata::TempDir dir;
  Loaded l;
  ASSERT_EQ(LoadPalette(testdata::DistinctPalette(), l.palette), 0);
  uint32_t* before = l.palette.colors;
  std::string pack, name = dir.file("missing");
  EXPECT_EQ(vnlPaletteLoad(pack, name, l.palette), VNL_NOT_FOUND);
  EXPECT_EQ(l.palette.colors, before);
}

TEST(PaletteFileForm, PackMembersLoadByCleanedName) {
  testdata::TempDir dir;
  ASSERT_TRUE(
      testdata::WriteFile(dir.file("gfx.pak"), testdata::BuildPack({{"gfx/palette.lmp", testdata::DistinctPalette()},
                                                                    {"gfx/pic.lmp", testdata::BuildLump(1, 1, {3})}})));
  Loaded l;
  std::string pack = dir.file("gfx"), name = "GFX/palette";
  EXPECT_EQ(vnlPaletteLoad(pack, name, l.palette), VNL_NOT_FOUND);  // member names are case-sensitive
  name = "x/../gfx/palette";
  ASSERT_EQ(vnlPaletteLoad(pack, name, l.palette), 0);
  EXPECT_EQ(name, "gfx\\palette.lmp");
  EXPECT_EQ(vnl::HostPath(pack), dir.file("gfx.pak"));
  name = "gfx\\pic";
  ASSERT_EQ(vnlPictureLoad(pack, name, l.picture), 0);
  EXPECT_EQ(l.picture.pixels[0], 3);
}

// ---- real data ----

TEST(PaletteCorpus, ConbackConvertsThroughThePalette) {
  SKIP_WITHOUT_CORPUS();
  Loaded l;
  std::string pack, name = testdata::CorpusFile("gfx/palette.lmp");
  ASSERT_EQ(vnlPaletteLoad(pack, name, l.palette), 0);
  name = testdata::CorpusFile("gfx/conback.lmp");
  ASSERT_EQ(vnlPictureLoad(pack, name, l.picture), 0);
  EXPECT_EQ(l.picture.width, 320u);
  EXPECT_EQ(l.picture.height, 200u);
  int32_t level = -1;
  Rgb rgb(vnlPictureToRGB(l.picture, l.palette, level));
  ASSERT_NE(rgb.pixels, nullptr);
  EXPECT_EQ(rgb.pixels[0], l.palette.colors[l.picture.pixels[0]]);
  uint32_t last = 320 * 200 - 1;
  EXPECT_EQ(rgb.pixels[last], l.palette.colors[l.picture.pixels[last]]);

  Bytes raw = testdata::ReadFile(testdata::CorpusFile("gfx/palette.lmp"));
  ASSERT_EQ(raw.size(), 768u);
  uint8_t index = l.picture.pixels[0];
  EXPECT_EQ(rgb.pixels[0], Packed({raw[3 * index], raw[3 * index + 1], raw[3 * index + 2]}));
}

TEST(PaletteCorpus, ColormapHas64RowsAndShadesThroughThem) {
  SKIP_WITHOUT_CORPUS();
  Loaded l;
  std::string pack, name = testdata::CorpusFile("gfx/palette.lmp");
  ASSERT_EQ(vnlPaletteLoad(pack, name, l.palette), 0);
  name = testdata::CorpusFile("gfx/colormap.lmp");
  ASSERT_EQ(vnlColorMapLoad(pack, name, l.palette), 0);
  EXPECT_EQ(l.palette.shadingLevels, 64u);
  Bytes raw = testdata::ReadFile(testdata::CorpusFile("gfx/colormap.lmp"));
  EXPECT_EQ(l.palette.brightCount, raw.back());
}

}  // namespace

namespace {

// A leading separator makes a disk path absolute, but inside a pack there is no
// root: "/gfx/palette" and "gfx/palette" name the same member, whichever way the
// pack stores it.
TEST(PaletteFileForm, LeadingSeparatorDoesNotCountInMemberNames) {
  testdata::TempDir dir;
  ASSERT_TRUE(
      testdata::WriteFile(dir.file("gfx.pak"), testdata::BuildPack({{"/gfx/rooted.lmp", testdata::DistinctPalette()},
                                                                    {"gfx/plain.lmp", testdata::DistinctPalette()}})));
  for (const char* request : {"gfx/rooted", "/gfx/rooted", "gfx/plain", "/gfx/plain", "\\gfx\\plain"}) {
    Loaded l;
    std::string pack = dir.file("gfx"), name = request;
    EXPECT_EQ(vnlPaletteLoad(pack, name, l.palette), 0) << request;
  }
}

}  // namespace
