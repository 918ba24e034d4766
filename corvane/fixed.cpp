// Placeholder until the writer lands.
#include "fixed.h"
std::string FormatFixed(float, int, int) { return ""; }
void AppendFixed(std::string&, float, int, int) {}
