// The picture mode: the frames of a sprite, or one picture lump, converted
// through the palette into image files.
#include <cstdlib>
#include <limits>

#include "console.h"
#include "images.h"
#include "modes.h"
#include "report.h"
#include "sources.h"
#include "state.h"

namespace {

constexpr uint32_t kFontSide = 128;

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

// The picture a WAD2 lump holds: a picture lump, a mip texture's full-size level,
// or the console font (a bare 128 x 128 picture).
int32_t LoadWadPicture(ConverterState& state) {
  std::string noPack, wadName = state.lumpPack;
  uint8_t* wad = nullptr;
  uint32_t wadLength = 0;
  int32_t code = vnlPackFileLoad(noPack, wadName, wad, wadLength);
  uint8_t* lump = nullptr;
  uint32_t length = 0;
  uint8_t type = 0;
  if (code == VNL_OK) code = vnlWadLumpLoad(wad, wadLength, state.lumpFile.c_str(), &lump, &length, &type);
  std::free(wad);
  if (code != VNL_OK) return code;
  if (type == VNL_LUMP_PICTURE) {
    code = vnlPictureLoad(lump, length, state.picture);
  } else if (type == VNL_LUMP_MIPTEX) {
    VNLMIPTEX_T texture{};
    code = vnlMipTexLoad(lump, length, &texture);
    if (code == VNL_OK) {
      state.picture = texture.levels[0];  // the record takes the full-size level over
      texture.levels[0] = VNLPICTURE_T{};
    } else if (length == kFontSide * kFontSide) {
      code = VNL_OK;
      state.picture = VNLPICTURE_T{kFontSide, kFontSide, lump};
      lump = nullptr;
    }
    vnlMipTexKill(&texture);
  } else {
    code = VNL_NOT_PICTURE;
  }
  std::free(lump);
  return code;
}

}  // namespace

int RunPictureConversion(ConverterState& state) {
  const bool sprite = !state.spritePack.empty() || !state.spriteFile.empty();
  ConsoleWrite(":: CONVERT ");
  ConsoleLine(sprite ? "SPRITE" : "LUMP");
  if (state.paletteFile.empty()) return FailWith(state, "Palette: you must specify a palette file to convert pictures");

  ValueLine("  Palette:", state.paletteFile);
  int32_t code = vnlPaletteLoad(state.palettePack, state.paletteFile, state.palette);
  if (code != VNL_OK) return FailWithCode(state, "Palette: ", code);
  ValueLine("  Source:", sprite ? state.spriteFile : state.lumpFile);

  if (sprite) {
    code = vnlSpriteLoad(state.spritePack, state.spriteFile, state.sprite);
    if (code != VNL_OK) return FailWithCode(state, "Source sprite: ", code);
    const VNLSPRITE_T& loaded = state.sprite;
    const uint64_t frameCount = uint64_t(loaded.sheetCount) + loaded.frameExtra;
    for (uint64_t i = 0; loaded.frames != nullptr && i < frameCount; ++i)
      ConvertPicture(state, loaded.frames[i], state.baseName + "_" + std::to_string(i), nullptr);
  } else {
    code = IsWadName(state.lumpPack) ? LoadWadPicture(state)
                                     : vnlPictureLoad(state.lumpPack, state.lumpFile, state.picture);
    if (code != VNL_OK) return FailWithCode(state, "Source lump: ", code);
    ConvertPicture(state, state.picture, state.baseName, ":: OUTPUTS");
  }

  WriteReport(state);
  return 0;
}
