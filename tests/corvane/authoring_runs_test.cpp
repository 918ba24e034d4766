// Whole runs of the converter that make game data: packs from folders, and
// picture lumps, sprites and WAD2 archives from images. Each round trip reads
// the result back through the library and compares it with where it came from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using corvane_test::RunCorvane;
using corvane_test::RunResult;
using testdata::Bytes;

namespace fs = std::filesystem;

// Every member of a pack by name, with its bytes.
std::map<std::string, Bytes> PackMembers(const std::string& path) {
  std::map<std::string, Bytes> members;
  std::string pack = path;
  VNLPACKINFO_T info{};
  if (vnlPackInfoRead(pack, info) != VNL_OK) return members;
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    uint8_t* block = nullptr;
    uint32_t length = 0;
    if (vnlPackEntryLoad(pack.c_str(), &info.entries[i], &block, &length) == VNL_OK)
      members[info.entries[i].name] = Bytes(block, block + length);
    std::free(block);
  }
  vnlPackInfoKill(info);
  return members;
}

struct Palette {
  VNLPALETTE_T record{};
  explicit Palette(const std::string& path) {
    std::string pack, file = path;
    vnlPaletteLoad(pack, file, record);
  }
  ~Palette() { vnlPaletteKill(record); }
  // True when no other entry has the colour of `index`.
  bool unique(uint8_t index) const {
    for (int i = 0; i < 256; ++i)
      if (i != index && (record.colors[i] & 0xFFFFFF) == (record.colors[index] & 0xFFFFFF)) return false;
    return true;
  }
};

// Two pictures show the same: same size, same colour at every pixel, the same index
// wherever the palette has that colour once. Returns the first difference, or "".
std::string Difference(const Palette& palette, const VNLPICTURE_T& a, const VNLPICTURE_T& b) {
  if (a.width != b.width || a.height != b.height)
    return std::to_string(a.width) + "x" + std::to_string(a.height) + " against " + std::to_string(b.width) + "x" +
           std::to_string(b.height);
  for (size_t i = 0; i < size_t(a.width) * a.height; ++i) {
    const uint8_t p = a.pixels[i], q = b.pixels[i];
    if ((palette.record.colors[p] & 0xFFFFFF) != (palette.record.colors[q] & 0xFFFFFF))
      return "pixel " + std::to_string(i) + ": colour of " + std::to_string(p) + " became " + std::to_string(q);
    if (palette.unique(p) && p != q)
      return "pixel " + std::to_string(i) + ": index " + std::to_string(p) + " became " + std::to_string(q);
  }
  return "";
}

VNLPICTURE_T LoadLump(const std::string& path) {
  VNLPICTURE_T picture{};
  std::string pack, file = path;
  vnlPictureLoad(pack, file, picture);
  return picture;
}

// ---- packs ----

TEST(PackCreateRuns, APackMadeFromAnExtractedPackHoldsTheSameMembers) {
  SKIP_WITHOUT_CORPUS();
  testdata::TempDir dir;
  fs::create_directories(dir.file("mod"));
  RunResult extract = RunCorvane(dir.file("mod"), {"-pakextract", testdata::CorpusFile("pak0.pak") + "::**"});
  ASSERT_EQ(extract.code, 0) << extract.out;

  RunResult made = RunCorvane(dir.path(), {"-pakcreate", "mod/**", "-dst", "made.pak"});
  ASSERT_EQ(made.code, 0) << made.out;
  const std::map<std::string, Bytes> original = PackMembers(testdata::CorpusFile("pak0.pak"));
  const std::map<std::string, Bytes> copy = PackMembers(dir.file("made.pak"));
  EXPECT_GT(original.size(), 10u);
  EXPECT_EQ(copy, original);
  // Members go in name order.
  std::string pack = dir.file("made.pak");
  VNLPACKINFO_T info{};
  ASSERT_EQ(vnlPackInfoRead(pack, info), VNL_OK);
  for (uint32_t i = 1; i < info.entryCount; ++i) EXPECT_LT(std::string(info.entries[i - 1].name), info.entries[i].name);
  vnlPackInfoKill(info);
}

