// The picture mode: the frames of a sprite, or one picture lump, converted
// through the palette into image files.
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

// Converts one picture through the palette (plain lookup) and saves it.
// `announce` is written before the picture's lines.
void ConvertPicture(const RunOptions& options, const ItemState& item, RunOutcome& outcome, const VNLPICTURE_T& picture,
                    const std::string& name, const char* announce) {
  if (!FitsImage(picture)) return;
  if (announce != nullptr) SectionLine(announce);
  SavePicture(options, outcome, name, picture, item.palette, -1, 0, 0, false);
}

// The picture a WAD2 lump holds: a picture lump, a mip texture's full-size level,
// or the console font (a bare 128 x 128 picture).
int32_t LoadWadPicture(const std::string& wadName, const std::string& lumpName, VNLPICTURE_T& picture) {
  std::string noPack, wadFile = wadName;
  uint8_t* wad = nullptr;
  uint32_t wadLength = 0;
  int32_t code = vnlPackFileLoad(noPack, wadFile, wad, wadLength);
  uint8_t* lump = nullptr;
  uint32_t length = 0;
  uint8_t type = 0;
  if (code == VNL_OK) code = vnlWadLumpLoad(wad, wadLength, lumpName.c_str(), &lump, &length, &type);
  std::free(wad);
  if (code != VNL_OK) return code;
  if (type == VNL_LUMP_PICTURE) {
    code = vnlPictureLoad(lump, length, picture);
  } else if (type == VNL_LUMP_MIPTEX) {
    VNLMIPTEX_T texture{};
    code = vnlMipTexLoad(lump, length, &texture);
    if (code == VNL_OK) {
      picture = texture.levels[0];  // the record takes the full-size level over
      texture.levels[0] = VNLPICTURE_T{};
    } else if (length == kFontSide * kFontSide) {
      code = VNL_OK;
      picture = VNLPICTURE_T{kFontSide, kFontSide, lump};
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
    if (IsWadName(pack))
      code = LoadWadPicture(pack, file, item.picture);
    else
      code = held != nullptr ? vnlPictureLoad(held, item.sourceBytes.size, item.picture)
                             : vnlPictureLoad(pack, file, item.picture);
    if (code != VNL_OK) return FailWith(outcome, "Source lump: ", code);
    ConvertPicture(options, item, outcome, item.picture, options.baseName, ":: OUTPUTS");
  }

  WriteReport(options, item, outcome);
  return 0;
}
