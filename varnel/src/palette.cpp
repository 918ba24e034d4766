// Palettes, colormaps and picture lumps, and the conversion of a picture into
// 32-bit colours. Each load checks the block's length before it reads any colour,
// colormap or pixel byte, so every such read lies inside the block, and holds
// what it allocates to the load budget of budget.h (a palette's 256 colours are
// a fixed kilobyte and need no check).
#include <cstdlib>

#include "block_reader.h"
#include "budget.h"
#include "file_io.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kPaletteEntries = 256;
constexpr uint32_t kPaletteLength = kPaletteEntries * 3;
constexpr uint32_t kColormapRow = 256;
constexpr uint32_t kPictureHeader = 8;

bool IsAbsent(const uint8_t* block, uint32_t length) { return block == nullptr || length == 0; }

uint32_t PackColour(uint8_t red, uint8_t green, uint8_t blue) {
  return 0xFF000000u | uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue);
}

// calloc that never asks for 0 bytes, so that "attached but empty" stays
// distinguishable from "absent".
void* AllocateZeroed(uint64_t count, uint64_t size) {
  if (count > VNL_MAX_ALLOCATION / size) return nullptr;
  return std::calloc(count == 0 ? 1 : static_cast<size_t>(count), static_cast<size_t>(size));
}

// The colormap row `level` asks for, clamped to the last row and turned into its
// byte offset; false when no row can serve (no colormap, a negative level, a
// colormap of 0 rows, or an offset that does not fit the caller's variable).
bool ChooseRow(const VNLPALETTE_T& palette, int32_t& level) {
  if (palette.colorMap == nullptr || level < 0 || palette.shadingLevels == 0) return false;
  int64_t row = level;
  int64_t lastRow = int64_t(palette.shadingLevels) - 1;
  if (row > lastRow) row = lastRow;
  if (row * kColormapRow > INT32_MAX) return false;
  level = static_cast<int32_t>(row * kColormapRow);
  return true;
}

}  // namespace

void vnlPaletteKill(VNLPALETTE_T* palette) {
  if (palette == nullptr) return;
  palette->shadingLevels = 0;
  palette->brightCount = 0;
  vnl::Release(palette->colorMap);
  vnl::Release(palette->colors);
}

int32_t vnlPaletteLoad(const uint8_t* block, uint32_t length, VNLPALETTE_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLPALETTE_T& palette = *record;
  if (int32_t refused = vnl::BeginLoad(block, length, palette, vnlPaletteKill)) return refused;
  if (length != kPaletteLength) return VNL_NOT_PALETTE;
  auto* colors = static_cast<uint32_t*>(AllocateZeroed(kPaletteEntries, sizeof(uint32_t)));
  if (colors == nullptr) return VNL_NO_MEMORY;
  vnl::BlockReader reader(block, length);
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    uint8_t red = reader.u8();
    uint8_t green = reader.u8();
    uint8_t blue = reader.u8();
    colors[i] = PackColour(red, green, blue);
  }
  palette.colors = colors;
  return VNL_OK;
}

int32_t vnlPaletteLoadFile(const char* packName, const char* fileName, VNLPALETTE_T* palette) {
  return vnl::LoadRecordFile(packName, fileName, ".lmp", vnlPaletteLoad, palette);
}

int32_t vnlColorMapLoad(const uint8_t* block, uint32_t length, VNLPALETTE_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLPALETTE_T& palette = *record;
  if (IsAbsent(block, length)) return VNL_NO_BLOCK;
  if (palette.colors == nullptr) return VNL_NO_PALETTE;
  if ((length - 1) % kColormapRow != 0) return VNL_NOT_COLORMAP;
  if (palette.colorMap != nullptr) return VNL_COLORMAP_LOADED;

  uint32_t rows = (length - 1) / kColormapRow;
  uint64_t size = uint64_t(rows) * kColormapRow;
  if (!vnl::WithinBudget(size, length)) return VNL_NO_MEMORY;
  auto* colorMap = static_cast<uint8_t*>(AllocateZeroed(size, 1));
  if (colorMap == nullptr) return VNL_NO_MEMORY;
  vnl::BlockReader reader(block, length);
  reader.read(colorMap, size);
  palette.colorMap = colorMap;
  palette.shadingLevels = rows;
  palette.brightCount = reader.u8();
  return VNL_OK;
}

int32_t vnlColorMapLoadFile(const char* packName, const char* fileName, VNLPALETTE_T* palette) {
  return vnl::LoadRecordFile(packName, fileName, ".lmp", vnlColorMapLoad, palette);
}

