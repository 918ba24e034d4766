// One item through the mode its options choose.
#include "modes.h"

int RunMode(ModeKind kind, const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  switch (kind) {
    case ModeKind::PackList:
      return RunPackList(options, item, outcome);
    case ModeKind::PackCreate:
      return RunPackCreate(options, outcome);
    case ModeKind::Image:
      return RunImageConversion(options, item, outcome);
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
