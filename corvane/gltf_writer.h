// The glTF 2.0 writer: the whole model, every frame a morph target, its animations
// by name, every skin picture a material. It reads only what it is handed (the
// record after the model operations, the frame, the names, the encoded skins) and
// writes through a sink, so whoever calls it decides where the bytes go.
#ifndef CORVANE_GLTF_WRITER_H
#define CORVANE_GLTF_WRITER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "varnel/varnel.h"

// Receives the file's bytes in order; false stops the writing (the caller then
// throws the incomplete file away).
using GltfSink = std::function<bool(const char* data, size_t size)>;

struct GltfInput {
  const VNLMODEL_T* model = nullptr;  // loaded, with the model operations already applied
  // The same model as stored, or null: gives the normals and the header values kept
  // in mesh.extras. Ignored unless its counts match the model record's.
  const VNLMODELDATA_T* stored = nullptr;
  uint32_t baseFrame = 0;  // index among the flattened frames: the mesh's own positions
  std::string baseName;    // materials are baseName_0, baseName_1, ... as in the .mtl
  // One PNG file's bytes per skin picture (skin groups flattened), or none at all
  // for materials without texture. An empty entry leaves that material untextured.
  std::vector<std::string> skinImages;
  // The skin coordinates address the front half of the skin only (-skinnoback): a
  // texel is then twice as wide in coordinates.
  bool frontHalfOnly = false;
  // The positions left the stored lattice on the way (-scale, -swapyz): the stored
  // scale and origin no longer describe them and are not written.
  bool positionsMoved = false;
};

enum class GltfResult {
  Written,
  NotAModel,   // the record is empty, half-filled, or the base frame does not exist
  TooLarge,    // a .glb holds at most 4 GiB
  SinkFailed,  // the sink refused bytes
};

// One self-contained binary file (.glb).
GltfResult WriteGlb(const GltfInput& input, const GltfSink& glb);
// The JSON file (.gltf) to `json`, and the binary buffer it names as `binFileName`
// (a plain file name beside the JSON file) to `bin`.
GltfResult WriteGltf(const GltfInput& input, const std::string& binFileName, const GltfSink& json, const GltfSink& bin);

#endif
