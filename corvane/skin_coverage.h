// The skin coverage figure the report prints.
#ifndef CORVANE_SKIN_COVERAGE_H
#define CORVANE_SKIN_COVERAGE_H

#include <cstdint>

#include "varnel/varnel.h"

// Share of a width x height grid covered by `model`'s triangles in skin space, in
// percent. Each triangle marks the integer positions (x, y) inside it, counted once
// (skin_coverage.cpp states the inside test, and the one rule for slivers).
// - A triangle whose three skin positions lie on one line (or coincide) has no
//   inside: it marks no cells.
// - Positions outside the grid (u or v of 1.0 or more, or negative) are dropped,
//   never marked; the scan is clipped to the grid, so a huge triangle costs no more
//   than the grid itself.
// - A triangle naming a vertex the model does not have is skipped.
// - A grid of no cells (width or height below 1), or one above 64 M cells, covers
//   nothing: the result is 0, never nan.
// The cost follows the rows each triangle spans and the cells near it, never its
// bounding box: a long thin sliver costs its rows, not the grid.
double SkinCoverage(const VNLMODEL_T& model, int32_t width, int32_t height);

#endif
