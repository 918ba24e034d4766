// Palette load, and a colormap attached to a loaded palette, converted through.
#include "varnel/varnel.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  VNLPALETTE_T palette{};
  vnlPaletteLoad(block, length, palette);

  static uint8_t plain[768];
  uint8_t* plainBlock = plain;
  VNLPALETTE_T withMap{};
  vnlPaletteLoad(plainBlock, 768, withMap);
  if (vnlColorMapLoad(block, length, withMap) == 0) {
    static uint8_t lump[8 + 16] = {4, 0, 0, 0, 4, 0, 0, 0, 0, 1, 2, 3, 250, 251, 252, 253, 254, 255};
    uint8_t* lumpBlock = lump;
    VNLPICTURE_T picture{};
    vnlPictureLoad(lumpBlock, sizeof lump, picture);
    for (int32_t level : {-1, 0, 1, 63, 100000}) std::free(vnlPictureToRGB(picture, withMap, level));
    vnlPictureKill(picture);
  }
  vnlPaletteKill(withMap);
  vnlPaletteKill(palette);
  return 0;
}
