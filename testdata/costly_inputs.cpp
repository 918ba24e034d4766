#include "costly_inputs.h"

namespace testdata {

namespace {

// The nine words of a sprite header: version 1, type 2, 4 x 4, `frames` entries.
ByteWriter SpriteHeader(uint32_t frames) {
  ByteWriter w;
  w.text("IDSP").u32(1).u32(2).f32(16).u32(4).u32(4).u32(frames).f32(0).u32(0);
  return w;
}

}  // namespace

Bytes ManyFramesSprite() { return SpriteHeader(38000000).take(); }

Bytes GigapixelFrameSprite() {
  ByteWriter w = SpriteHeader(1);
  w.u32(0).i32(-8).i32(8).u32(16384).u32(16384);  // a single frame
  for (int i = 0; i < 16; ++i) w.u8(uint8_t(i));
  return w.take();
}

Bytes SkinGroupModel() {
  ModelRecipe recipe = SmallModel();
  Bytes whole = BuildModel(recipe);
  Bytes bytes(whole.begin(), whole.begin() + 84);  // the header: one skin, 8 x 8
  ByteWriter w;
  w.u32(1).u32(65535);  // a skin group of 65535 pictures, cut off before its intervals
  bytes.insert(bytes.end(), w.bytes().begin(), w.bytes().end());
  return bytes;
}

// Even vertices walk down the diagonal (e, e), odd ones up from its far end, one
// texel off it; triangle k is vertices k, k+1, k+2, whose area is 1/2.
ModelRecipe SliverModel(int count, int side) {
  ModelRecipe recipe;
  recipe.skinWidth = recipe.skinHeight = side;
  recipe.skins.push_back(ModelSkin{false, {}, {SkinPixels(recipe)}});
  const int steps = side / 16;
  for (int k = 0; k < count; ++k) {
    const int e = (k / 2) % steps;
    if (k % 2 == 0)
      recipe.vertices.push_back(ModelSkinVertex{0, e, e});
    else
      recipe.vertices.push_back(ModelSkinVertex{0, side - 1 - e, side - 2 - e});
  }
  for (int k = 0; k < count; ++k) recipe.triangles.push_back(ModelTriangle{1, {k, (k + 1) % count, (k + 2) % count}});
  ModelFrame frame{"sliver", {}};
  for (int k = 0; k < count; ++k) frame.positions.push_back({uint8_t(k & 255), uint8_t((k >> 8) & 255), 0});
  recipe.frames.push_back(ModelFrameEntry{false, {}, {frame}});
  return recipe;
}

}  // namespace testdata
