// Small files whose headers claim far more than they hold: each once cost
// corvane gigabytes, hours or thousands of files. Tests replay them with loose
// bounds on time, memory and bytes written; the fuzz targets are seeded with them.
#ifndef TESTDATA_COSTLY_INPUTS_H
#define TESTDATA_COSTLY_INPUTS_H

#include "builders.h"

namespace testdata {

// A 36-byte sprite header claiming 38 million frames, none of them present.
Bytes ManyFramesSprite();
// A 72-byte sprite whose one frame claims 16384 x 16384 pixels (16 are there).
Bytes GigapixelFrameSprite();
// A 92-byte model: its header and the start of one skin group of 65535 pictures.
Bytes SkinGroupModel();
// `count` slivers (triangles of area 1/2) that each reach across most of a
// skin of side x side texels, on `count` vertices (at least 3).
ModelRecipe SliverModel(int count, int side);

}  // namespace testdata

#endif
