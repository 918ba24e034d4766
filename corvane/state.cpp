#include "state.h"

ItemState::~ItemState() { ReleaseRecords(*this); }

void ReleaseRecords(ItemState& item) {
  vnlModelKill(item.model);
  vnlModelDataKill(&item.stored);
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
