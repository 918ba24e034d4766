// Placeholder until the driver lands.
#include "modes.h"
int RunConverter() { return 1; }
int RunModelConversion() { return 1; }
void SplitPackedName(std::string&, std::string&, std::string&, const std::string&) {}
void SwapFrameYZ() {}
