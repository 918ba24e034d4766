// Picture lump load and conversion.
#include "varnel/varnel.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  VNLPICTURE_T picture{};
  if (vnlPictureLoad(block, length, picture) == 0) {
    static uint8_t paletteBytes[768];
    uint8_t* paletteBlock = paletteBytes;
    VNLPALETTE_T palette{};
    vnlPaletteLoad(paletteBlock, 768, palette);
    int32_t level = -1;
    std::free(vnlPictureToRGB(picture, palette, level));
    vnlPaletteKill(palette);
  }
  int32_t type = 0;
  vnlWhatIs(block, length, type);
  vnlPictureKill(picture);
  return 0;
}
