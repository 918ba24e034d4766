// The model files: ASE scene, OBJ object with its MTL material library, and the
// alias model itself.
#ifndef CORVANE_MODEL_WRITERS_H
#define CORVANE_MODEL_WRITERS_H

#include <string>

#include "state.h"

// Writes the selected frame of the run's model to its dstFile as an ASE scene.
int WriteAse(ConverterState& state);
// Writes the selected frame to the run's dstFile (OBJ) and its material library.
int WriteObj(ConverterState& state);
// Writes the source model, every frame and skin, to the run's dstFile as an alias
// model (.mdl); -scale rescales it onto a refitted lattice.
int WriteMdl(ConverterState& state);

// The endings of the model files corvane knows, default first, as one list for
// vnlForceType (".ase .obj .glb .gltf .mdl"); a build without glTF output knows those
// endings too, so that such a name is refused rather than given ".ase".
std::string ModelEndings();
// True when `name` ends in one of them (whatever its case): a name the model mode
// can write.
bool IsModelOutputName(const std::string& name);

#endif
