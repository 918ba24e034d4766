// A glTF file as the model mode's source: read, written as an alias model in
// memory, and loaded from there like any .mdl, so that every output takes it.
#ifndef CORVANE_GLTF_SOURCE_H
#define CORVANE_GLTF_SOURCE_H

#include <string>

#include "state.h"

// Reads the run's glTF source (and its palette, which true-colour skins are mapped
// to) into item.model and item.stored; 0, or 1 with the run's failure recorded.
int LoadGltfSource(const RunOptions& options, ItemState& item, RunOutcome& outcome);

#endif
