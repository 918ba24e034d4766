// Large synthetic models for benchmarks and size-scaling runs.
#ifndef TESTDATA_BIG_MODEL_H
#define TESTDATA_BIG_MODEL_H

#include "builders.h"

namespace testdata {

// A model of `vertices` vertices (every eighth on the seam), about twice as many
// triangles (a strip, every third facing back), `frames` frames and one skin of
// skinWidth x skinHeight; positions vary from frame to frame. The strip's
// triangles reach across the skin, so it is no model for skin-space work.
ModelRecipe BigModel(int vertices, int frames, int skinWidth = 296, int skinHeight = 194);

// A model whose triangles tile its skin the way a real model's do: a grid of
// columns x rows cells laid over the skin, two triangles per cell, every grid
// point one vertex. One frame.
ModelRecipe TiledSkinModel(int columns, int rows, int skinWidth, int skinHeight);

// `count` triangles that each reach from corner to corner of the skin, so that
// every one of them spans the whole skin grid. One frame.
ModelRecipe WholeSkinTriangles(int count, int skinWidth, int skinHeight);

}  // namespace testdata

#endif
