// Whole runs of the converter binary that make images or work on packs, in a
// folder of their own, with the replace prompt answered through stdin.
#include <gtest/gtest.h>

#include <vector>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "image_check.h"

namespace {

using testdata::Bytes;

using corvane_test::RunResult;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

RunResult Corvane(const testdata::TempDir& dir, const std::vector<std::string>& args, const std::string& answers = "",
                  const std::string& environment = "") {
  corvane_test::Launch launch;
  launch.args = args;
  launch.input = answers;
  launch.environment = environment;
  return corvane_test::RunCorvaneWith(dir.path(), launch);
}

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// The small model with `skins` skins of width x height, skin k's left half index
// 10 + k and right half 100 + k; and the distinct palette, as m.mdl and pal.lmp.
void WriteModel(const testdata::TempDir& dir, int32_t width, int32_t height, int skins = 1) {
  testdata::ModelRecipe recipe = testdata::SmallModel();
  recipe.skinWidth = width;
  recipe.skinHeight = height;
  recipe.skins.clear();
  for (int k = 0; k < skins; ++k) {
    Bytes pixels;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) pixels.push_back(uint8_t(x < width / 2 ? 10 + k : 100 + k));
    recipe.skins.push_back(testdata::ModelSkin{false, {}, {pixels}});
  }
  ASSERT_TRUE(testdata::WriteFile(dir.file("m.mdl"), testdata::BuildModel(recipe)));
  ASSERT_TRUE(testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette()));
}

// ---- skins ----

struct SkinSizeCase {
  const char* what;
  std::vector<std::string> switches;
  unsigned width, height;
};

void PrintTo(const SkinSizeCase& c, std::ostream* os) { *os << c.what; }

class SkinSizes : public testing::TestWithParam<SkinSizeCase> {};

TEST_P(SkinSizes, SaveTheSkinAtTheSizeAskedFor) {
  const SkinSizeCase& c = GetParam();
  testdata::TempDir dir;
  WriteModel(dir, 296, 194);
  std::vector<std::string> args = {"-model", "m.mdl", "-pal", "pal.lmp"};
  args.insert(args.end(), c.switches.begin(), c.switches.end());
  RunResult run = Corvane(dir, args);
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("  Picture: \"m_0.tga\"\n"), std::string::npos) << run.out;
  imagecheck::Decoded image = imagecheck::Decode(dir.file("m_0.tga"));
  ASSERT_TRUE(image.loaded) << run.out;
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  // Whatever the size, the left edge shows the skin's front.
  EXPECT_EQ(image.at(0, image.height / 2), imagecheck::DistinctRgb(10));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SkinSizes,
    testing::Values(SkinSizeCase{"as stored", {}, 296, 194},
                    SkinSizeCase{"front half alone", {"-skinnoback"}, 148, 194},
                    SkinSizeCase{"front half at the full size", {"-skinnoback", "-skinsize", "296", "194"}, 296, 194},
                    SkinSizeCase{"rescaled", {"-skinsize", "512", "512"}, 512, 512}));

TEST(ImageRuns, TheFrontHalfAloneIsTheSkinPixelForPixel) {
  testdata::TempDir dir;
  WriteModel(dir, 296, 194);
  RunResult run = Corvane(dir, {"-model", "m.mdl", "-pal", "pal.lmp", "-skinnoback"});
  ASSERT_EQ(run.code, 0) << run.out;
  imagecheck::Decoded image = imagecheck::Decode(dir.file("m_0.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.rgb, std::vector<uint32_t>(148 * 194, imagecheck::DistinctRgb(10)));
}

TEST(ImageRuns, PngSkinsDecodeToThePaletteColours) {
  testdata::TempDir dir;
  WriteModel(dir, 8, 4, 2);
  RunResult run = Corvane(dir, {"-model", "m.mdl", "-pal", "pal.lmp", "-outimg", "png"});
  ASSERT_EQ(run.code, 0) << run.out;
  for (int k = 0; k < 2; ++k) {
    imagecheck::Decoded image = imagecheck::Decode(dir.file("m_" + std::to_string(k) + ".png"));
    ASSERT_TRUE(image.loaded) << k;
    EXPECT_EQ(image.format, 13);
    ASSERT_EQ(image.width, 8u);
    for (unsigned y = 0; y < 4; ++y)
      for (unsigned x = 0; x < 8; ++x)
        ASSERT_EQ(image.at(x, y), imagecheck::DistinctRgb(x < 4 ? 10 + k : 100 + k)) << k << ": " << x << "," << y;
  }
}

TEST(ImageRuns, AnAlwaysAnswerReplacesTheLaterSkinsWithoutAsking) {
  testdata::TempDir dir;
  WriteModel(dir, 8, 4, 3);
  for (const char* name : {"m_0.tga", "m_1.tga", "m_2.tga"}) testdata::WriteText(dir.file(name), "old");
  RunResult run = Corvane(dir, {"-model", "m.mdl", "-pal", "pal.lmp", "-dst", "m.xyz"}, "a");
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.out, "already exists, replace?"), 1u) << run.out;
  for (const char* name : {"m_0.tga", "m_1.tga", "m_2.tga"})
    EXPECT_TRUE(imagecheck::Decode(dir.file(name)).loaded) << name;
}

