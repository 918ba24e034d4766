// The four modes and the driver around them. Each mode returns 0 when it finished
// and 1 when it failed, with the text in gState.errorMessage.
#ifndef CORVANE_MODES_H
#define CORVANE_MODES_H

#include <string>

int RunConverter();
int RunModelConversion();
int RunPackList();
int RunPackExtract();
int RunPictureConversion();

// Splits "PAK::FILE" into its pack and file parts and forces their extensions.
void SplitPackedName(std::string& source, std::string& packOut, std::string& fileOut, const std::string& extList);
// Exchanges Y and Z of every vertex of the selected frame.
void SwapFrameYZ();

#endif
