#include "builders.h"

#include <algorithm>

namespace testdata {

Bytes BuildPalette(const std::vector<Rgb>& colours) {
  ByteWriter w;
  for (size_t i = 0; i < 256; ++i) {
    Rgb c = i < colours.size() ? colours[i] : Rgb{0, 0, 0};
    w.u8(c.r).u8(c.g).u8(c.b);
  }
  return w.take();
}

Rgb DistinctColour(int index) { return Rgb{uint8_t(index), uint8_t((index * 7) & 255), uint8_t(255 - index)}; }

Bytes DistinctPalette() {
  std::vector<Rgb> colours;
  for (int i = 0; i < 256; ++i) colours.push_back(DistinctColour(i));
  return BuildPalette(colours);
}

Bytes BuildColormap(uint32_t rows, uint8_t bright) {
  ByteWriter w;
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t j = 0; j < 256; ++j) w.u8(uint8_t((j + r) & 255));
  w.u8(bright);
  return w.take();
}

Bytes BuildLump(uint32_t width, uint32_t height, const Bytes& pixels) {
  return ByteWriter().u32(width).u32(height).raw(pixels).take();
}

namespace {

void WriteIntervals(ByteWriter& w, const std::vector<float>& intervals, size_t count) {
  for (size_t i = 0; i < count; ++i) w.f32(i < intervals.size() ? intervals[i] : 0.1f * float(i + 1));
}

void WriteBox(ByteWriter& w, const std::array<uint8_t, 8>& box) {
  for (uint8_t b : box) w.u8(b);
}

void WriteSimpleFrame(ByteWriter& w, const ModelFrame& frame, size_t vertexCount) {
  WriteBox(w, frame.box);
  w.field(frame.name, 16);
  for (size_t i = 0; i < vertexCount; ++i) {
    std::array<uint8_t, 3> p = i < frame.positions.size() ? frame.positions[i] : std::array<uint8_t, 3>{0, 0, 0};
    w.u8(p[0]).u8(p[1]).u8(p[2]).u8(i < frame.normals.size() ? frame.normals[i] : 0);
  }
}

}  // namespace

uint64_t ModelFramesEnd(const Bytes& b, std::vector<uint64_t>* names) {
  const uint64_t skins = GetU32(b, 48), picture = uint64_t(GetU32(b, 52)) * GetU32(b, 56);
  const uint64_t vertices = GetU32(b, 60), triangles = GetU32(b, 64), frames = GetU32(b, 68);
  uint64_t at = 84;
  for (uint64_t e = 0; e < skins; ++e) {
    const uint64_t n = GetU32(b, at) == 0 ? 0 : GetU32(b, at + 4);
    at += n == 0 ? 4 + picture : 8 + n * (4 + picture);
  }
  at += 12 * vertices + 16 * triangles;
  const uint64_t frame = 24 + 4 * vertices;
  for (uint64_t e = 0; e < frames && at < b.size(); ++e) {
    const uint64_t n = GetU32(b, at) == 0 ? 0 : GetU32(b, at + 4);
    const uint64_t first = n == 0 ? at + 4 : at + 16 + 4 * n;
    for (uint64_t k = 0; names != nullptr && k < std::max<uint64_t>(n, 1); ++k) names->push_back(first + k * frame + 8);
    at += n == 0 ? 4 + frame : 16 + n * (4 + frame);
  }
  return at;
}

Bytes BuildModel(const ModelRecipe& recipe) {
  ByteWriter w;
  w.text("IDPO").i32(6);
  for (float v : recipe.scale) w.f32(v);
  for (float v : recipe.origin) w.f32(v);
  w.f32(recipe.radius);
  for (float v : recipe.eye) w.f32(v);
  w.i32(int32_t(recipe.skins.size())).i32(recipe.skinWidth).i32(recipe.skinHeight);
  w.i32(int32_t(recipe.vertices.size())).i32(int32_t(recipe.triangles.size())).i32(int32_t(recipe.frames.size()));
  w.i32(recipe.syncType).i32(recipe.flags).f32(recipe.size);

  size_t skinBytes = size_t(recipe.skinWidth) * size_t(recipe.skinHeight);
  for (const ModelSkin& skin : recipe.skins) {
    if (skin.group) {
      w.u32(1).u32(uint32_t(skin.pictures.size()));
      WriteIntervals(w, skin.intervals, skin.pictures.size());
    } else {
      w.u32(0);
    }
    for (const Bytes& picture : skin.pictures) {
      Bytes sized = picture;
      sized.resize(skinBytes, 0);
      w.raw(sized);
    }
  }
  for (const ModelSkinVertex& v : recipe.vertices) w.i32(v.onSeam).i32(v.s).i32(v.t);
  for (const ModelTriangle& t : recipe.triangles) w.i32(t.facesFront).i32(t.index[0]).i32(t.index[1]).i32(t.index[2]);
  for (const ModelFrameEntry& entry : recipe.frames) {
    if (entry.group) {
      w.u32(1).u32(uint32_t(entry.frames.size()));
      WriteBox(w, entry.box);
      WriteIntervals(w, entry.intervals, entry.frames.size());
    } else {
      w.u32(0);
    }
    for (const ModelFrame& frame : entry.frames) WriteSimpleFrame(w, frame, recipe.vertices.size());
  }
  return w.take();
}

