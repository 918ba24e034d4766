// The choice of one mode from the options, for the driver, the batch and the
// picture mode alike.
#include "modes.h"

namespace {

bool AnyNotEmpty(const std::string& a, const std::string& b) { return !a.empty() || !b.empty(); }

}  // namespace

ModeKind ChosenMode(const RunOptions& options) {
  if (AnyNotEmpty(options.listPack, options.listFile)) return ModeKind::PackList;
  if (AnyNotEmpty(options.extractPack, options.extractFile)) return ModeKind::PackExtract;
  if (AnyNotEmpty(options.spritePack, options.spriteFile)) return ModeKind::Sprite;
  if (AnyNotEmpty(options.lumpPack, options.lumpFile)) return ModeKind::Lump;
  return ModeKind::Model;
}

int RunMode(ModeKind kind, const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  switch (kind) {
    case ModeKind::PackList:
      return RunPackList(options, item, outcome);
    case ModeKind::PackExtract:
      return RunPackExtract(options, item, outcome);
    case ModeKind::Sprite:
    case ModeKind::Lump:
      return RunPictureConversion(options, item, outcome);
    case ModeKind::Model:
      break;
  }
  return RunModelConversion(options, item, outcome);
}
