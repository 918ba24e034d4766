// WAD2 archives written (the lumps in the given order, each on a 4-byte boundary,
// the directory last), and the mip texture lumps they hold for walls.
//
// A texture's smaller levels are made the way the level above looks: each 2 x 2
// block averaged as colours and mapped back to the palette, so that a level
// never drifts from the one it shrinks (as halving indices would).
#include <set>
#include <string>
#include <vector>

#include "block_writer.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kNameSize = 16;
constexpr uint32_t kMipLevels = 4;
constexpr uint32_t kMipHeader = kNameSize + 4 + 4 + 4 * kMipLevels;
constexpr uint8_t kSeeThrough = 255;

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// A name of 1 to 15 bytes without control bytes, so that its field keeps a zero.
bool NameFits(const char* name) {
  if (name == nullptr) return false;
  size_t size = 0;
  for (; name[size] != 0; ++size)
    if (size >= kNameSize - 1 || static_cast<unsigned char>(name[size]) < 0x20) return false;
  return size > 0;
}

std::string Folded(const char* name) {
  std::string folded = name;
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

uint32_t Channel(uint32_t colour, int shift) { return (colour >> shift) & 0xFFu; }

// The colour of one 2 x 2 block of `above`, or 0 (alpha 0) for a see-through block.
uint32_t BlockColour(const VNLPICTURE_T& above, const uint32_t* colours, uint32_t x, uint32_t y, bool keyed) {
  uint32_t sum[3] = {0, 0, 0}, opaque = 0;
  for (uint32_t dy = 0; dy < 2; ++dy) {
    for (uint32_t dx = 0; dx < 2; ++dx) {
      const uint8_t index = above.pixels[size_t(y * 2 + dy) * above.width + x * 2 + dx];
      if (keyed && index == kSeeThrough) continue;
      ++opaque;
      for (int c = 0; c < 3; ++c) sum[c] += Channel(colours[index], 16 - 8 * c);
    }
  }
  if (keyed && opaque <= 2) return 0;
  uint32_t colour = 0xFF000000u;
  for (int c = 0; c < 3; ++c) colour |= ((sum[c] + opaque / 2) / opaque) << (16 - 8 * c);
  return colour;
}

// Level `below` (w/2 x h/2) from `above`.
int32_t Shrink(const VNLPICTURE_T& above, const VNLPALETTE_T& palette, bool keyed, std::vector<uint8_t>& below) {
  const uint32_t width = above.width / 2, height = above.height / 2;
  std::vector<uint32_t> colours(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      colours[size_t(y) * width + x] = BlockColour(above, palette.colors, x, y, keyed);
  below.resize(colours.size());
  return vnlPaletteMap(&palette, colours.data(), uint32_t(colours.size()), keyed ? kSeeThrough : -1, below.data());
}

bool LevelGiven(const VNLPICTURE_T& level, uint32_t width, uint32_t height) {
  return level.pixels != nullptr && level.width == width && level.height == height;
}

}  // namespace

int32_t vnlWadSave(const VNLMEMBER_T* lumps, uint32_t count, uint8_t** block, uint32_t* length) {
  if (!vnl::BeginSave(block, length)) return VNL_NO_BLOCK;
  if (count == 0 || lumps == nullptr) return VNL_NO_BLOCK;
  std::set<std::string> seen;
  uint64_t total = 12 + uint64_t(count) * 32;
  for (uint32_t i = 0; i < count; ++i) {
    if (!NameFits(lumps[i].name)) return VNL_WAD2_NAME;
    if (!seen.insert(Folded(lumps[i].name)).second) return VNL_WAD2_REPEAT;
    if (lumps[i].length > 0 && lumps[i].data == nullptr) return VNL_NO_BLOCK;
    total += lumps[i].length + 3;
  }
  if (total > UINT32_MAX) return VNL_NO_MEMORY;

  vnl::BlockWriter w;
  w.raw("WAD2", 4);
  w.u32(count);
  w.u32(0);  // the directory's offset, known once the lumps are in
  std::vector<uint32_t> offsets(count);
  for (uint32_t i = 0; i < count; ++i) {
    offsets[i] = uint32_t(w.size());
    w.raw(lumps[i].data, lumps[i].length);
    while (w.size() % 4 != 0) w.u8(0);
  }
  w.patch(8, uint32_t(w.size()));
  for (uint32_t i = 0; i < count; ++i) {
    w.u32(offsets[i]);
    w.u32(lumps[i].length);  // stored size
    w.u32(lumps[i].length);  // size once expanded: nothing is compressed
    w.u8(lumps[i].type);
    w.u8(0);  // compression
    w.u8(0);
    w.u8(0);
    w.field(lumps[i].name, kNameSize);
  }
  return w.handOver(block, length);
}

int32_t vnlMipTexSave(const VNLMIPTEX_T* texture, const VNLPALETTE_T* palette, uint8_t** block, uint32_t* length) {
  if (!vnl::BeginSave(block, length) || texture == nullptr) return VNL_NO_BLOCK;
  const VNLPICTURE_T& top = texture->levels[0];
  if (top.width == 0 || top.height == 0 || top.width % 16 != 0 || top.height % 16 != 0) return VNL_PICTURE_SIZE;
  if (top.pixels == nullptr) return VNL_NO_BLOCK;
  if (strnlen(texture->name, kNameSize) >= kNameSize || !NameFits(texture->name)) return VNL_WAD2_NAME;
  if (uint64_t(top.width) * top.height * 2 > UINT32_MAX) return VNL_NO_MEMORY;
  const bool keyed = texture->name[0] == '{';

  std::vector<uint8_t> levels[kMipLevels];
  VNLPICTURE_T above = top;
  for (uint32_t level = 0; level < kMipLevels; ++level) {
    const uint32_t width = top.width >> level, height = top.height >> level;
    const VNLPICTURE_T& given = texture->levels[level];
    if (LevelGiven(given, width, height)) {
      levels[level].assign(given.pixels, given.pixels + size_t(width) * height);
    } else {
      if (palette == nullptr || palette->colors == nullptr) return VNL_NO_BLOCK;
      int32_t code = Shrink(above, *palette, keyed, levels[level]);
      if (code != VNL_OK) return code;
    }
    above = VNLPICTURE_T{width, height, levels[level].data()};
  }

  vnl::BlockWriter w;
  w.field(texture->name, kNameSize);
  w.u32(top.width);
  w.u32(top.height);
  uint32_t offset = kMipHeader;
  for (const std::vector<uint8_t>& level : levels) {
    w.u32(offset);
    offset += uint32_t(level.size());
  }
  for (const std::vector<uint8_t>& level : levels) w.raw(level.data(), level.size());
  return w.handOver(block, length);
}
