#include "state.h"

namespace {

bool AnyNotEmpty(const std::string& a, const std::string& b) { return !a.empty() || !b.empty(); }

}  // namespace

ModeKind ChosenMode(const RunOptions& options) {
  if (AnyNotEmpty(options.listPack, options.listFile)) return ModeKind::PackList;
  if (options.createAsked) return ModeKind::PackCreate;
  if (options.imageAsked) return ModeKind::Image;
  if (AnyNotEmpty(options.extractPack, options.extractFile)) return ModeKind::PackExtract;
  if (AnyNotEmpty(options.spritePack, options.spriteFile)) return ModeKind::Sprite;
  if (AnyNotEmpty(options.lumpPack, options.lumpFile)) return ModeKind::Lump;
  return ModeKind::Model;
}

ItemState::~ItemState() { ReleaseRecords(*this); }

void ReleaseRecords(ItemState& item) {
  vnlModelKill(item.model);
  vnlModelDataKill(&item.stored);
  item.sourcePositions.clear();
  vnlPaletteKill(item.palette);
  vnlPackInfoKill(item.packInfo);
  vnlSpriteKill(item.sprite);
  vnlPictureKill(item.picture);
}

int FailWith(RunOutcome& outcome, const std::string& text) {
  outcome.errorMessage = text;
  return 1;
}

int FailWith(RunOutcome& outcome, const std::string& prefix, int32_t code) {
  std::string message;
  vnlErrorString(code, message);
  // A code the library has no message for still says something.
  if (message.empty()) message = "error " + std::to_string(code);
  return FailWith(outcome, prefix + message);
}

int32_t LoadPalette(const RunOptions& options, ItemState& item) {
  uint8_t* const& held = item.paletteBytes.data;
  if (held != nullptr) return vnlPaletteLoad(held, item.paletteBytes.size, item.palette);
  std::string pack = options.palettePack, file = options.paletteFile;  // the library cleans the names
  return vnlPaletteLoad(pack, file, item.palette);
}