TEST(PackCreateRuns, MembersAreNamedBelowThePatternsFixedFolder) {
  testdata::TempDir dir;
  fs::create_directories(dir.file("a/b/progs"));
  ASSERT_TRUE(testdata::WriteFile(dir.file("a/b/progs/x.mdl"), {1, 2}));
  ASSERT_TRUE(testdata::WriteFile(dir.file("a/b/empty.cfg"), {}));
  ASSERT_TRUE(testdata::WriteFile(dir.file("a/b/skip.txt"), {3}));
  RunResult run = RunCorvane(dir.path(), {"-pakcreate", "a/b/**.?d?", "-dst", "a/b/out.pak"});
  ASSERT_EQ(run.code, 0) << run.out;
  const std::map<std::string, Bytes> expected = {{"progs\\x.mdl", {1, 2}}};
  EXPECT_EQ(PackMembers(dir.file("a/b/out.pak")), expected);
  // Made again over the same folder, the older pack is not taken in.
  run = RunCorvane(dir.path(), {"-pakcreate", "a/b/**", "-dst", "a/b/out.pak", "-replace"});
  ASSERT_EQ(run.code, 0) << run.out;
  const std::map<std::string, Bytes> all = {{"progs\\x.mdl", {1, 2}}, {"empty.cfg", {}}, {"skip.txt", {3}}};
  EXPECT_EQ(PackMembers(dir.file("a/b/out.pak")), all);
}

// ---- pictures and sprites through images ----

TEST(ImageImportRuns, EveryCorpusLumpAndSpriteComesBackFromPng) {
  SKIP_WITHOUT_CORPUS();
  const std::string palettePath = testdata::CorpusFile("gfx/palette.lmp");
  const Palette palette(palettePath);
  ASSERT_NE(palette.record.colors, nullptr);
  testdata::TempDir dir;
  int lumps = 0, frames = 0;
  for (const auto& entry : fs::directory_iterator(testdata::CorpusDir() + "/gfx")) {
    VNLPICTURE_T original = LoadLump(entry.path().string());
    if (original.pixels == nullptr) continue;  // the palette and the colormap are no pictures
    const std::string stem = entry.path().stem().string();
    RunResult out = RunCorvane(dir.path(), {"-lump", entry.path().string(), "-pal", palettePath, "-outimg", "png"});
    ASSERT_EQ(out.code, 0) << out.out;
    RunResult back = RunCorvane(dir.path(), {"-image", stem + ".png", "-pal", palettePath, "-dst", stem + ".lmp"});
    ASSERT_EQ(back.code, 0) << back.out;
    VNLPICTURE_T made = LoadLump(dir.file(stem + ".lmp"));
    EXPECT_EQ(Difference(palette, original, made), "") << stem;
    vnlPictureKill(original);
    vnlPictureKill(made);
    ++lumps;
  }
  for (const char* name : {"s_bubbles", "s_explod"}) {
    const std::string path = testdata::CorpusFile(std::string("progs/") + name + ".spr");
    RunResult out = RunCorvane(dir.path(), {"-sprite", path, "-pal", palettePath, "-outimg", "png"});
    ASSERT_EQ(out.code, 0) << out.out;
    RunResult back = RunCorvane(
        dir.path(), {"-image", std::string(name) + "_?.png", "-pal", palettePath, "-dst", "back.spr", "-replace"});
    ASSERT_EQ(back.code, 0) << back.out;
    VNLSPRITE_T original{}, made{};
    std::string pack, file = path, madeFile = dir.file("back.spr");
    ASSERT_EQ(vnlSpriteLoad(pack, file, original), VNL_OK);
    ASSERT_EQ(vnlSpriteLoad(pack, madeFile, made), VNL_OK);
    ASSERT_EQ(made.sheetCount, original.sheetCount) << name << " (fewer than 10 frames, so name order is frame order)";
    for (uint32_t i = 0; i < original.sheetCount; ++i, ++frames) {
      EXPECT_EQ(Difference(palette, original.frames[i], made.frames[i]), "") << name << " frame " << i;
      EXPECT_EQ(made.originX[i], -int32_t(made.frames[i].width / 2));
    }
    vnlSpriteKill(original);
    vnlSpriteKill(made);
  }
  EXPECT_GE(lumps, 4);
  EXPECT_GE(frames, 2);
  std::printf("round trips: %d picture lumps, %d sprite frames\n", lumps, frames);
}

