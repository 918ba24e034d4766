// The glTF JSON: scene, node, mesh with its morph targets, animations, materials
// and the views into the binary buffer.
#ifndef CORVANE_GLTF_DOCUMENT_H
#define CORVANE_GLTF_DOCUMENT_H

#include <string>

#include "gltf_buffer.h"
#include "gltf_mesh.h"

// The document as UTF-8 JSON text. `bufferUri` names the .bin file of a .gltf;
// empty for a .glb, whose buffer is the file's own binary chunk.
std::string GltfJson(const GltfMesh& mesh, const GltfLayout& layout, const std::string& baseName,
                     const std::string& bufferUri);

// A file name as a relative URI: bytes outside the unreserved set become %XX.
std::string UriOfFileName(const std::string& name);

#endif
