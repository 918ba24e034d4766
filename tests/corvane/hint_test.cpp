#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "builders.h"
#include "files.h"
#include "image_check.h"
#include "images.h"
#include "skin_hint.h"
#include "state.h"

namespace {

// A drawing as rows of text, '#' for a line pixel and '.' for the background.
using Drawing = std::vector<std::string>;

Drawing Picture(const std::vector<uint32_t>& pixels, int width, int height) {
  Drawing rows(size_t(height), std::string(size_t(width), '?'));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[size_t(y) * width + x];
      rows[y][x] = p == 0xFFFFFFFF ? '#' : p == 0xFF000000 ? '.' : '?';
    }
  return rows;
}

Drawing Line(int width, int height, float uA, float vA, float uB, float vB) {
  std::vector<uint32_t> pixels(size_t(width) * height, 0xFF000000);
  DrawHintLine(pixels.data(), width, height, uA, vA, uB, vB);
  return Picture(pixels, width, height);
}

std::string Show(const Drawing& d) {
  std::string text = "\n";
  for (const std::string& row : d) text += row + "\n";
  return text;
}

// Coordinates are eighths and quarters so that they map to pixels exactly:
// on an 8 x 4 grid, u = x / 8 and v = 1 - y / 4.
struct LineCase {
  const char* what;
  float uA, vA, uB, vB;
  Drawing expected;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.what; }

class DrawHintLineCases : public testing::TestWithParam<LineCase> {};

TEST_P(DrawHintLineCases, MatchesTheLineDrawnByHand) {
  const LineCase& c = GetParam();
  Drawing drawn = Line(8, 4, c.uA, c.vA, c.uB, c.vB);
  EXPECT_EQ(drawn, c.expected) << c.what << Show(drawn);
  // The line is the same whichever end it is given from.
  Drawing reversed = Line(8, 4, c.uB, c.vB, c.uA, c.vA);
  EXPECT_EQ(reversed, c.expected) << c.what << " (reversed)" << Show(reversed);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DrawHintLineCases,
    testing::Values(
        // (0,0) to (4,2): y steps by 0.5; 0.5 rounds to 0 and 1.5 to 2 (ties to even).
        LineCase{"ties to even along x", 0.0f, 1.0f, 0.5f, 0.5f, {"##......", "..#.....", "...##...", "........"}},
        // (0,3) to (4,2): walked from x = 0, y steps by -0.25; 2.5 rounds to 2.
        LineCase{"falling line", 0.0f, 0.25f, 0.5f, 0.5f, {"........", "........", "..###...", "##......"}},
        // (1,0) to (2,3): walked along y from the top, x steps by 1/3.
        LineCase{"steep line", 0.125f, 1.0f, 0.25f, 0.25f, {".#......", ".#......", "..#.....", "..#....."}},
        // (6,0) to (4,4): x steps by -0.5 from (6,0); 5.5 rounds to 6, 4.5 to 4; row 4 is off.
        LineCase{
            "line leaving at the bottom", 0.75f, 1.0f, 0.5f, 0.0f, {"......#.", "......#.", ".....#..", "....#..."}},
        // u = 1 maps to x = 8, one past the last column: that end is skipped.
        LineCase{"u of 1 is off the image", 1.0f, 1.0f, 1.0f, 0.5f, {"........", "........", "........", "........"}},
        // (5,1) to (11,3): the points at x = 8 to 11 are skipped one by one.
        LineCase{"points off the right side",
                 0.625f,
                 0.75f,
                 1.375f,
                 0.25f,
                 {"........", ".....##.", ".......#", "........"}},
        // (-3,2) to (2,2): starts off the left side.
        LineCase{
            "points off the left side", -0.375f, 0.5f, 0.25f, 0.5f, {"........", "........", "###.....", "........"}},
        // Both corners in one pixel: that pixel alone.
        LineCase{"a single point", 0.4f, 0.6f, 0.43f, 0.55f, {"........", "...#....", "........", "........"}}));

