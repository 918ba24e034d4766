// A picture the library makes no colours of (vnlPictureToRGB gives nothing, as
// for an empty picture) gets its failure line in every writer that colours
// pictures, and counts against the run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#if CORVANE_GLTF
#include "gltf_output.h"
#endif
#include "image_check.h"
#include "model_writers.h"
#include "modes.h"
#include "writer_fixture.h"

namespace {

using testdata::Bytes;

// A model whose one skin is an empty picture, with a palette at hand.
void ModelWithAnEmptySkin(ConverterState& state, const testdata::TempDir& dir) {
  writertest::HandModel(state, 3, 0, 1, 1, 0);
  state.item.frameName = "base";
  state.item.skinWidth = state.item.skinHeight = 4;
  state.item.palette.colors = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
  state.options.paletteFile = "palette.lmp";
  state.options.baseName = dir.file("m");
}

void LumpWithoutPixels(ConverterState& state, const testdata::TempDir& dir) {
  state.options.paletteFile = dir.file("palette.lmp");
  ASSERT_TRUE(testdata::WriteFile(state.options.paletteFile, testdata::DistinctPalette()));
  state.options.lumpFile = dir.file("pic.lmp");
  ASSERT_TRUE(testdata::WriteFile(state.options.lumpFile, testdata::BuildLump(0, 0, Bytes())));
  state.options.baseName = dir.file("pic");
}

// Its second frame is empty; the first is saved as usual.
void SpriteWithAnEmptyFrame(ConverterState& state, const testdata::TempDir& dir) {
  state.options.paletteFile = dir.file("palette.lmp");
  ASSERT_TRUE(testdata::WriteFile(state.options.paletteFile, testdata::DistinctPalette()));
  testdata::SpriteRecipe recipe;
  recipe.entries = {{false, {}, {testdata::MakeSpriteFrame(2, 2, 0, 0)}}, {false, {}, {testdata::SpriteFrame()}}};
  state.options.spriteFile = dir.file("s.spr");
  ASSERT_TRUE(testdata::WriteFile(state.options.spriteFile, testdata::BuildSprite(recipe)));
  state.options.baseName = dir.file("s");
}

struct ColourCase {
  const char* writer;
  void (*prepare)(ConverterState& state, const testdata::TempDir& dir);
  const char* dstFile;  // the model file, for the model writers
  void (*write)(ConverterState& state);
  const char* failed;  // the output on the failure line, in the folder
  const char* reason;
};

const ColourCase kCases[] = {
    {"skin images", ModelWithAnEmptySkin, "", [](ConverterState& s) { WriteSkinImages(s.options, s.item, s.outcome); },
     "m_0.tga", "the palette gave it no colours"},
#if CORVANE_GLTF
    {".glb", ModelWithAnEmptySkin, "m.glb", [](ConverterState& s) { WriteGlbModel(s.options, s.item, s.outcome); },
     "m.glb", "written without its skins: the palette gave it no colours"},
    {".gltf", ModelWithAnEmptySkin, "m.gltf", [](ConverterState& s) { WriteGltfModel(s.options, s.item, s.outcome); },
     "m.gltf", "written without its skins: the palette gave it no colours"},
#endif
    {"lump", LumpWithoutPixels, "",
     [](ConverterState& s) { EXPECT_EQ(RunPictureConversion(s.options, s.item, s.outcome), 0); }, "pic.tga",
     "the palette gave it no colours"},
    {"sprite frames", SpriteWithAnEmptyFrame, "",
     [](ConverterState& s) { EXPECT_EQ(RunPictureConversion(s.options, s.item, s.outcome), 0); }, "s_1.tga",
     "the palette gave it no colours"},
};

TEST(ColourFailure, EveryWriterSaysItAndCountsIt) {
  for (const ColourCase& c : kCases) {
    SCOPED_TRACE(c.writer);
    testdata::TempDir dir;
    ConverterState state;
    state.options.imageExt = "tga";
    state.options.imageFormat = 17;
    c.prepare(state, dir);
    if (*c.dstFile != '\0') state.options.dstFile = dir.file(c.dstFile);
    imagecheck::ConsoleCapture console;
    c.write(state);
    const std::string said = console.text();
    const std::string line = "  Failed:  \"" + dir.file(c.failed) + "\" (" + c.reason + ")\n";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(state.outcome.failedOutputs, 1u) << said;
    ASSERT_EQ(state.outcome.journal.failures.size(), 1u);
    EXPECT_EQ(state.outcome.journal.failures[0], dir.file(c.failed) + ": " + c.reason);
  }
}

}  // namespace