TEST(ImageImportRuns, AWadMadeFromTheCorpusWadsPicturesReadsBackTheSame) {
  SKIP_WITHOUT_CORPUS();
  const std::string palettePath = testdata::CorpusFile("gfx/palette.lmp");
  const Palette palette(palettePath);
  testdata::TempDir dir;
  fs::create_directories(dir.file("png"));
  const std::string wadPath = testdata::CorpusFile("gfx.wad");
  RunResult out = RunCorvane(dir.file("png"), {"-lump", wadPath + "::*", "-pal", palettePath, "-outimg", "png"});
  ASSERT_EQ(out.code, 0) << out.out;
  RunResult made = RunCorvane(dir.path(), {"-image", "png/*.png", "-pal", palettePath, "-wadpics", "-dst", "made.wad"});
  ASSERT_EQ(made.code, 0) << made.out;

  const Bytes original = testdata::ReadFile(wadPath), copy = testdata::ReadFile(dir.file("made.wad"));
  VNLWADINFO_T info{};
  ASSERT_EQ(VNLWADGETINFO(const_cast<uint8_t*>(original.data()), uint32_t(original.size()), info), VNL_OK);
  int pictures = 0;
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    if (info.entries[i].type != VNL_LUMP_PICTURE) continue;
    uint8_t* lump = nullptr;
    uint32_t length = 0;
    uint8_t type = 0;
    ASSERT_EQ(vnlWadLumpLoad(copy.data(), uint32_t(copy.size()), info.entries[i].name, &lump, &length, &type), VNL_OK)
        << info.entries[i].name;
    EXPECT_EQ(type, VNL_LUMP_PICTURE);
    VNLPICTURE_T a{}, b{};
    ASSERT_EQ(vnlPictureLoad(const_cast<uint8_t*>(original.data()) + info.entries[i].offset, info.entries[i].length, a),
              VNL_OK);
    ASSERT_EQ(vnlPictureLoad(lump, length, b), VNL_OK);
    EXPECT_EQ(Difference(palette, a, b), "") << info.entries[i].name;
    vnlPictureKill(a);
    vnlPictureKill(b);
    std::free(lump);
    ++pictures;
  }
  VNLWADKILL(info);
  EXPECT_GT(pictures, 100);
  std::printf("round trip: %d pictures of gfx.wad\n", pictures);
}

TEST(ImageImportRuns, MipTexturesAndGroupedSpritesAreMadeFromImages) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette()));
  // Two 32 x 16 pictures, written as PNG through the converter.
  for (int k = 0; k < 2; ++k) {
    Bytes pixels(32 * 16);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i / 2 + k * 40) % 224);
    const std::string name = k == 0 ? "brick" : "{fence";
    ASSERT_TRUE(testdata::WriteFile(dir.file(name + ".lmp"), testdata::BuildLump(32, 16, pixels)));
    ASSERT_EQ(RunCorvane(dir.path(), {"-lump", name + ".lmp", "-pal", "pal.lmp", "-outimg", "png"}).code, 0);
  }
  RunResult wad = RunCorvane(dir.path(), {"-image", "*.png", "-pal", "pal.lmp", "-dst", "walls.wad"});
  ASSERT_EQ(wad.code, 0) << wad.out;
  const Bytes bytes = testdata::ReadFile(dir.file("walls.wad"));
  for (const char* name : {"brick", "{fence"}) {
    uint8_t* lump = nullptr;
    uint32_t length = 0;
    uint8_t type = 0;
    ASSERT_EQ(vnlWadLumpLoad(bytes.data(), uint32_t(bytes.size()), name, &lump, &length, &type), VNL_OK) << name;
    EXPECT_EQ(type, VNL_LUMP_MIPTEX);
    VNLMIPTEX_T texture{};
    ASSERT_EQ(vnlMipTexLoad(lump, length, &texture), VNL_OK);
    const Bytes lumpFile = testdata::ReadFile(dir.file(std::string(name) + ".lmp"));
    EXPECT_EQ(Bytes(texture.levels[0].pixels, texture.levels[0].pixels + 512),
              Bytes(lumpFile.begin() + 8, lumpFile.end()))
        << name;
    EXPECT_EQ(texture.levels[3].width, 4u);
    vnlMipTexKill(&texture);
    std::free(lump);
  }
  // The texture comes back out as an image of its full-size level.
  RunResult back = RunCorvane(dir.path(), {"-lump", "walls.wad::BRICK", "-pal", "pal.lmp"});
  EXPECT_EQ(back.code, 0) << back.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("BRICK.tga")) || testdata::FileExists(dir.file("brick.tga"))) << back.out;

  RunResult sprite =
      RunCorvane(dir.path(), {"-image", "*.png", "-pal", "pal.lmp", "-group", "0.25", "-dst", "anim.spr"});
  ASSERT_EQ(sprite.code, 0) << sprite.out;
  const Bytes spr = testdata::ReadFile(dir.file("anim.spr"));
  VNLSPRITE_T loaded{};
  ASSERT_EQ(vnlSpriteLoad(const_cast<uint8_t*>(spr.data()), uint32_t(spr.size()), loaded), VNL_OK);
  EXPECT_EQ(loaded.sheetCount, 1u);
  EXPECT_EQ(loaded.frameExtra, 1u);
  EXPECT_FLOAT_EQ(loaded.rate[0], 0.25f);
  EXPECT_FLOAT_EQ(loaded.rate[1], 0.5f);
  vnlSpriteKill(loaded);
}