TEST(DrawHintLine, FarAwayOrMissingCoordinatesDrawNothingAndDoNotCrash) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float huge = 3e38f;
  const Drawing blank(4, "........");
  EXPECT_EQ(Line(8, 4, nan, 0.5f, 0.5f, 0.5f), blank);
  EXPECT_EQ(Line(8, 4, huge, 0.5f, 0.0f, 0.5f), blank);
  EXPECT_EQ(Line(8, 4, 0.0f, -huge, 0.0f, 1.0f), blank);
  // A line that reaches far beyond the image still draws its part inside it.
  Drawing longLine = Line(8, 4, 0.0f, 0.5f, 1.0e6f, 0.5f);
  EXPECT_EQ(longLine[2], "########");
  DrawHintLine(nullptr, 8, 4, 0.0f, 0.0f, 1.0f, 1.0f);
}

// ---- the whole hint of a model ----

class BuildSkinHintTest : public testing::Test {
 protected:
  void SetUp() override {
    state.options.imageExt = "tga";
    state.options.imageFormat = 17;
  }
  ConverterState state;

  // A 16 x 8 skin (so that s / 16 and t / 8 are exact) and two triangles: one
  // inside the skin, one touching u = 1 and reaching off the right and bottom.
  void LoadModel() {
    testdata::ModelRecipe recipe = testdata::SmallModel();
    recipe.skinWidth = 16;
    recipe.skinHeight = 8;
    recipe.skins = {testdata::ModelSkin{false, {}, {testdata::SkinPixels(recipe)}}};
    recipe.vertices = {{0, 0, 0}, {0, 4, 2}, {0, 0, 3}, {0, 16, 0}, {0, 12, 8}, {0, 20, 6}};
    recipe.triangles = {{1, {0, 1, 2}}, {1, {3, 4, 5}}};
    for (testdata::ModelFrameEntry& entry : recipe.frames)
      for (testdata::ModelFrame& frame : entry.frames) frame.positions.resize(recipe.vertices.size());
    testdata::Bytes bytes = testdata::BuildModel(recipe);
    uint8_t* block = bytes.data();
    ASSERT_EQ(vnlModelLoad(block, uint32_t(bytes.size()), state.item.model), 0);
  }

  testdata::TempDir dir;
};

TEST_F(BuildSkinHintTest, MatchesTheHintDrawnByHand) {
  LoadModel();
  state.item.skinWidth = 16;
  state.item.skinHeight = 8;
  state.options.hintFile = dir.file("hint");
  {
    imagecheck::ConsoleCapture quiet;
    BuildSkinHint(state.options, state.item, state.outcome);
  }
  imagecheck::Decoded image = imagecheck::Decode(dir.file("hint.tga"));
  ASSERT_TRUE(image.loaded);
  ASSERT_EQ(image.width, 16u);
  ASSERT_EQ(image.height, 8u);
  std::vector<uint32_t> argb;
  for (uint32_t rgb : image.rgb) argb.push_back(rgb | 0xFF000000);
  Drawing drawn = Picture(argb, 16, 8);

  // Triangle 1, (0,0) (4,2) (0,3): rows from t, columns from s; the edge (0,0)-(4,2)
  // steps y by 0.5 and the edge (4,2)-(0,3) by -0.25 from (0,3), halves to even.
  // Triangle 2, (16,0) (12,8) (20,6): u = 1 and t = 8 are one past the skin; the edge
  // (16,0)-(12,8) steps x by -0.5 from the top, of (12,8)-(20,6) only (15,7) is
  // inside, of (16,0)-(20,6) nothing.
  Drawing expected = {
      "##..............", "#.#.............", "#.###..........#", "##............#.",
      "..............#.", "..............#.", ".............#..", "............#..#",
  };
  EXPECT_EQ(drawn, expected) << Show(drawn);
}

