// The plain-text report of what a run read.
#ifndef CORVANE_REPORT_H
#define CORVANE_REPORT_H

#include <cstdint>
#include <ctime>

// Writes gState.reportFile (nothing when it is empty).
int WriteReport();

// Share of a width x height grid covered by the model's triangles in skin space, in
// percent. Each triangle marks the integer positions (x, y) inside it, counted once.
// - A triangle whose three skin positions lie on one line (or coincide) has no
//   inside: it marks no cells.
// - Positions outside the grid (u or v of 1.0 or more, or negative) are dropped,
//   never marked; the scan is clipped to the grid, so a huge triangle costs no more
//   than the grid itself.
// - A triangle naming a vertex the model does not have is skipped.
// - A grid of no cells (width or height below 1), or one above 64 M cells, covers
//   nothing: the result is 0, never nan.
double SkinCoverage(int32_t width, int32_t height);

// Tests pin the report's date and time with a fixed moment; null restores the clock.
void SetReportTime(const std::tm* fixed);

#endif