Bytes SkinPixels(const ModelRecipe& recipe, int seed) {
  Bytes pixels(size_t(recipe.skinWidth) * size_t(recipe.skinHeight));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i + size_t(seed)) & 255);
  return pixels;
}

ModelRecipe SmallModel() {
  ModelRecipe recipe;
  recipe.scale[0] = recipe.scale[1] = recipe.scale[2] = 0.5f;
  recipe.origin[0] = -10;
  recipe.origin[1] = -20;
  recipe.origin[2] = 0;
  recipe.skinWidth = 8;
  recipe.skinHeight = 8;
  recipe.skins.push_back(ModelSkin{false, {}, {SkinPixels(recipe)}});
  recipe.vertices = {{0, 0, 0}, {32, 0, 4}, {0, 4, 8}, {0, 6, 2}};
  recipe.triangles.push_back(ModelTriangle{1, {0, 1, 2}});
  recipe.triangles.push_back(ModelTriangle{0, {1, 3, 2}});
  ModelFrame stand1{"stand1", {{0, 0, 0}, {20, 0, 0}, {0, 40, 0}, {10, 10, 60}}};
  ModelFrame stand2{"stand2", {{2, 2, 2}, {22, 2, 2}, {2, 42, 2}, {12, 12, 62}}};
  recipe.frames.push_back(ModelFrameEntry{false, {}, {stand1}});
  recipe.frames.push_back(ModelFrameEntry{false, {}, {stand2}});
  return recipe;
}

Bytes BuildSprite(const SpriteRecipe& recipe) {
  int32_t maxWidth = recipe.maxWidth, maxHeight = recipe.maxHeight;
  for (const SpriteEntry& entry : recipe.entries)
    for (const SpriteFrame& frame : entry.frames) {
      if (recipe.maxWidth == 0) maxWidth = std::max(maxWidth, int32_t(frame.width));
      if (recipe.maxHeight == 0) maxHeight = std::max(maxHeight, int32_t(frame.height));
    }
  ByteWriter w;
  w.text("IDSP").i32(1).i32(recipe.type).f32(recipe.radius).i32(maxWidth).i32(maxHeight);
  w.i32(int32_t(recipe.entries.size())).f32(recipe.beamLength).i32(recipe.syncType);
  for (const SpriteEntry& entry : recipe.entries) {
    if (entry.group) {
      w.u32(1).u32(uint32_t(entry.frames.size()));
      WriteIntervals(w, entry.intervals, entry.frames.size());
    } else {
      w.u32(0);
    }
    for (const SpriteFrame& frame : entry.frames) {
      w.i32(frame.originX).i32(frame.originY).u32(frame.width).u32(frame.height);
      Bytes sized = frame.pixels;
      sized.resize(size_t(frame.width) * size_t(frame.height), 0);
      w.raw(sized);
    }
  }
  return w.take();
}

SpriteFrame MakeSpriteFrame(uint32_t width, uint32_t height, int32_t originX, int32_t originY, int seed) {
  SpriteFrame frame{originX, originY, width, height, Bytes(size_t(width) * size_t(height))};
  for (size_t i = 0; i < frame.pixels.size(); ++i) frame.pixels[i] = uint8_t((i + size_t(seed)) & 255);
  return frame;
}

Bytes BuildPack(const std::vector<PackMember>& members) {
  ByteWriter data;
  std::vector<uint32_t> offsets;
  for (const PackMember& m : members) {
    offsets.push_back(uint32_t(12 + data.size()));
    data.raw(m.data);
  }
  ByteWriter w;
  w.text("PACK").u32(uint32_t(12 + data.size())).u32(uint32_t(64 * members.size()));
  w.raw(data.bytes());
  for (size_t i = 0; i < members.size(); ++i)
    w.field(members[i].name, 56).u32(offsets[i]).u32(uint32_t(members[i].data.size()));
  return w.take();
}

}  // namespace testdata
