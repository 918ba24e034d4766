#include "images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "builders.h"
#include "files.h"
#include "image_check.h"
#include "image_library.h"
#include "state.h"

namespace {

using imagecheck::Decoded;
using imagecheck::DistinctRgb;

struct ImageFormat {
  const char* ext;
  int32_t format;
  int32_t flags;
};
constexpr ImageFormat kTga{"tga", 17, 0};
constexpr ImageFormat kPng{"png", 13, 6};
constexpr ImageFormat kBmp{"bmp", 0, 0};
constexpr ImageFormat kJpeg{"jpg", 2, 128};

void UseFormat(ConverterState& state, const ImageFormat& f) {
  state.options.imageExt = f.ext;
  state.options.imageFormat = f.format;
  state.options.imageFlags = f.flags;
}

class SaveImageTest : public testing::Test {
 protected:
  void SetUp() override { UseFormat(state, kTga); }
  ConverterState state;
  testdata::TempDir dir;
};

using Colours = std::unique_ptr<uint32_t, decltype(&std::free)>;

// The library's own conversion of an index picture through the distinct palette.
Colours ToColours(uint32_t width, uint32_t height, const testdata::Bytes& indices) {
  testdata::Bytes lump = testdata::BuildLump(width, height, indices);
  testdata::Bytes paletteBytes = testdata::DistinctPalette();
  VNLPICTURE_T picture{};
  VNLPALETTE_T palette{};
  uint8_t* block = lump.data();
  uint8_t* paletteBlock = paletteBytes.data();
  EXPECT_EQ(vnlPictureLoad(block, uint32_t(lump.size()), picture), 0);
  EXPECT_EQ(vnlPaletteLoad(paletteBlock, uint32_t(paletteBytes.size()), palette), 0);
  int32_t level = -1;
  Colours colours(vnlPictureToRGB(picture, palette, level), &std::free);
  vnlPictureKill(picture);
  vnlPaletteKill(palette);
  return colours;
}

// Index of pixel (x, y), all different inside a 256-pixel picture.
uint8_t IndexAt(uint32_t x, uint32_t y, uint32_t width) { return uint8_t((y * width + x) * 37 + 11); }

testdata::Bytes Indices(uint32_t width, uint32_t height) {
  testdata::Bytes indices;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) indices.push_back(IndexAt(x, y, width));
  return indices;
}

// A skin whose left half is index `front` and right half index `back`.
testdata::Bytes HalfAndHalf(uint32_t width, uint32_t height, uint8_t front, uint8_t back) {
  testdata::Bytes indices;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) indices.push_back(x < width / 2 ? front : back);
  return indices;
}

void ExpectPixelsOfIndices(const Decoded& image, uint32_t width, uint32_t height) {
  ASSERT_TRUE(image.loaded);
  ASSERT_EQ(image.width, width);
  ASSERT_EQ(image.height, height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      ASSERT_EQ(image.at(x, y), DistinctRgb(IndexAt(x, y, width))) << "pixel " << x << "," << y;
}

size_t EntriesIn(const std::string& folder) {
  size_t count = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder)) count += entry.is_regular_file() ? 1 : 0;
  return count;
}

// ---- formats and pixels ----

class SaveImageFormats : public SaveImageTest, public testing::WithParamInterface<ImageFormat> {};

TEST_P(SaveImageFormats, DecodesToThePaletteColoursWithTheFirstRowOnTop) {
  const ImageFormat& f = GetParam();
  UseFormat(state, f);
  Colours colours = ToColours(7, 5, Indices(7, 5));
  ASSERT_TRUE(colours);
  SaveImage(state.options, state.outcome, dir.file("pic"), colours.get(), 7, 5, 0, 0, false);

  Decoded image = imagecheck::Decode(dir.file(std::string("pic.") + f.ext));
  EXPECT_EQ(image.format, f.format);
  EXPECT_EQ(image.bitsPerPixel, 24u);
  ExpectPixelsOfIndices(image, 7, 5);
}

