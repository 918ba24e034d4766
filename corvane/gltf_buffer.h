// The glTF binary buffer: where each part lies (worked out before a byte is
// written, since the JSON names every offset), then the parts streamed in order.
#ifndef CORVANE_GLTF_BUFFER_H
#define CORVANE_GLTF_BUFFER_H

#include <cstdint>
#include <string>
#include <vector>

#include "gltf_mesh.h"
#include "gltf_writer.h"

struct GltfSection {
  uint64_t offset = 0;
  uint64_t length = 0;  // without the padding that follows
};

struct GltfLayout {
  GltfSection indices;              // three per triangle, 16 or 32 bits
  GltfSection positions;            // base frame, 3 floats per vertex
  GltfSection texCoords;            // 2 floats per vertex
  GltfSection deltas;               // every frame's differences from the base, frame after frame
  GltfSection keyTimes;             // 0, 0.1, 0.2 ... as long as the longest run
  GltfSection keyWeights;           // as many 1.0 as the longest run
  GltfSection keyIndices;           // per frame, where its weight 1 sits in its run's weights
  std::vector<GltfSection> images;  // one per skin picture; length 0 without image
  GltfSection normals;              // base frame, 3 floats per vertex (with stored normals only)
  GltfSection normalDeltas;         // every frame's normal differences, frame after frame
  uint64_t total = 0;               // a multiple of 4
};

GltfLayout LayOutBuffer(const GltfMesh& mesh, const std::vector<std::string>& images);
// Writes the buffer's bytes, padding included, through `sink` in chunks of modest size.
bool StreamBuffer(const GltfMesh& mesh, const std::vector<std::string>& images, const GltfLayout& layout,
                  const GltfSink& sink);

// Index in a run's flattened weights (keys x frames) of the one weight 1 of its
// key `key`: the key's own frame.
inline uint64_t KeyWeightIndex(const GltfMesh& mesh, const GltfRun& run, uint32_t key) {
  return uint64_t(key) * mesh.frameTotal + run.first + key;
}

// The time of a run's key, 10 keys a second.
inline float KeyTime(uint32_t key) { return float(double(key) / 10.0); }

#endif
