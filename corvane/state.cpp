#include "state.h"

ConverterState::~ConverterState() { ReleaseRecords(*this); }

void ReleaseRecords(ConverterState& state) {
  vnlModelKill(state.model);
  vnlModelDataKill(&state.stored);
  vnlPaletteKill(state.palette);
  vnlPackInfoKill(state.packInfo);
  vnlSpriteKill(state.sprite);
  vnlPictureKill(state.picture);
}

int FailWith(ConverterState& state, const std::string& text) {
  state.errorMessage = text;
  return 1;
}

int FailWithCode(ConverterState& state, const std::string& prefix, int32_t code) {
  std::string message;
  vnlErrorString(code, message);
  // A code the library has no message for still says something.
  if (message.empty()) message = "error " + std::to_string(code);
  return FailWith(state, prefix + message);
}

int32_t LoadPalette(ConverterState& state) {
  uint8_t* const& held = state.paletteBytes.data;
  return held != nullptr ? vnlPaletteLoad(held, state.paletteBytes.size, state.palette)
                         : vnlPaletteLoad(state.palettePack, state.paletteFile, state.palette);
}
