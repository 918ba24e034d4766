// Synthetic Quake inputs, built in memory so that every test states its input in
// a few lines. Each builder writes the file layout exactly; hostile variants are
// made by patching the result (PutU32) or by writing bytes with ByteWriter.
#ifndef TESTDATA_BUILDERS_H
#define TESTDATA_BUILDERS_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace testdata {

// ---- palettes, colormaps, picture lumps ----

struct Rgb {
  uint8_t r, g, b;
};
// 768 bytes from 256 colours.
Bytes BuildPalette(const std::vector<Rgb>& colours);
// A palette whose 256 entries are all different: entry i = (i, (i * 7) & 255, 255 - i).
Bytes DistinctPalette();
Rgb DistinctColour(int index);
// `rows` x 256 bytes (row r maps j to (j + r) & 255) and the trailing bright byte.
Bytes BuildColormap(uint32_t rows, uint8_t bright);
// Width, height and the indices (the caller gives width x height of them).
Bytes BuildLump(uint32_t width, uint32_t height, const Bytes& pixels);

// ---- alias models ----

struct ModelSkin {
  bool group = false;            // a skin group (intervals, then pictures)
  std::vector<float> intervals;  // group only; defaults to 0.1 each when empty
  std::vector<Bytes> pictures;   // one for a single skin, n for a group
};

struct ModelSkinVertex {
  int32_t onSeam = 0;
  int32_t s = 0;
  int32_t t = 0;
};

struct ModelTriangle {
  int32_t facesFront = 1;
  int32_t index[3] = {0, 0, 0};
};

struct ModelFrame {
  std::string name;                                               // up to 16 bytes
  std::vector<std::array<uint8_t, 3>> positions;                  // one packed vertex per file vertex
  std::vector<uint8_t> normals = {};                              // per file vertex; 0 where missing
  std::array<uint8_t, 8> box = {0, 0, 0, 0, 255, 255, 255, 255};  // min then max, as stored
};

struct ModelFrameEntry {
  bool group = false;
  std::vector<float> intervals;  // group only; defaults to 0.1 each when empty
  std::vector<ModelFrame> frames;
  std::array<uint8_t, 8> box = {0, 0, 0, 0, 255, 255, 255, 255};  // group only
};

struct ModelRecipe {
  float scale[3] = {1, 1, 1};
  float origin[3] = {0, 0, 0};
  float radius = 10;
  float eye[3] = {0, 0, 24};
  int32_t skinWidth = 8;
  int32_t skinHeight = 8;
  std::vector<ModelSkin> skins;
  std::vector<ModelSkinVertex> vertices;
  std::vector<ModelTriangle> triangles;
  std::vector<ModelFrameEntry> frames;
  int32_t syncType = 0;
  int32_t flags = 0;
  float size = 1;
};

// The whole file: 84-byte header, skins, skin vertices, triangles, frames. The
// header's counts are taken from the vectors.
Bytes BuildModel(const ModelRecipe& recipe);
// Where a well-formed model file's frames block ends, walked from its header;
// `names`, when given, gets the offset of every frame's 16-byte name.
uint64_t ModelFramesEnd(const Bytes& file, std::vector<uint64_t>* names = nullptr);
// A small valid model: an 8 x 8 skin (pixel i = i), four vertices (vertex 1 on the
// seam), two triangles (the second back-facing), frames "stand1" and "stand2".
ModelRecipe SmallModel();
// A skin picture of the model's size whose pixel i is (i + seed) & 255.
Bytes SkinPixels(const ModelRecipe& recipe, int seed = 0);

// ---- sprites ----

struct SpriteFrame {
  int32_t originX = 0;
  int32_t originY = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  Bytes pixels;  // width x height
};

struct SpriteEntry {
  bool group = false;
  std::vector<float> intervals;  // group only; defaults to 0.1 each when empty
  std::vector<SpriteFrame> frames;
};

struct SpriteRecipe {
  int32_t type = 2;
  float radius = 16;
  int32_t maxWidth = 0;   // 0: the largest frame width
  int32_t maxHeight = 0;  // 0: the largest frame height
  float beamLength = 0;
  int32_t syncType = 0;
  std::vector<SpriteEntry> entries;
};

Bytes BuildSprite(const SpriteRecipe& recipe);
// A frame whose pixel i is (i + seed) & 255.
SpriteFrame MakeSpriteFrame(uint32_t width, uint32_t height, int32_t originX, int32_t originY, int seed = 0);

// ---- pack archives ----

struct PackMember {
  std::string name;  // written into the 56-byte field as is
  Bytes data;
};
// Header, the members' data from offset 12 on, then the directory at the end.
Bytes BuildPack(const std::vector<PackMember>& members);

}  // namespace testdata

#endif
