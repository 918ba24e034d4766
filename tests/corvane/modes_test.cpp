// The pack list, pack extraction and picture conversion modes, called directly with
// the state that the option handlers would have set.
#include "modes.h"

#include <gtest/gtest.h>

#include "builders.h"
#include "files.h"
#include "image_check.h"
#include "state.h"

namespace {

using imagecheck::ConsoleCapture;
using testdata::Bytes;

class ModesTest : public testing::Test {
 protected:
  void SetUp() override {
    state.options.imageExt = "tga";
    state.options.imageFormat = 17;
  }
  ConverterState state;

  // Runs a mode with the console caught; the text lands in `said`.
  int Run(int (*mode)(const RunOptions&, ItemState&, RunOutcome&)) {
    ConsoleCapture console;
    int result = mode(state.options, state.item, state.outcome);
    said = console.text();
    return result;
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    EXPECT_TRUE(testdata::WriteFile(dir.file(name), bytes));
    return dir.file(name);
  }

  testdata::TempDir dir;
  std::string said;
};

Bytes MemberBytes() {
  Bytes bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(uint8_t(i * 13 + 7));
  return bytes;
}

// ---- pack list ----

TEST_F(ModesTest, PackListWithoutTheSeparatorFails) {
  state.options.listFile = "PAK0.PAK";
  EXPECT_EQ(Run(RunPackList), 1);
  EXPECT_EQ(said, ":: PACK LIST\n");
  EXPECT_EQ(state.outcome.errorMessage, "Pack list: please use the packed ressource syntax (PAK::FILE)");
}

TEST_F(ModesTest, PackListOfAFileThatIsNoPackGivesTheLibraryMessage) {
  state.options.listPack = Write("junk.pak", Bytes(64, 'x'));
  state.options.listFile = dir.file("list.txt");
  EXPECT_EQ(Run(RunPackList), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Pack list: file is not a Quake PAK");
  EXPECT_EQ(state.item.packInfo.entries, nullptr);
}

TEST_F(ModesTest, PackListOfAMissingPackSaysSo) {
  state.options.listPack = dir.file("absent.pak");
  state.options.listFile = dir.file("list.txt");
  EXPECT_EQ(Run(RunPackList), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Pack list: file no found");
}

TEST_F(ModesTest, PackListNamesThePackAndReleasesTheDirectory) {
  state.options.listPack = Write("a.pak", testdata::BuildPack({{"progs/a.mdl", MemberBytes()}, {"gfx/b.lmp", {1, 2}}}));
  state.options.listFile = dir.file("list.txt");
  state.options.reportFile = state.options.listFile;
  EXPECT_EQ(Run(RunPackList), 0);
  EXPECT_EQ(said.rfind(":: PACK LIST\n  Source:  \"" + state.options.listPack + "\"\n", 0), 0u) << said;
  EXPECT_EQ(state.outcome.errorMessage, "");
  EXPECT_EQ(state.item.packInfo.entries, nullptr);
  EXPECT_NE(testdata::ReadText(dir.file("list.txt")).find("gfx\\b.lmp"), std::string::npos)
      << "the listing names every member";
}

// ---- pack extraction ----

class PackExtractTest : public ModesTest {
 protected:
  void UsePack() {
    state.options.extractPack =
        Write("a.pak", testdata::BuildPack({{"progs/a.mdl", MemberBytes()}, {"gfx/b.lmp", {1, 2}}}));
    state.options.extractFile = "progs\\a.mdl";
    state.options.baseName = dir.file("a.mdl");
  }
};

TEST_F(PackExtractTest, WritesTheMemberByteForByte) {
  UsePack();
  EXPECT_EQ(Run(RunPackExtract), 0);
  EXPECT_EQ(said, ":: PACK EXTRACT\n  Source:  \"" + state.options.extractPack + "\"\n  Extract: \"progs\\a.mdl\"\n");
  EXPECT_EQ(testdata::ReadFile(dir.file("a.mdl")), MemberBytes());
}

TEST_F(PackExtractTest, WithoutTheSeparatorFails) {
  state.options.extractFile = "progs\\a.mdl";
  EXPECT_EQ(Run(RunPackExtract), 1);
  EXPECT_EQ(said, ":: PACK EXTRACT\n");
  EXPECT_EQ(state.outcome.errorMessage, "Pack extract: please use the packed ressource syntax (PAK::FILE)");
}

TEST_F(PackExtractTest, AMissingMemberIsNotFound) {
  UsePack();
  state.options.extractFile = "progs\\b.mdl";
  state.options.baseName = dir.file("b.mdl");
  EXPECT_EQ(Run(RunPackExtract), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Pack info: file no found");
  EXPECT_EQ(said, ":: PACK EXTRACT\n");
  EXPECT_FALSE(testdata::FileExists(dir.file("b.mdl")));
}

TEST_F(PackExtractTest, ANoAnswerKeepsTheOldFileAndStillSucceeds) {
  UsePack();
  testdata::WriteText(dir.file("a.mdl"), "old");
  imagecheck::StdinFrom answers("n");
  EXPECT_EQ(Run(RunPackExtract), 0);
  EXPECT_EQ(testdata::ReadText(dir.file("a.mdl")), "old");
  EXPECT_NE(said.find("already exists, replace? [Yes/No/Always]"), std::string::npos) << said;
}

TEST_F(PackExtractTest, TheReplaceSwitchOverwritesWithoutAsking) {
  UsePack();
  testdata::WriteText(dir.file("a.mdl"), "an old file that is longer than nothing");
  state.options.flags |= OPT_REPLACE;
  EXPECT_EQ(Run(RunPackExtract), 0);
  EXPECT_EQ(testdata::ReadFile(dir.file("a.mdl")), MemberBytes());
  EXPECT_EQ(said.find("already exists"), std::string::npos);
}

TEST_F(PackExtractTest, TheDogHeadComesOutAsTheLooseFile) {
  SKIP_WITHOUT_CORPUS();
  state.options.extractPack = testdata::CorpusFile("pak0.pak");
  state.options.extractFile = "progs\\h_dog.mdl";
  state.options.baseName = dir.file("h_dog.mdl");
  ASSERT_EQ(Run(RunPackExtract), 0) << state.outcome.errorMessage;
  Bytes loose = testdata::ReadFile(testdata::CorpusFile("progs/h_dog.mdl"));
  ASSERT_FALSE(loose.empty());
  EXPECT_EQ(testdata::ReadFile(dir.file("h_dog.mdl")), loose);
}

// ---- picture conversion ----

class PictureTest : public ModesTest {
 protected:
  void UsePalette() { state.options.paletteFile = Write("pal.lmp", testdata::DistinctPalette()); }
  void UseLump(uint32_t width, uint32_t height) {
    Bytes pixels;
    for (uint32_t i = 0; i < width * height; ++i) pixels.push_back(uint8_t(i * 3 + 1));
    state.options.lumpFile = Write("pic.lmp", testdata::BuildLump(width, height, pixels));
    state.options.baseName = dir.file("pic");
  }
  void UseSprite(const testdata::SpriteRecipe& recipe) {
    state.options.spriteFile = Write("s.spr", testdata::BuildSprite(recipe));
    state.options.baseName = dir.file("s");
  }
};

// Every pixel of a saved image against the frame's indices.
void ExpectFrame(const std::string& path, const testdata::SpriteFrame& frame) {
  imagecheck::Decoded image = imagecheck::Decode(path);
  ASSERT_TRUE(image.loaded) << path;
  ASSERT_EQ(image.width, frame.width);
  ASSERT_EQ(image.height, frame.height);
  for (uint32_t y = 0; y < frame.height; ++y)
    for (uint32_t x = 0; x < frame.width; ++x)
      ASSERT_EQ(image.at(x, y), imagecheck::DistinctRgb(frame.pixels[y * frame.width + x])) << path;
}

TEST_F(PictureTest, ALumpWithoutPaletteFails) {
  UseLump(4, 4);
  EXPECT_EQ(Run(RunPictureConversion), 1);
  EXPECT_EQ(said, ":: CONVERT LUMP\n");
  EXPECT_EQ(state.outcome.errorMessage, "Palette: you must specify a palette file to convert pictures");
}

TEST_F(PictureTest, ABadPaletteGivesTheLibraryMessage) {
  UseLump(4, 4);
  const std::string palette = state.options.paletteFile = Write("pal.lmp", Bytes(767, 1));
  EXPECT_EQ(Run(RunPictureConversion), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Palette: file is not a Quake PALETTE");
  // The names are shown as the options gave them, before the library cleans them.
  EXPECT_EQ(said, ":: CONVERT LUMP\n  Palette: \"" + palette + "\"\n");
}

TEST_F(PictureTest, ABadLumpGivesTheLibraryMessage) {
  UsePalette();
  state.options.lumpFile = Write("pic.lmp", testdata::BuildLump(4, 4, Bytes(15, 0)));
  state.options.baseName = dir.file("pic");
  EXPECT_EQ(Run(RunPictureConversion), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Source lump: file is not a Quake PICTURE");
  EXPECT_FALSE(testdata::FileExists(dir.file("pic.tga")));
}

TEST_F(PictureTest, ALumpIsSavedUnderItsBaseNameAfterTheOutputsLine) {
  UsePalette();
  UseLump(6, 3);
  const std::string palette = state.options.paletteFile, lump = state.options.lumpFile;
  EXPECT_EQ(Run(RunPictureConversion), 0);
  EXPECT_EQ(said,
            ":: CONVERT LUMP\n"
            "  Palette: \"" +
                palette +
                "\"\n"
                "  Source:  \"" +
                lump +
                "\"\n"
                ":: OUTPUTS\n"
                "  Picture: \"" +
                dir.file("pic.tga") + "\"\n");
  testdata::SpriteFrame expected = testdata::SpriteFrame{0, 0, 6, 3, {}};
  for (uint32_t i = 0; i < 18; ++i) expected.pixels.push_back(uint8_t(i * 3 + 1));
  ExpectFrame(dir.file("pic.tga"), expected);
}

TEST_F(PictureTest, ALumpIsNeverRescaled) {
  UsePalette();
  UseLump(6, 3);
  state.item.skinWidth = 512;
  state.item.skinHeight = 512;
  state.options.flags |= OPT_SKINNOBACK;
  EXPECT_EQ(Run(RunPictureConversion), 0);
  imagecheck::Decoded image = imagecheck::Decode(dir.file("pic.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 6u);
  EXPECT_EQ(image.height, 3u);
}

TEST_F(PictureTest, SpriteFramesAreSavedOneByOneWithoutOutputsLine) {
  UsePalette();
  testdata::SpriteRecipe recipe;
  recipe.entries = {
      {false, {}, {testdata::MakeSpriteFrame(4, 3, -2, 1, 0)}},
      {true, {0.1f, 0.2f}, {testdata::MakeSpriteFrame(5, 2, 0, 0, 40), testdata::MakeSpriteFrame(3, 6, 1, 1, 90)}}};
  UseSprite(recipe);
  state.item.skinWidth = 512;  // a skin size does not touch sprite frames
  state.item.skinHeight = 512;
  const std::string palette = state.options.paletteFile, sprite = state.options.spriteFile;
  EXPECT_EQ(Run(RunPictureConversion), 0);
  EXPECT_EQ(said,
            ":: CONVERT SPRITE\n"
            "  Palette: \"" +
                palette +
                "\"\n"
                "  Source:  \"" +
                sprite +
                "\"\n"
                "  Picture: \"" +
                dir.file("s_0.tga") +
                "\"\n"
                "  Picture: \"" +
                dir.file("s_1.tga") +
                "\"\n"
                "  Picture: \"" +
                dir.file("s_2.tga") + "\"\n");
  ExpectFrame(dir.file("s_0.tga"), recipe.entries[0].frames[0]);
  ExpectFrame(dir.file("s_1.tga"), recipe.entries[1].frames[0]);
  ExpectFrame(dir.file("s_2.tga"), recipe.entries[1].frames[1]);
}

TEST_F(PictureTest, ASpriteWinsOverALump) {
  UsePalette();
  UseLump(4, 4);
  testdata::SpriteRecipe recipe;
  recipe.entries = {{false, {}, {testdata::MakeSpriteFrame(2, 2, 0, 0)}}};
  UseSprite(recipe);
  EXPECT_EQ(Run(RunPictureConversion), 0);
  EXPECT_EQ(said.rfind(":: CONVERT SPRITE\n", 0), 0u) << said;
  EXPECT_TRUE(testdata::FileExists(dir.file("s_0.tga")));
  EXPECT_FALSE(testdata::FileExists(dir.file("pic.tga")));
}

TEST_F(PictureTest, AFrameWithoutPixelsIsSkippedAndTheOthersAreSaved) {
  UsePalette();
  testdata::SpriteRecipe recipe;
  recipe.maxWidth = 4;
  recipe.maxHeight = 4;
  recipe.entries = {{false, {}, {testdata::SpriteFrame{0, 0, 0, 0, {}}}},
                    {false, {}, {testdata::MakeSpriteFrame(2, 2, 0, 0)}}};
  UseSprite(recipe);
  EXPECT_EQ(Run(RunPictureConversion), 0);
  EXPECT_FALSE(testdata::FileExists(dir.file("s_0.tga")));
  ExpectFrame(dir.file("s_1.tga"), recipe.entries[1].frames[0]);
}

TEST_F(PictureTest, AnUnsupportedSpriteVersionIsNamed) {
  UsePalette();
  testdata::SpriteRecipe recipe;
  recipe.entries = {{false, {}, {testdata::MakeSpriteFrame(2, 2, 0, 0)}}};
  Bytes bytes = testdata::BuildSprite(recipe);
  testdata::PutU32(bytes, 4, 2);  // version 2
  state.options.spriteFile = Write("s.spr", bytes);
  state.options.baseName = dir.file("s");
  EXPECT_EQ(Run(RunPictureConversion), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Source sprite: sprite version unsupported");
}

TEST_F(PictureTest, AMissingSpriteSaysSo) {
  UsePalette();
  state.options.spriteFile = dir.file("absent.spr");
  EXPECT_EQ(Run(RunPictureConversion), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Source sprite: file no found");
}

TEST_F(PictureTest, TheReportIsWrittenAlsoWhenNoImageIs) {
  UsePalette();
  testdata::SpriteRecipe recipe;
  recipe.maxWidth = 4;
  recipe.maxHeight = 4;
  recipe.entries = {{false, {}, {testdata::SpriteFrame{0, 0, 0, 0, {}}}}};
  UseSprite(recipe);
  state.options.reportFile = dir.file("report.txt");
  EXPECT_EQ(Run(RunPictureConversion), 0);
  EXPECT_FALSE(testdata::FileExists(dir.file("s_0.tga")));
  EXPECT_FALSE(testdata::ReadText(dir.file("report.txt")).empty());
}

TEST_F(PictureTest, TheExplosionGivesOneImagePerFrame) {
  SKIP_WITHOUT_CORPUS();
  state.options.palettePack = testdata::CorpusFile("pak0.pak");
  state.options.paletteFile = "gfx\\palette.lmp";
  state.options.spriteFile = testdata::CorpusFile("progs/s_explod.spr");
  state.options.baseName = dir.file("s_explod");
  ASSERT_EQ(Run(RunPictureConversion), 0) << state.outcome.errorMessage;
  const uint32_t frames = state.item.sprite.sheetCount + state.item.sprite.frameExtra;
  ASSERT_GT(frames, 1u);
  for (uint32_t i = 0; i < frames; ++i) {
    imagecheck::Decoded image = imagecheck::Decode(dir.file("s_explod_" + std::to_string(i) + ".tga"));
    ASSERT_TRUE(image.loaded) << i;
    EXPECT_EQ(image.width, state.item.sprite.frames[i].width);
    EXPECT_EQ(image.height, state.item.sprite.frames[i].height);
  }
  EXPECT_FALSE(testdata::FileExists(dir.file("s_explod_" + std::to_string(frames) + ".tga")));
}

}  // namespace
