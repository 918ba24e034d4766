// Writes the demo pack that scripts/demo.sh converts: make_demo_pack OUT.pak
//
// Members: progs/pyramid.mdl (a four-sided pyramid with one 64 x 32 skin and the
// frames "stand1" and "stand2"), gfx/palette.lmp (16 colour ramps of 16 shades)
// and progs/s_spark.spr (a sprite of two frames).
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "builders.h"
#include "files.h"

namespace {

using testdata::Bytes;

// The colour behind each ramp; shade j of ramp r is colour r scaled by (j + 1) / 16.
const testdata::Rgb kRampColours[16] = {
    {255, 255, 255}, {200, 140, 80},  {150, 150, 255}, {90, 200, 90},   {255, 80, 60},   {220, 180, 100},
    {255, 160, 40},  {255, 200, 170}, {190, 120, 220}, {200, 110, 160}, {230, 210, 190}, {100, 170, 170},
    {255, 240, 60},  {60, 60, 255},   {255, 130, 0},   {255, 60, 60},
};

uint8_t Shade(int ramp, int shade) { return uint8_t(ramp * 16 + std::clamp(shade, 0, 15)); }

Bytes DemoPalette() {
  std::vector<testdata::Rgb> colours;
  for (const testdata::Rgb& base : kRampColours)
    for (int j = 0; j < 16; ++j)
      colours.push_back(
          {uint8_t(base.r * (j + 1) / 16), uint8_t(base.g * (j + 1) / 16), uint8_t(base.b * (j + 1) / 16)});
  return testdata::BuildPalette(colours);
}

// The skin: the upper half holds one 16-pixel-wide panel per side (a ramp each,
// lighter towards the apex), the lower half the base (a checkerboard).
Bytes PyramidSkin(int width, int height) {
  Bytes pixels(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t index;
      if (y < height / 2)
        index = Shade(4 + x / 16, 15 - y / 2);
      else
        index = ((x / 4 + y / 4) % 2) ? Shade(0, 12) : Shade(1, 6);
      pixels[size_t(y) * size_t(width) + size_t(x)] = index;
    }
  return pixels;
}

testdata::ModelRecipe Pyramid() {
  testdata::ModelRecipe recipe;
  recipe.scale[0] = recipe.scale[1] = recipe.scale[2] = 0.125f;  // 255 packed units: about 32 world units
  recipe.origin[0] = recipe.origin[1] = -16;
  recipe.origin[2] = 0;
  recipe.radius = 30;
  recipe.skinWidth = 64;
  recipe.skinHeight = 32;
  recipe.skins.push_back(testdata::ModelSkin{false, {}, {PyramidSkin(recipe.skinWidth, recipe.skinHeight)}});

  // Each side has vertices of its own, so that it can take its own skin panel.
  const std::array<uint8_t, 3> corners[4] = {{0, 0, 0}, {255, 0, 0}, {255, 255, 0}, {0, 255, 0}};
  testdata::ModelFrame stand1{"stand1", {}}, stand2{"stand2", {}};
  for (int side = 0; side < 4; ++side) {
    int first = int(recipe.vertices.size());
    recipe.vertices.push_back({0, side * 16 + 8, 0});    // apex
    recipe.vertices.push_back({0, side * 16, 15});       // left foot
    recipe.vertices.push_back({0, side * 16 + 15, 15});  // right foot
    recipe.triangles.push_back(testdata::ModelTriangle{1, {first, first + 2, first + 1}});
    for (testdata::ModelFrame* frame : {&stand1, &stand2}) {
      uint8_t top = frame == &stand1 ? 200 : 255;
      frame->positions.push_back({128, 128, top});
      frame->positions.push_back(corners[side]);
      frame->positions.push_back(corners[(side + 1) % 4]);
    }
  }
  int base = int(recipe.vertices.size());
  const int baseSkin[4][2] = {{0, 16}, {31, 16}, {31, 31}, {0, 31}};
  for (int i = 0; i < 4; ++i) {
    recipe.vertices.push_back({0, baseSkin[i][0], baseSkin[i][1]});
    stand1.positions.push_back(corners[i]);
    stand2.positions.push_back(corners[i]);
  }
  recipe.triangles.push_back(testdata::ModelTriangle{1, {base, base + 1, base + 2}});
  recipe.triangles.push_back(testdata::ModelTriangle{1, {base, base + 2, base + 3}});
  recipe.frames.push_back(testdata::ModelFrameEntry{false, {}, {stand1}});
  recipe.frames.push_back(testdata::ModelFrameEntry{false, {}, {stand2}});
  return recipe;
}

// A glowing disc, bright in the middle; the second frame is smaller.
testdata::SpriteFrame Spark(int size, int ramp) {
  testdata::SpriteFrame frame;
  frame.width = frame.height = uint32_t(size);
  frame.originX = -size / 2;
  frame.originY = size / 2;
  frame.pixels.assign(size_t(size) * size_t(size), 255);
  const double centre = (size - 1) / 2.0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double distance = std::hypot(x - centre, y - centre) / (size / 2.0);
      if (distance <= 1) frame.pixels[size_t(y) * size_t(size) + size_t(x)] = Shade(ramp, int(15 * (1 - distance)));
    }
  return frame;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_pack OUT.pak\n");
    return 2;
  }
  testdata::SpriteRecipe spark;
  spark.entries.push_back(testdata::SpriteEntry{false, {}, {Spark(16, 12)}});
  spark.entries.push_back(testdata::SpriteEntry{false, {}, {Spark(10, 14)}});

  Bytes pack = testdata::BuildPack({
      {"progs/pyramid.mdl", testdata::BuildModel(Pyramid())},
      {"gfx/palette.lmp", DemoPalette()},
      {"progs/s_spark.spr", testdata::BuildSprite(spark)},
  });
  if (!testdata::WriteFile(argv[1], pack)) {
    std::fprintf(stderr, "make_demo_pack: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
