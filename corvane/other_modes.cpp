// Placeholder until the modes land.
#include "modes.h"
int RunPackList() { return 1; }
int RunPackExtract() { return 1; }
int RunPictureConversion() { return 1; }
