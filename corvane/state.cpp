#include "state.h"

ConverterState gState;
std::string gProgramName = "CORVANE.EXE";
std::string gUsageNote;
std::vector<std::string> gArguments;

void ResetState() {
  vnlModelKill(gState.model);
  vnlPaletteKill(gState.palette);
  vnlPackInfoKill(gState.packInfo);
  vnlSpriteKill(gState.sprite);
  vnlPictureKill(gState.picture);
  gState = ConverterState{};
}
