// The model's values as stored, kept in the mesh's extras so that a reader can
// write the same model file back: header, skin vertices and faces as stored,
// frame and skin entries with their intervals, boxes, and where each skin's
// picture sits among the images. README names every key.
#ifndef CORVANE_GLTF_EXTRAS_H
#define CORVANE_GLTF_EXTRAS_H

#include <nlohmann/json.hpp>

#include "gltf_buffer.h"
#include "gltf_mesh.h"

// The "quake" object of mesh.extras; null when the mesh has no stored record.
nlohmann::ordered_json QuakeExtras(const GltfMesh& mesh, const GltfLayout& layout);

#endif