TEST(ImageRuns, EachSkinIsAskedForOnItsOwn) {
  testdata::TempDir dir;
  WriteModel(dir, 8, 4, 2);
  testdata::WriteText(dir.file("m_0.tga"), "old");
  testdata::WriteText(dir.file("m_1.tga"), "old");
  RunResult run = Corvane(dir, {"-model", "m.mdl", "-pal", "pal.lmp", "-dst", "m.xyz"}, "ny");
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.out, "already exists, replace?"), 2u) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file("m_0.tga")), "old");
  EXPECT_TRUE(imagecheck::Decode(dir.file("m_1.tga")).loaded);
}

TEST(ImageRuns, TheSkinHintIsSavedBesideTheSkins) {
  testdata::TempDir dir;
  WriteModel(dir, 8, 8);
  RunResult run = Corvane(dir, {"-model", "m.mdl", "-pal", "pal.lmp", "-skinhint", "hint", "-skinsize", "16", "16"});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("  Picture: \"hint.tga\"\n"), std::string::npos) << run.out;
  imagecheck::Decoded image = imagecheck::Decode(dir.file("hint.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 16u);
  EXPECT_EQ(image.height, 16u);
  size_t white = 0;
  for (uint32_t p : image.rgb) white += p == 0xFFFFFF ? 1 : 0;
  EXPECT_GT(white, 0u);
}

// ---- FreeImage is bound only when an image is saved ----

TEST(ImageRuns, FreeImageIsLoadedOnlyByRunsThatSaveImages) {
  testdata::TempDir dir;
  WriteModel(dir, 8, 4);
  RunResult without = Corvane(dir, {"-model", "m.mdl"}, "", "LD_DEBUG=files");
  ASSERT_EQ(without.code, 0) << without.out;
  EXPECT_EQ(without.out.find("libfreeimage"), std::string::npos) << without.out;
  RunResult with = Corvane(dir, {"-model", "m.mdl", "-pal", "pal.lmp", "-replace"}, "", "LD_DEBUG=files");
  ASSERT_EQ(with.code, 0) << with.out;
  EXPECT_NE(with.out.find("libfreeimage"), std::string::npos);

  std::string linked;
  testdata::RunCommand("ldd " + Quote(CORVANE_BIN), &linked);
  EXPECT_NE(linked.find("libvarnel"), std::string::npos) << linked;
  EXPECT_EQ(linked.find("freeimage"), std::string::npos) << linked;
}

// ---- picture conversion ----

TEST(ImageRuns, SpriteFramesAreSavedAndNeverRescaled) {
  testdata::TempDir dir;
  testdata::SpriteRecipe recipe;
  recipe.entries = {{false, {}, {testdata::MakeSpriteFrame(4, 3, 0, 0, 5)}},
                    {false, {}, {testdata::MakeSpriteFrame(6, 2, 0, 0, 50)}},
                    {false, {}, {testdata::MakeSpriteFrame(3, 5, 0, 0, 150)}}};
  ASSERT_TRUE(testdata::WriteFile(dir.file("s.spr"), testdata::BuildSprite(recipe)));
  ASSERT_TRUE(testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette()));
  RunResult run = Corvane(dir, {"-sprite", "s.spr", "-pal", "pal.lmp", "-skinsize", "64", "64", "-outimg", "bmp"});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(run.out.find(":: OUTPUTS"), std::string::npos) << run.out;
  for (size_t i = 0; i < 3; ++i) {
    const testdata::SpriteFrame& frame = recipe.entries[i].frames[0];
    imagecheck::Decoded image = imagecheck::Decode(dir.file("s_" + std::to_string(i) + ".bmp"));
    ASSERT_TRUE(image.loaded) << i;
    ASSERT_EQ(image.width, frame.width);
    ASSERT_EQ(image.height, frame.height);
    for (unsigned y = 0; y < frame.height; ++y)
      for (unsigned x = 0; x < frame.width; ++x)
        ASSERT_EQ(image.at(x, y), imagecheck::DistinctRgb(frame.pixels[y * frame.width + x])) << i;
  }
}