INSTANTIATE_TEST_SUITE_P(LosslessFormats, SaveImageFormats, testing::Values(kTga, kPng, kBmp),
                         [](const testing::TestParamInfo<ImageFormat>& tested) {
                           return std::string(tested.param.ext);
                         });

TEST_F(SaveImageTest, JpegDecodesToTheSavedSize) {
  UseFormat(state, kJpeg);
  Colours colours = ToColours(13, 9, Indices(13, 9));
  SaveImage(state.options, state.outcome, dir.file("pic"), colours.get(), 13, 9, 0, 0, false);
  Decoded image = imagecheck::Decode(dir.file("pic.jpg"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.format, 2);
  EXPECT_EQ(image.width, 13u);
  EXPECT_EQ(image.height, 9u);
}

TEST_F(SaveImageTest, WritesThePictureLineAndLeavesNoTemporary) {
  Colours colours = ToColours(4, 2, Indices(4, 2));
  imagecheck::ConsoleCapture console;
  SaveImage(state.options, state.outcome, dir.file("skin_0"), colours.get(), 4, 2, 0, 0, false);
  EXPECT_EQ(console.text(), "  Picture: \"" + dir.file("skin_0") + ".tga\"\n");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  EXPECT_TRUE(testdata::FileExists(dir.file("skin_0.tga")));
}

TEST_F(SaveImageTest, BackslashesInTheNameBecomeFolders) {
  std::filesystem::create_directory(dir.file("sub"));
  Colours colours = ToColours(4, 2, Indices(4, 2));
  imagecheck::ConsoleCapture console;
  SaveImage(state.options, state.outcome, dir.path() + "\\sub\\pic", colours.get(), 4, 2, 0, 0, false);
  console.text();
  ExpectPixelsOfIndices(imagecheck::Decode(dir.file("sub/pic.tga")), 4, 2);
}

// ---- sizes ----

TEST_F(SaveImageTest, RescalesASkinToTheWantedSize) {
  Colours colours = ToColours(296, 194, HalfAndHalf(296, 194, 3, 200));
  SaveImage(state.options, state.outcome, dir.file("skin_0"), colours.get(), 296, 194, 512, 512, false);
  Decoded image = imagecheck::Decode(dir.file("skin_0.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 512u);
  EXPECT_EQ(image.height, 512u);
  // Far from the seam between the halves, bilinear filtering keeps the colours.
  EXPECT_EQ(image.at(10, 256), DistinctRgb(3));
  EXPECT_EQ(image.at(500, 256), DistinctRgb(200));
}

TEST_F(SaveImageTest, HalvingAloneSavesTheFrontHalfPixelForPixel) {
  Colours colours = ToColours(296, 194, HalfAndHalf(296, 194, 3, 200));
  uint32_t* pixels = colours.get();
  pixels[0] = 0xFF123456;  // marks on the front half's corners
  pixels[147] = 0xFF654321;
  pixels[193 * 296 + 147] = 0xFFABCDEF;
  SaveImage(state.options, state.outcome, dir.file("skin_0"), pixels, 296, 194, 148, 194, true);

  Decoded image = imagecheck::Decode(dir.file("skin_0.tga"));
  ASSERT_TRUE(image.loaded);
  ASSERT_EQ(image.width, 148u);
  ASSERT_EQ(image.height, 194u);
  for (unsigned y = 0; y < 194; ++y)
    for (unsigned x = 0; x < 148; ++x) ASSERT_EQ(image.at(x, y), pixels[y * 296 + x] & 0xFFFFFF) << x << "," << y;
}

TEST_F(SaveImageTest, HalvingWithTheFullSizeAskedRescalesTheFrontHalfToIt) {
  Colours colours = ToColours(296, 194, HalfAndHalf(296, 194, 3, 200));
  SaveImage(state.options, state.outcome, dir.file("skin_0"), colours.get(), 296, 194, 296, 194, true);
  Decoded image = imagecheck::Decode(dir.file("skin_0.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 296u);
  EXPECT_EQ(image.height, 194u);
  // Only the front half was stretched: no pixel of the back half shows.
  for (unsigned x = 0; x < 296; x += 5) ASSERT_EQ(image.at(x, 97), DistinctRgb(3)) << x;
}

TEST_F(SaveImageTest, HalvingAnOddWidthRoundsDown) {
  Colours colours = ToColours(5, 3, Indices(5, 3));
  SaveImage(state.options, state.outcome, dir.file("pic"), colours.get(), 5, 3, 0, 0, true);
  Decoded image = imagecheck::Decode(dir.file("pic.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 2u);
  EXPECT_EQ(image.at(1, 2), DistinctRgb(IndexAt(1, 2, 5)));
}

TEST_F(SaveImageTest, AOneSidedWantedSizeKeepsTheOtherSide) {
  Colours colours = ToColours(8, 6, Indices(8, 6));
  SaveImage(state.options, state.outcome, dir.file("pic"), colours.get(), 8, 6, 16, 0, false);
  Decoded image = imagecheck::Decode(dir.file("pic.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 16u);
  EXPECT_EQ(image.height, 6u);
}

// ---- bad sizes and missing pieces ----

TEST_F(SaveImageTest, SizesThatGiveNoBitmapSkipTheImageAndTheNextIsSaved) {
  Colours colours = ToColours(4, 4, Indices(4, 4));
  struct Wanted {
    int32_t width, height;
  };
  for (Wanted wanted : {Wanted{-5, -5}, Wanted{-1, 4}, Wanted{100000, 100000}, Wanted{2147483647, 2}}) {
    SaveImage(state.options, state.outcome, dir.file("bad"), colours.get(), 4, 4, wanted.width, wanted.height, false);
    EXPECT_FALSE(testdata::FileExists(dir.file("bad.tga"))) << wanted.width << " x " << wanted.height;
  }
  SaveImage(state.options, state.outcome, dir.file("good"), colours.get(), 4, 4, 0, 0, false);
  ExpectPixelsOfIndices(imagecheck::Decode(dir.file("good.tga")), 4, 4);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST_F(SaveImageTest, EmptyBuffersWriteNothing) {
  uint32_t one = 0xFF00FF00;
  SaveImage(state.options, state.outcome, dir.file("none"), nullptr, 4, 4, 0, 0, false);
  SaveImage(state.options, state.outcome, dir.file("flat"), &one, 1, 1, 0, 0, true);  // half of one pixel is nothing
  SaveImage(state.options, state.outcome, dir.file("zero"), &one, 0, 1, 0, 0, false);
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
}

TEST_F(SaveImageTest, AnUnknownFormatKeepsTheOldFile) {
  testdata::WriteText(dir.file("pic.xyz"), "old");
  state.options.imageExt = "xyz";
  state.options.imageFormat = 999;
  state.options.flags |= OPT_REPLACE;
  Colours colours = ToColours(4, 4, Indices(4, 4));
  SaveImage(state.options, state.outcome, dir.file("pic"), colours.get(), 4, 4, 0, 0, false);
  EXPECT_EQ(testdata::ReadText(dir.file("pic.xyz")), "old");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST_F(SaveImageTest, AMissingLibraryIsExplainedOnceAndEveryImageFails) {
  Colours colours = ToColours(4, 4, Indices(4, 4));
  RebindImageLibrary("libfreeimage-absent.so.0");
  std::string said;
  {
    imagecheck::ConsoleCapture console;
    SaveImage(state.options, state.outcome, dir.file("a"), colours.get(), 4, 4, 0, 0, false);
    SaveImage(state.options, state.outcome, dir.file("b"), colours.get(), 4, 4, 0, 0, false);
    said = console.text();
  }
  RebindImageLibrary(kImageLibraryName);
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = said.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(said.substr(start, end - start));
  ASSERT_EQ(lines.size(), 5u) << said;
  EXPECT_EQ(lines[0].rfind("  Images are not written: FreeImage is not available (", 0), 0u) << said;
  EXPECT_NE(lines[0].find("libfreeimage-absent.so.0"), std::string::npos) << said;
  for (const char* name : {"a", "b"}) {
    const std::string file = dir.file(name) + ".tga";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "  Failed:  \"" + file + "\" (FreeImage is not available)"), 1)
        << said;
  }
  EXPECT_EQ(state.outcome.failedOutputs, 2u);

  SaveImage(state.options, state.outcome, dir.file("c"), colours.get(), 4, 4, 0, 0, false);
  ExpectPixelsOfIndices(imagecheck::Decode(dir.file("c.tga")), 4, 4);
}

// ---- the replace prompt ----

TEST_F(SaveImageTest, ANoAnswerKeepsTheOldFile) {
  testdata::WriteText(dir.file("pic.tga"), "old");
  Colours colours = ToColours(4, 4, Indices(4, 4));
  {
    imagecheck::StdinFrom answers("xn");
    imagecheck::ConsoleCapture console;
    SaveImage(state.options, state.outcome, dir.file("pic"), colours.get(), 4, 4, 0, 0, false);
    EXPECT_NE(console.text().find("already exists, replace? [Yes/No/Always]"), std::string::npos);
  }
  EXPECT_EQ(testdata::ReadText(dir.file("pic.tga")), "old");
  EXPECT_EQ(state.options.flags & OPT_REPLACE, 0u);
}

TEST_F(SaveImageTest, TheQuestionIsAskedForEveryImage) {
  testdata::WriteText(dir.file("a.tga"), "old");
  testdata::WriteText(dir.file("b.tga"), "old");
  Colours colours = ToColours(4, 4, Indices(4, 4));
  std::string said;
  {
    imagecheck::StdinFrom answers("yn");
    imagecheck::ConsoleCapture console;
    SaveImage(state.options, state.outcome, dir.file("a"), colours.get(), 4, 4, 0, 0, false);
    SaveImage(state.options, state.outcome, dir.file("b"), colours.get(), 4, 4, 0, 0, false);
    said = console.text();
  }
  ExpectPixelsOfIndices(imagecheck::Decode(dir.file("a.tga")), 4, 4);
  EXPECT_EQ(testdata::ReadText(dir.file("b.tga")), "old");
  EXPECT_NE(said.find("\"" + dir.file("b.tga") + "\" already exists"), std::string::npos) << said;
}

TEST_F(SaveImageTest, AnAlwaysAnswerCarriesOverToTheNextImages) {
  testdata::WriteText(dir.file("a.tga"), "old");
  testdata::WriteText(dir.file("b.tga"), "old");
  Colours colours = ToColours(4, 4, Indices(4, 4));
  {
    // One answer only: the end of input would answer No to a second question.
    imagecheck::StdinFrom answers("a");
    imagecheck::ConsoleCapture console;
    SaveImage(state.options, state.outcome, dir.file("a"), colours.get(), 4, 4, 0, 0, false);
    SaveImage(state.options, state.outcome, dir.file("b"), colours.get(), 4, 4, 0, 0, false);
    std::string said = console.text();
    EXPECT_EQ(said.find("\"" + dir.file("b.tga") + "\" already exists"), std::string::npos) << said;
  }
  EXPECT_TRUE(state.outcome.alwaysReplace);
  ExpectPixelsOfIndices(imagecheck::Decode(dir.file("a.tga")), 4, 4);
  ExpectPixelsOfIndices(imagecheck::Decode(dir.file("b.tga")), 4, 4);
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

// ---- real assets ----

struct LoadedPalette {
  VNLPALETTE_T palette{};
  LoadedPalette() {
    testdata::Bytes bytes = testdata::ReadFile(testdata::CorpusFile("gfx/palette.lmp"));
    uint8_t* block = bytes.data();
    EXPECT_EQ(vnlPaletteLoad(block, uint32_t(bytes.size()), palette), 0);
  }
  ~LoadedPalette() { vnlPaletteKill(palette); }
};

// Saves `picture` through the palette as `name`.tga and checks every pixel.
void SaveAndCompare(ConverterState& state, const VNLPICTURE_T& picture, const VNLPALETTE_T& palette,
                    const std::string& name) {
  int32_t level = -1;
  Colours colours(vnlPictureToRGB(picture, palette, level), &std::free);
  ASSERT_TRUE(colours) << name;
  {
    imagecheck::ConsoleCapture quiet;
    SaveImage(state.options, state.outcome, name, colours.get(), int32_t(picture.width), int32_t(picture.height), 0, 0,
              false);
  }
  Decoded image = imagecheck::Decode(name + ".tga");
  ASSERT_TRUE(image.loaded) << name;
  ASSERT_EQ(image.width, picture.width) << name;
  ASSERT_EQ(image.height, picture.height) << name;
  for (uint32_t y = 0; y < picture.height; ++y)
    for (uint32_t x = 0; x < picture.width; ++x) {
      uint8_t index = picture.pixels[size_t(y) * picture.width + x];
      ASSERT_EQ(image.at(x, y), imagecheck::Rgb(palette.colors[index])) << name << " at " << x << "," << y;
    }
}

TEST_F(SaveImageTest, EverySkinOfTheCorpusModelsKeepsItsColours) {
  SKIP_WITHOUT_CORPUS();
  LoadedPalette palette;
  int models = 0, skins = 0;
  for (auto& entry : std::filesystem::directory_iterator(testdata::CorpusDir() + "/progs")) {
    if (entry.path().extension() != ".mdl") continue;
    ++models;
    testdata::Bytes bytes = testdata::ReadFile(entry.path().string());
    uint8_t* block = bytes.data();
    VNLMODEL_T model{};
    ASSERT_EQ(vnlModelLoad(block, uint32_t(bytes.size()), model), 0) << entry.path();
    for (uint32_t i = 0; i < uint32_t(model.skinCount) + model.skinExtra; ++i, ++skins)
      SaveAndCompare(state, model.skins[i], palette.palette,
                     dir.file(entry.path().stem().string() + "_" + std::to_string(i)));
    vnlModelKill(model);
  }
  EXPECT_GT(models, 0);
  EXPECT_GE(skins, models);
}

TEST_F(SaveImageTest, EveryExplosionFrameKeepsItsColours) {
  SKIP_WITHOUT_CORPUS();
  LoadedPalette palette;
  testdata::Bytes bytes = testdata::ReadFile(testdata::CorpusFile("progs/s_explod.spr"));
  uint8_t* block = bytes.data();
  VNLSPRITE_T sprite{};
  ASSERT_EQ(vnlSpriteLoad(block, uint32_t(bytes.size()), sprite), 0);
  uint32_t frames = sprite.sheetCount + sprite.frameExtra;
  EXPECT_GT(frames, 1u);
  for (uint32_t i = 0; i < frames; ++i)
    SaveAndCompare(state, sprite.frames[i], palette.palette, dir.file("s_explod_" + std::to_string(i)));
  vnlSpriteKill(sprite);
}

TEST_F(SaveImageTest, TheConsoleBackgroundKeepsItsColoursAndSize) {
  SKIP_WITHOUT_CORPUS();
  LoadedPalette palette;
  testdata::Bytes bytes = testdata::ReadFile(testdata::CorpusFile("gfx/conback.lmp"));
  uint8_t* block = bytes.data();
  VNLPICTURE_T picture{};
  ASSERT_EQ(vnlPictureLoad(block, uint32_t(bytes.size()), picture), 0);
  EXPECT_EQ(picture.width, 320u);
  EXPECT_EQ(picture.height, 200u);
  SaveAndCompare(state, picture, palette.palette, dir.file("conback"));
  vnlPictureKill(picture);
}

}  // namespace
