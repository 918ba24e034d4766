// The four modes the driver chooses from. Each mode returns 0 when it finished
// and 1 when it failed, with the text in the run's errorMessage.
#ifndef CORVANE_MODES_H
#define CORVANE_MODES_H

#include <string>

#include "state.h"

int RunModelConversion(ConverterState& state);
int RunPackList(ConverterState& state);
int RunPackExtract(ConverterState& state);
int RunPictureConversion(ConverterState& state);

// Exchanges Y and Z of every vertex of the selected frame (the model mode's -swapyz).
void SwapFrameYZ(ConverterState& state);

#endif