TEST(ImageRuns, ALumpWithoutPaletteFails) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("p.lmp"), testdata::BuildLump(2, 2, {1, 2, 3, 4})));
  RunResult run = Corvane(dir, {"-lump", "p.lmp"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find(":: CONVERT LUMP\n!!ERROR!! Palette: you must specify a palette file to convert pictures\n"),
            std::string::npos)
      << run.out;
}

TEST(ImageRuns, TheConsoleBackgroundComesOutOfThePackAtItsSize) {
  SKIP_WITHOUT_CORPUS();
  testdata::TempDir dir;
  const std::string pack = testdata::CorpusFile("pak0.pak");
  RunResult run =
      Corvane(dir, {"-lump", pack + "::gfx/conback.lmp", "-pal", pack + "::gfx/palette.lmp", "-outimg", "jpg"});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find(":: OUTPUTS\n  Picture: \"conback.jpg\"\n"), std::string::npos) << run.out;
  imagecheck::Decoded image = imagecheck::Decode(dir.file("conback.jpg"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.format, 2);
  EXPECT_EQ(image.width, 320u);
  EXPECT_EQ(image.height, 200u);
}

// ---- packs ----

TEST(PackRuns, ExtractedDogHeadIsTheLooseFile) {
  SKIP_WITHOUT_CORPUS();
  testdata::TempDir dir;
  RunResult run = Corvane(dir, {"-pakextract", testdata::CorpusFile("pak0.pak") + "::progs/h_dog.mdl"});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("  Extract: \"progs\\h_dog.mdl\"\n"), std::string::npos) << run.out;
  EXPECT_EQ(testdata::RunCommand("cmp " + Quote(dir.file("h_dog.mdl")) + " " +
                                 Quote(testdata::CorpusFile("progs/h_dog.mdl"))),
            0);
}

TEST(PackRuns, AMissingMemberIsNotFound) {
  SKIP_WITHOUT_CORPUS();
  testdata::TempDir dir;
  RunResult run = Corvane(dir, {"-pakextract", testdata::CorpusFile("pak0.pak") + "::progs/player.mdl"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("\n!!ERROR!! Pack info: file no found\n"), std::string::npos) << run.out;
  EXPECT_FALSE(testdata::FileExists(dir.file("player.mdl")));
}

TEST(PackRuns, ANoAnswerKeepsTheOldFileAndSucceeds) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("a.pak"), testdata::BuildPack({{"progs/a.mdl", {1, 2, 3}}})));
  testdata::WriteText(dir.file("a.mdl"), "old");
  RunResult run = Corvane(dir, {"-pakextract", "a.pak::progs/a.mdl"}, "n");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file("a.mdl")), "old");
  run = Corvane(dir, {"-pakextract", "a.pak::progs/a.mdl"}, "y");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(testdata::ReadFile(dir.file("a.mdl")), (Bytes{1, 2, 3}));
}

TEST(PackRuns, AListWithoutTheSeparatorFails) {
  testdata::TempDir dir;
  RunResult run = Corvane(dir, {"-paklist", "PAK0.PAK"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find(":: PACK LIST\n!!ERROR!! Pack list: please use the packed ressource syntax (PAK::FILE)\n"),
            std::string::npos)
      << run.out;
}

TEST(PackRuns, AListIsWrittenIntoTheNamedReport) {
  testdata::TempDir dir;
  ASSERT_TRUE(
      testdata::WriteFile(dir.file("a.pak"), testdata::BuildPack({{"progs/a.mdl", {1, 2, 3}}, {"gfx/b.lmp", {4}}})));
  RunResult run = Corvane(dir, {"-paklist", "a.pak::list.txt"});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("  Source:  \"a.pak\"\n"), std::string::npos) << run.out;
  std::string listing = testdata::ReadText(dir.file("list.txt"));
  EXPECT_NE(listing.find("progs\\a.mdl"), std::string::npos) << listing;
  EXPECT_NE(listing.find("gfx\\b.lmp"), std::string::npos) << listing;
}

}  // namespace