TEST_F(BuildSkinHintTest, IsDrawnAtTheSkinSizeAskedFor) {
  LoadModel();
  state.item.skinWidth = 32;
  state.item.skinHeight = 16;
  state.options.hintFile = dir.file("hint");
  {
    imagecheck::ConsoleCapture quiet;
    BuildSkinHint(state.options, state.item, state.outcome);
  }
  imagecheck::Decoded image = imagecheck::Decode(dir.file("hint.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.width, 32u);
  EXPECT_EQ(image.height, 16u);
  EXPECT_EQ(image.at(0, 0), 0xFFFFFFu);   // (0,0) of triangle 1
  EXPECT_EQ(image.at(8, 4), 0xFFFFFFu);   // (4,2) at twice the size
  EXPECT_EQ(image.at(31, 0), 0x000000u);  // u = 1 is still off the image
}

TEST_F(BuildSkinHintTest, ANameWithTheImageExtensionGetsItTwice) {
  LoadModel();
  state.item.skinWidth = 16;
  state.item.skinHeight = 8;
  state.options.hintFile = dir.file("hint.tga");
  std::string said;
  {
    imagecheck::ConsoleCapture console;
    BuildSkinHint(state.options, state.item, state.outcome);
    said = console.text();
  }
  EXPECT_TRUE(testdata::FileExists(dir.file("hint.tga.tga")));
  EXPECT_EQ(said, "  Picture: \"" + dir.file("hint.tga.tga") + "\"\n");
}

TEST_F(BuildSkinHintTest, DecliningTheNameAsGivenDrawsNothing) {
  LoadModel();
  state.item.skinWidth = 16;
  state.item.skinHeight = 8;
  state.options.hintFile = dir.file("hint");
  testdata::WriteText(dir.file("hint"), "a file of the bare name");
  {
    imagecheck::StdinFrom answers("n");
    imagecheck::ConsoleCapture quiet;
    BuildSkinHint(state.options, state.item, state.outcome);
  }
  EXPECT_FALSE(testdata::FileExists(dir.file("hint.tga")));
  EXPECT_EQ(testdata::ReadText(dir.file("hint")), "a file of the bare name");
}

TEST_F(BuildSkinHintTest, AbsurdSizesAreSkippedAndOversizedOnesSaidAsFailures) {
  LoadModel();
  state.options.hintFile = dir.file("hint");
  struct Size {
    int32_t width, height;
    bool said;
  };
  for (Size size : {Size{0, 8, false}, Size{16, 0, false}, Size{-16, -8, false}, Size{100000, 100000, true},
                    Size{2147483647, 2147483647, true}}) {
    state.item.skinWidth = size.width;
    state.item.skinHeight = size.height;
    state.outcome.failedOutputs = 0;
    imagecheck::ConsoleCapture quiet;
    BuildSkinHint(state.options, state.item, state.outcome);
    const std::string said = size.said
                                 ? "  Picture: \"" + dir.file("hint.tga") + "\"\n  Failed:  \"" + dir.file("hint.tga") +
                                       "\" (" + std::to_string(size.width) + " x " + std::to_string(size.height) +
                                       " pixels: more than the 67108864 pixels an image made here may have)\n"
                                 : "";
    EXPECT_EQ(quiet.text(), said) << size.width << " x " << size.height;
    EXPECT_EQ(state.outcome.failedOutputs, size.said ? 1u : 0u);
    EXPECT_FALSE(testdata::FileExists(dir.file("hint.tga")));
  }
}

TEST_F(BuildSkinHintTest, AModelWithoutTrianglesGivesABlackImage) {
  state.item.skinWidth = 4;
  state.item.skinHeight = 2;
  state.options.hintFile = dir.file("hint");
  {
    imagecheck::ConsoleCapture quiet;
    BuildSkinHint(state.options, state.item, state.outcome);
  }
  imagecheck::Decoded image = imagecheck::Decode(dir.file("hint.tga"));
  ASSERT_TRUE(image.loaded);
  EXPECT_EQ(image.rgb, std::vector<uint32_t>(8, 0));
}

}  // namespace
