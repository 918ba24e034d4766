// The picture mode: the frames of a sprite, or one picture lump, converted
// through the palette into image files.
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

// Converts one picture through the palette (plain lookup) and saves it.
// `announce` is written before the picture's lines.
void ConvertPicture(const RunOptions& options, const ItemState& item, RunOutcome& outcome, const VNLPICTURE_T& picture,
                    const std::string& name, const char* announce) {
  if (!FitsImage(picture)) return;
  if (announce != nullptr) SectionLine(announce);
  SavePicture(options, outcome, name, picture, item.palette, -1, 0, 0, false);
}

}  // namespace

int RunPictureConversion(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  const bool sprite = ChosenMode(options) == ModeKind::Sprite;
  ConsoleWrite(":: CONVERT ");
  ConsoleLine(sprite ? "SPRITE" : "LUMP");
  if (options.paletteFile.empty())
    return FailWith(outcome, "Palette: you must specify a palette file to convert pictures");

  ValueLine("  Palette:", options.paletteFile);
  int32_t code = LoadPalette(options, item);
  if (code != VNL_OK) return FailWith(outcome, "Palette: ", code);
  ValueLine("  Source:", sprite ? options.spriteFile : options.lumpFile);

  // The loaders clean the names they are handed: they get copies.
  std::string pack = sprite ? options.spritePack : options.lumpPack;
  std::string file = sprite ? options.spriteFile : options.lumpFile;
  uint8_t* const& held = item.sourceBytes.data;
  if (sprite) {
    code = held != nullptr ? vnlSpriteLoad(held, item.sourceBytes.size, item.sprite)
                           : vnlSpriteLoad(pack, file, item.sprite);
    if (code != VNL_OK) return FailWith(outcome, "Source sprite: ", code);
    const VNLSPRITE_T& loaded = item.sprite;
    const uint64_t frameCount = uint64_t(loaded.sheetCount) + loaded.frameExtra;
    for (uint64_t i = 0; loaded.frames != nullptr && i < frameCount; ++i)
      ConvertPicture(options, item, outcome, loaded.frames[i], options.baseName + "_" + std::to_string(i), nullptr);
  } else {
    code = held != nullptr ? vnlPictureLoad(held, item.sourceBytes.size, item.picture)
                           : vnlPictureLoad(pack, file, item.picture);
    if (code != VNL_OK) return FailWith(outcome, "Source lump: ", code);
    ConvertPicture(options, item, outcome, item.picture, options.baseName, ":: OUTPUTS");
  }

  WriteReport(options, item, outcome);
  return 0;
}