void vnlPictureKill(VNLPICTURE_T* picture) {
  if (picture == nullptr) return;
  picture->width = 0;
  picture->height = 0;
  vnl::Release(picture->pixels);
}

int32_t vnlPictureLoad(const uint8_t* block, uint32_t length, VNLPICTURE_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLPICTURE_T& picture = *record;
  if (int32_t refused = vnl::BeginLoad(block, length, picture, vnlPictureKill)) return refused;
  vnl::BlockReader reader(block, length);
  uint32_t width = reader.u32();
  uint32_t height = reader.u32();
  // Two 32-bit factors cannot overflow 64 bits.
  uint64_t count = uint64_t(width) * uint64_t(height);
  if (length < kPictureHeader || count != length - kPictureHeader) return VNL_NOT_PICTURE;

  if (!vnl::WithinBudget(vnl::ItemCost(count), length)) return VNL_NO_MEMORY;
  uint8_t* pixels = nullptr;
  if (count > 0) {
    pixels = static_cast<uint8_t*>(AllocateZeroed(count, 1));
    if (pixels == nullptr) return VNL_NO_MEMORY;
    reader.read(pixels, count);
  }
  picture.width = width;
  picture.height = height;
  picture.pixels = pixels;
  return VNL_OK;
}

int32_t vnlPictureLoadFile(const char* packName, const char* fileName, VNLPICTURE_T* picture) {
  return vnl::LoadRecordFile(packName, fileName, ".lmp", vnlPictureLoad, picture);
}

uint32_t* vnlPictureToRGB(const VNLPICTURE_T* image, const VNLPALETTE_T* colours, int32_t* levelOrNull) {
  if (image == nullptr || colours == nullptr) return nullptr;
  const VNLPICTURE_T& picture = *image;
  const VNLPALETTE_T& palette = *colours;
  int32_t plain = -1;
  int32_t& level = levelOrNull != nullptr ? *levelOrNull : plain;
  if (picture.width == 0 || picture.height == 0 || picture.pixels == nullptr || palette.colors == nullptr)
    return nullptr;
  uint64_t count = uint64_t(picture.width) * uint64_t(picture.height);
  auto* rgb = static_cast<uint32_t*>(AllocateZeroed(count, sizeof(uint32_t)));
  if (rgb == nullptr) return nullptr;

  const uint8_t* pixels = picture.pixels;
  if (ChooseRow(palette, level)) {
    const uint8_t* row = palette.colorMap + level;
    for (uint64_t i = 0; i < count; ++i) rgb[i] = palette.colors[row[pixels[i]]];
  } else {
    for (uint64_t i = 0; i < count; ++i) rgb[i] = palette.colors[pixels[i]];
  }
  return rgb;
}

namespace {

// Colours 224 to 255 shine at full brightness in the game, so a colour that
// merely resembles one must not turn into it.
constexpr uint32_t kLitEntries = 224;

int32_t Channel(uint32_t colour, int shift) { return int32_t((colour >> shift) & 0xFFu); }

uint8_t NearestIndex(const uint32_t* entries, uint32_t colour) {
  const uint32_t rgb = colour & 0xFFFFFFu;
  for (uint32_t e = 0; e < kPaletteEntries; ++e)
    if ((entries[e] & 0xFFFFFFu) == rgb) return uint8_t(e);
  uint32_t best = 0;
  int64_t bestDistance = INT64_MAX;
  for (uint32_t e = 0; e < kLitEntries; ++e) {
    int64_t distance = 0;
    for (int shift : {16, 8, 0}) {
      const int64_t d = Channel(entries[e], shift) - Channel(colour, shift);
      distance += d * d;
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = e;
    }
  }
  return uint8_t(best);
}

}  // namespace

int32_t vnlPaletteMap(const VNLPALETTE_T* palette, const uint32_t* colors, uint32_t count, int32_t transparent,
                      uint8_t* indices) {
  if (palette == nullptr || palette->colors == nullptr || colors == nullptr || indices == nullptr) return VNL_NO_BLOCK;
  const bool keyed = transparent >= 0 && transparent < int32_t(kPaletteEntries);
  for (uint32_t i = 0; i < count; ++i) {
    if (keyed && Channel(colors[i], 24) < 128) {
      indices[i] = uint8_t(transparent);
      continue;
    }
    indices[i] = NearestIndex(palette->colors, colors[i]);
  }
  return VNL_OK;
}
