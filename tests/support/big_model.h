// Large synthetic models for benchmarks and size-scaling runs.
#ifndef TESTS_SUPPORT_BIG_MODEL_H
#define TESTS_SUPPORT_BIG_MODEL_H

#include "builders.h"

namespace testdata {

// A model of `vertices` vertices (every eighth on the seam), about twice as many
// triangles (a strip, every third facing back), `frames` frames and one skin of
// skinWidth x skinHeight; positions vary from frame to frame.
ModelSpec BigModel(int vertices, int frames, int skinWidth = 296, int skinHeight = 194);

}  // namespace testdata

#endif
