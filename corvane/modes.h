// The four modes and the driver around them. Each mode returns 0 when it finished
// and 1 when it failed, with the text in the run's errorMessage.
#ifndef CORVANE_MODES_H
#define CORVANE_MODES_H

#include <string>

#include "state.h"

int RunModelConversion(ConverterState& state);
int RunPackList(ConverterState& state);
int RunPackExtract(ConverterState& state);
int RunPictureConversion(ConverterState& state);

// Splits "PAK::FILE" into its pack and file parts and forces their extensions.
void SplitPackedName(std::string& source, std::string& packOut, std::string& fileOut, const std::string& extList);
// Exchanges Y and Z of every vertex of the selected frame.
void SwapFrameYZ(ConverterState& state);

#endif
