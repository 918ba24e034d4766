// The model files: ASE scene, OBJ object with its MTL material library, glTF, and
// the alias model itself; and the table that picks one by the output name's ending.
#ifndef CORVANE_MODEL_WRITERS_H
#define CORVANE_MODEL_WRITERS_H

#include <string>

#include "state.h"

// Writes the item's frame of the model to the run's dstFile as an ASE scene.
void WriteAse(const RunOptions& options, const ItemState& item, RunOutcome& outcome);
// Writes the item's frame to the run's dstFile (OBJ) and its material library.
void WriteObj(const RunOptions& options, const ItemState& item, RunOutcome& outcome);
// Writes the source model, every frame and skin, to the run's dstFile as an alias
// model (.mdl); -scale rescales it onto a refitted lattice.
void WriteMdl(const RunOptions& options, const ItemState& item, RunOutcome& outcome);

// Writes every skin picture through the palette as baseName_N in the run's image
// format, at the item's skin size (nothing without a skin size).
void WriteSkinImages(const RunOptions& options, const ItemState& item, RunOutcome& outcome);

// A model file format, by the output name's ending.
struct ModelWriter {
  const char* ending;  // lower case, with its dot
  // Null in a build without it (glTF without the JSON library): the name is known, and refused.
  void (*write)(const RunOptions& options, const ItemState& item, RunOutcome& outcome);
  bool readsStored;  // takes the model as stored (item.stored) besides the model record
  bool embedsSkins;  // the file holds the skins: image files only when -outimg asks
  bool finiteOnly;   // stores positions, and the differences between frames, as bounded floats
};

// The writer of `name` by its ending (whatever its case), or null.
const ModelWriter* ModelWriterFor(const std::string& name);
// The endings of the model files corvane knows, default first, as one list for
// vnlForceType (".ase .obj .glb .gltf .mdl"); a build without glTF output knows those
// endings too, so that such a name is refused rather than given ".ase".
std::string ModelEndings();
// The endings this build writes, for a refusal: ".ase, .obj, ...".
std::string WrittenModelEndings();
// True when `name` ends in one of them (whatever its case): a name the model mode
// can write.
bool IsModelOutputName(const std::string& name);

#endif
