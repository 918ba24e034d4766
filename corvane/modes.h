// The six modes the driver chooses from. Each mode returns 0 when it finished
// and 1 when it failed, with the text in the run's errorMessage.
#ifndef CORVANE_MODES_H
#define CORVANE_MODES_H

#include <string>

#include "state.h"

int RunModelConversion(ConverterState& state);
int RunPackList(ConverterState& state);
int RunPackExtract(ConverterState& state);
int RunPictureConversion(ConverterState& state);
// A pack from the files a disk pattern matches (-pakcreate).
int RunPackCreate(ConverterState& state);
// A picture lump, sprite or WAD2 from image files (-image).
int RunImageConversion(ConverterState& state);

// Exchanges Y and Z of every vertex of the selected frame (the model mode's -swapyz).
void SwapFrameYZ(ConverterState& state);

#endif
