// Sprite loader, and every frame through a palette.
#include "varnel/varnel.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  VNLSPRITE_T sprite{};
  if (vnlSpriteLoad(block, length, sprite) == 0) {
    static uint8_t paletteBytes[768];
    uint8_t* paletteBlock = paletteBytes;
    VNLPALETTE_T palette{};
    vnlPaletteLoad(paletteBlock, 768, palette);
    for (uint32_t i = 0; i < sprite.sheetCount + sprite.frameExtra; ++i) {
      int32_t level = -1;
      std::free(vnlPictureToRGB(sprite.frames[i], palette, level));
    }
    vnlPaletteKill(palette);
  }
  vnlSpriteKill(sprite);
  return 0;
}