TEST(ImageImportRuns, SeeThroughPixelsBecomeIndex255) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette()));
  // A 4 x 2 image, see-through but for one pixel of palette colour 7.
  const testdata::Rgb c = testdata::DistinctColour(7);
  const std::string colour = "rgb(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
  if (testdata::RunCommand("cd '" + dir.path() + "' && convert -size 4x2 xc:none -fill '" + colour +
                           "' -draw 'point 1,1' PNG32:a.png 2>/dev/null") != 0)
    GTEST_SKIP() << "ImageMagick's convert is not available";
  RunResult run = RunCorvane(dir.path(), {"-image", "a.png", "-pal", "pal.lmp", "-dst", "a.lmp"});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(testdata::ReadFile(dir.file("a.lmp")), testdata::BuildLump(4, 2, {255, 255, 255, 255, 255, 7, 255, 255}));
}

// ---- refusals ----

TEST(AuthoringRefusals, BadInputIsSaidAndNothingIsWritten) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* said;
    const char* output;
  } cases[] = {
      {"image that does not decode",
       {"-image", "junk.png", "-pal", "pal.lmp", "-dst", "o.lmp"},
       "\"junk.png\": not an image FreeImage knows",
       "o.lmp"},
      {"mip texture of 24 x 16",
       {"-image", "odd.png", "-pal", "pal.lmp", "-dst", "o.wad"},
       "24 x 16 pixels: a mip texture's sides are multiples of 16",
       "o.wad"},
      {"lump name past 15 bytes",
       {"-image", "sixteen_bytes___.png", "-pal", "pal.lmp", "-wadpics", "-dst", "o.wad"},
       "a lump name has 1 to 15 bytes",
       "o.wad"},
      {"member name past 55 bytes", {"-pakcreate", "long/**", "-dst", "o.pak"}, "at most 55 bytes (56 here)", "o.pak"},
      {"member name unfit", {"-pakcreate", "drive/**", "-dst", "o.pak"}, "member name unfit for a pack", "o.pak"},
      {"member names repeating", {"-pakcreate", "twice/**", "-dst", "o.pak"}, "repeats an earlier member's", "o.pak"},
      {"empty pack pattern", {"-pakcreate", "", "-dst", "o.pak"}, "nothing matches \"\"", "o.pak"},
      {"pack pattern matching nothing", {"-pakcreate", "none/*", "-dst", "o.pak"}, "nothing matches", "o.pak"},
      {"empty image pattern", {"-image", "", "-pal", "pal.lmp", "-dst", "o.spr"}, "nothing matches \"\"", "o.spr"},
      {"two images for one lump",
       {"-image", "*.png", "-pal", "pal.lmp", "-dst", "o.lmp"},
       "a picture lump is made from one image",
       "o.lmp"},
      {"no palette", {"-image", "odd.png", "-dst", "o.lmp"}, "you must specify a palette", "o.lmp"},
      {"unknown ending",
       {"-image", "odd.png", "-pal", "pal.lmp", "-dst", "o.bmp"},
       "must end in .lmp, .spr or .wad",
       "o.bmp"},
      {"pack without .pak", {"-pakcreate", "twice/**", "-dst", "o.zip"}, "-dst must name the pack", "o.zip"},
  };
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette()));
  ASSERT_TRUE(testdata::WriteFile(dir.file("junk.png"), {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
  ASSERT_TRUE(testdata::WriteFile(dir.file("odd.lmp"), testdata::BuildLump(24, 16, Bytes(24 * 16, 7))));
  ASSERT_EQ(RunCorvane(dir.path(), {"-lump", "odd.lmp", "-pal", "pal.lmp", "-outimg", "png"}).code, 0);
  fs::copy_file(dir.file("odd.png"), dir.file("sixteen_bytes___.png"));
  fs::create_directories(dir.file("long"));
  ASSERT_TRUE(testdata::WriteFile(dir.file("long/" + std::string(56, 'n')), {1}));
  fs::create_directories(dir.file("drive"));
  ASSERT_TRUE(testdata::WriteFile(dir.file("drive/c:x"), {1}));
  fs::create_directories(dir.file("twice"));
  ASSERT_TRUE(testdata::WriteFile(dir.file("twice/Name.txt"), {1}));
  ASSERT_TRUE(testdata::WriteFile(dir.file("twice/name.TXT"), {2}));
  for (const Case& c : cases) {
    RunResult run = RunCorvane(dir.path(), c.args);
    EXPECT_EQ(run.code, 1) << c.what << "\n" << run.out;
    EXPECT_NE(run.out.find(c.said), std::string::npos) << c.what << "\n" << run.out;
    EXPECT_NE(run.out.find("!!ERROR!!"), std::string::npos) << c.what;
    EXPECT_FALSE(testdata::FileExists(dir.file(c.output))) << c.what;
  }
}

}  // namespace
