// The picture mode: the frames of a sprite, or one picture lump, converted
// through the palette into image files.
#include <cstdlib>
#include <limits>

#include "console.h"
#include "images.h"
#include "modes.h"
#include "report.h"
#include "state.h"

namespace {

bool FitsImage(const VNLPICTURE_T& picture) {
  const uint32_t limit = uint32_t(std::numeric_limits<int32_t>::max());
  return picture.width <= limit && picture.height <= limit;
}

// Converts one picture through the palette (plain lookup) and saves it; a picture
// that gives no colours is skipped. `announce` is written before the first save.
void ConvertPicture(ConverterState& state, const VNLPICTURE_T& picture, const std::string& name, const char* announce) {
  if (!FitsImage(picture)) return;
  int32_t level = -1;
  uint32_t* colours = vnlPictureToRGB(picture, state.palette, level);
  if (colours == nullptr) return;
  if (announce != nullptr) SectionLine(announce);
  SaveImage(state, name, colours, int32_t(picture.width), int32_t(picture.height), 0, 0, false);
  std::free(colours);
}

}  // namespace

int RunPictureConversion(ConverterState& state) {
  const bool sprite = !state.spritePack.empty() || !state.spriteFile.empty();
  ConsoleWrite(":: CONVERT ");
  ConsoleLine(sprite ? "SPRITE" : "LUMP");
  if (state.paletteFile.empty()) return FailWith(state, "Palette: you must specify a palette file to convert pictures");

  ValueLine("  Palette:", state.paletteFile);
  int32_t code = LoadPalette(state);
  if (code != VNL_OK) return FailWithCode(state, "Palette: ", code);
  ValueLine("  Source:", sprite ? state.spriteFile : state.lumpFile);

  if (sprite) {
    uint8_t* const& held = state.sourceBytes.data;
    code = held != nullptr ? vnlSpriteLoad(held, state.sourceBytes.size, state.sprite)
                           : vnlSpriteLoad(state.spritePack, state.spriteFile, state.sprite);
    if (code != VNL_OK) return FailWithCode(state, "Source sprite: ", code);
    const VNLSPRITE_T& loaded = state.sprite;
    const uint64_t frameCount = uint64_t(loaded.sheetCount) + loaded.frameExtra;
    for (uint64_t i = 0; loaded.frames != nullptr && i < frameCount; ++i)
      ConvertPicture(state, loaded.frames[i], state.baseName + "_" + std::to_string(i), nullptr);
  } else {
    uint8_t* const& held = state.sourceBytes.data;
    code = held != nullptr ? vnlPictureLoad(held, state.sourceBytes.size, state.picture)
                           : vnlPictureLoad(state.lumpPack, state.lumpFile, state.picture);
    if (code != VNL_OK) return FailWithCode(state, "Source lump: ", code);
    ConvertPicture(state, state.picture, state.baseName, ":: OUTPUTS");
  }

  WriteReport(state);
  return 0;
}
