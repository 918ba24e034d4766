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

Rgb DistinctColour(int index) {
  return Rgb{uint8_t(index), uint8_t((index * 7) & 255), uint8_t(255 - index)};
}

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

void WritePacked(ByteWriter& w, const std::array<uint8_t, 3>& p) { w.u8(p[0]).u8(p[1]).u8(p[2]).u8(0); }

void WriteSimpleFrame(ByteWriter& w, const ModelFrame& frame, size_t vertexCount) {
  w.zeros(4).u32(0xFFFFFFFFu);  // bounds, ignored by readers
  w.field(frame.name, 16);
  for (size_t i = 0; i < vertexCount; ++i)
    WritePacked(w, i < frame.positions.size() ? frame.positions[i] : std::array<uint8_t, 3>{0, 0, 0});
}

}  // namespace

Bytes BuildModel(const ModelSpec& spec) {
  ByteWriter w;
  w.text("IDPO").i32(6);
  for (float v : spec.scale) w.f32(v);
  for (float v : spec.origin) w.f32(v);
  w.f32(spec.radius);
  for (float v : spec.eye) w.f32(v);
  w.i32(int32_t(spec.skins.size())).i32(spec.skinWidth).i32(spec.skinHeight);
  w.i32(int32_t(spec.vertices.size())).i32(int32_t(spec.triangles.size())).i32(int32_t(spec.frames.size()));
  w.i32(spec.syncType).i32(spec.flags).f32(spec.size);

  size_t skinBytes = size_t(spec.skinWidth) * size_t(spec.skinHeight);
  for (const ModelSkin& skin : spec.skins) {
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
  for (const ModelSkinVertex& v : spec.vertices) w.i32(v.onSeam).i32(v.s).i32(v.t);
  for (const ModelTriangle& t : spec.triangles) w.i32(t.facesFront).i32(t.index[0]).i32(t.index[1]).i32(t.index[2]);
  for (const ModelFrameEntry& entry : spec.frames) {
    if (entry.group) {
      w.u32(1).u32(uint32_t(entry.frames.size())).zeros(4).u32(0xFFFFFFFFu);
      WriteIntervals(w, entry.intervals, entry.frames.size());
    } else {
      w.u32(0);
    }
    for (const ModelFrame& frame : entry.frames) WriteSimpleFrame(w, frame, spec.vertices.size());
  }
  return w.take();
}

Bytes SkinPixels(const ModelSpec& spec, int seed) {
  Bytes pixels(size_t(spec.skinWidth) * size_t(spec.skinHeight));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i + size_t(seed)) & 255);
  return pixels;
}

ModelSpec SmallModel() {
  ModelSpec spec;
  spec.scale[0] = spec.scale[1] = spec.scale[2] = 0.5f;
  spec.origin[0] = -10;
  spec.origin[1] = -20;
  spec.origin[2] = 0;
  spec.skinWidth = 8;
  spec.skinHeight = 8;
  spec.skins.push_back(ModelSkin{false, {}, {SkinPixels(spec)}});
  spec.vertices = {{0, 0, 0}, {32, 0, 4}, {0, 4, 8}, {0, 6, 2}};
  spec.triangles.push_back(ModelTriangle{1, {0, 1, 2}});
  spec.triangles.push_back(ModelTriangle{0, {1, 3, 2}});
  ModelFrame stand1{"stand1", {{0, 0, 0}, {20, 0, 0}, {0, 40, 0}, {10, 10, 60}}};
  ModelFrame stand2{"stand2", {{2, 2, 2}, {22, 2, 2}, {2, 42, 2}, {12, 12, 62}}};
  spec.frames.push_back(ModelFrameEntry{false, {}, {stand1}});
  spec.frames.push_back(ModelFrameEntry{false, {}, {stand2}});
  return spec;
}

Bytes BuildSprite(const SpriteSpec& spec) {
  int32_t maxWidth = spec.maxWidth, maxHeight = spec.maxHeight;
  for (const SpriteEntry& entry : spec.entries)
    for (const SpriteFrame& frame : entry.frames) {
      if (spec.maxWidth == 0) maxWidth = std::max(maxWidth, int32_t(frame.width));
      if (spec.maxHeight == 0) maxHeight = std::max(maxHeight, int32_t(frame.height));
    }
  ByteWriter w;
  w.text("IDSP").i32(1).i32(spec.type).f32(spec.radius).i32(maxWidth).i32(maxHeight);
  w.i32(int32_t(spec.entries.size())).f32(spec.beamLength).i32(spec.syncType);
  for (const SpriteEntry& entry : spec.entries) {
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
