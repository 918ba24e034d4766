// FormatFixed: the fixed-width decimal field of the ASE, OBJ and report files.
#ifndef CORVANE_FIXED_H
#define CORVANE_FIXED_H

#include <string>

// The value with 7 significant digits in plain decimal, the integer part right-aligned
// in `intWidth` columns and the fraction cut (not rounded) to `decimals` digits.
std::string FormatFixed(float value, int intWidth, int decimals);
// Appends FormatFixed(value, intWidth, decimals) to `out` (the writers' hot path).
void AppendFixed(std::string& out, float value, int intWidth, int decimals);
// A blank, then the value in the 13-column field of the ASE and OBJ coordinates.
void AppendCoordinate(std::string& out, float value);

#endif
