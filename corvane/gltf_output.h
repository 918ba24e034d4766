// The glTF files of the model mode: the run's options and item made into the writer's input
// (the chosen frame, the skins as PNGs with -pal) and written through the output
// module, asked about and published like every other output.
#ifndef CORVANE_GLTF_OUTPUT_H
#define CORVANE_GLTF_OUTPUT_H

#include "state.h"

// The model to state.dstFile as one self-contained .glb.
void WriteGlbModel(const RunOptions& options, const ItemState& item, RunOutcome& outcome);
// The model to state.dstFile as a .gltf and its buffer, a .bin of the same name
// beside it. Both are asked about before either is written, and the .gltf is
// written only once its .bin is: a No or a failure leaves the old pair together.
void WriteGltfModel(const RunOptions& options, const ItemState& item, RunOutcome& outcome);

#endif
