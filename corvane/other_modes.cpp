// The three modes that work on something other than a model: pack listing,
// pack extraction, and picture conversion (sprite frames or one picture lump).
#include <cstdlib>
#include <limits>

#include "console.h"
#include "driver.h"
#include "images.h"
#include "modes.h"
#include "output.h"
#include "report.h"
#include "state.h"

namespace {

int Fail(const std::string& text) {
  gState.errorMessage = text;
  return 1;
}

bool FitsImage(const VNLPICTURE_T& picture) {
  const uint32_t limit = uint32_t(std::numeric_limits<int32_t>::max());
  return picture.width <= limit && picture.height <= limit;
}

// Converts one picture through the palette (plain lookup) and saves it; a picture
// that gives no colours is skipped. `announce` is written before the first save.
void ConvertPicture(const VNLPICTURE_T& picture, const std::string& name, const char* announce) {
  if (!FitsImage(picture)) return;
  int32_t level = -1;
  uint32_t* colours = vnlPictureToRGB(picture, gState.palette, level);
  if (colours == nullptr) return;
  if (announce != nullptr) SectionLine(announce);
  SaveImage(name, colours, int32_t(picture.width), int32_t(picture.height), 0, 0, false);
  std::free(colours);
}

}  // namespace

int RunPackList() {
  SectionLine(":: PACK LIST");
  if (gState.listPack.empty() || gState.listFile.empty())
    return Fail("Pack list: please use the packed ressource syntax (PAK::FILE)");
  int32_t code = vnlPackInfoRead(gState.listPack, gState.packInfo);
  if (code != VNL_OK) {
    vnlPackInfoKill(gState.packInfo);
    return FailWith("Pack list: ", code);
  }
  ValueLine("  Source:", gState.listPack);
  WriteReport();
  vnlPackInfoKill(gState.packInfo);
  return 0;
}

int RunPackExtract() {
  SectionLine(":: PACK EXTRACT");
  if (gState.extractPack.empty() || gState.extractFile.empty())
    return Fail("Pack extract: please use the packed ressource syntax (PAK::FILE)");
  uint8_t* data = nullptr;
  uint32_t size = 0;
  int32_t code = vnlPackFileLoad(gState.extractPack, gState.extractFile, data, size);
  if (code != VNL_OK) {
    std::free(data);
    return FailWith("Pack info: ", code);
  }
  ValueLine("  Source:", gState.extractPack);
  ValueLine("  Extract:", gState.extractFile);
  WriteOutput(gState.baseName, data, size);
  std::free(data);
  vnlPackInfoKill(gState.packInfo);
  return 0;
}

int RunPictureConversion() {
  const bool sprite = !gState.spritePack.empty() || !gState.spriteFile.empty();
  ConsoleWrite(":: CONVERT ");
  ConsoleLine(sprite ? "SPRITE" : "LUMP");
  if (gState.paletteFile.empty()) return Fail("Palette: you must specify a palette file to convert pictures");

  ValueLine("  Palette:", gState.paletteFile);
  int32_t code = vnlPaletteLoad(gState.palettePack, gState.paletteFile, gState.palette);
  if (code != VNL_OK) return FailWith("Palette: ", code);
  ValueLine("  Source:", sprite ? gState.spriteFile : gState.lumpFile);

  if (sprite) {
    code = vnlSpriteLoad(gState.spritePack, gState.spriteFile, gState.sprite);
    if (code != VNL_OK) return FailWith("Source sprite: ", code);
    const VNLSPRITE_T& loaded = gState.sprite;
    const uint64_t frameCount = uint64_t(loaded.sheetCount) + loaded.frameExtra;
    for (uint64_t i = 0; loaded.frames != nullptr && i < frameCount; ++i)
      ConvertPicture(loaded.frames[i], gState.baseName + "_" + std::to_string(i), nullptr);
  } else {
    code = vnlPictureLoad(gState.lumpPack, gState.lumpFile, gState.picture);
    if (code != VNL_OK) return FailWith("Source lump: ", code);
    ConvertPicture(gState.picture, gState.baseName, ":: OUTPUTS");
  }

  WriteReport();
  return 0;
}
