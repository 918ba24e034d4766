// The plain-text report of what a run read.
#ifndef CORVANE_REPORT_H
#define CORVANE_REPORT_H

#include <cstdint>

// Writes gState.reportFile (nothing when it is empty).
int WriteReport();
// Share of a width x height grid covered by the model's triangles in skin space, in percent.
double SkinCoverage(int32_t width, int32_t height);

#endif
