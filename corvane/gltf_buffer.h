// The glTF binary buffer: where each part lies (worked out before a byte is
// written, since the JSON names every offset), then the parts streamed in order.
#ifndef CORVANE_GLTF_BUFFER_H
#define CORVANE_GLTF_BUFFER_H

#include <algorithm>
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
  GltfSection indices;                // three per triangle, 16 or 32 bits
  GltfSection positions;              // base frame, 3 floats per vertex
  GltfSection texCoords;              // 2 floats per vertex
  GltfSection deltas;                 // each stored frame's differences from the base (see GltfMesh::slotFrame)
  GltfSection keyTimes;               // per frame, its key's time in its run
  GltfSection keyWeights;             // 1 then frameTotal zeros, over and over: every run's weights
  std::vector<GltfSection> images;    // one per distinct skin image
  std::vector<int64_t> imageOf;       // per skin picture: its index in `images`, or -1 without image
  std::vector<uint32_t> imageSource;  // per image: the first skin picture that has it
  GltfSection normals;                // base frame, 3 floats per vertex (with stored normals only)
  GltfSection normalDeltas;           // each stored frame's normal differences
  uint64_t total = 0;                 // a multiple of 4
};

GltfLayout LayOutBuffer(const GltfMesh& mesh, const std::vector<std::string>& images);
// Writes the buffer's bytes, padding included, through `sink` in chunks of modest size.
bool StreamBuffer(const GltfMesh& mesh, const std::vector<std::string>& images, const GltfLayout& layout,
                  const GltfSink& sink);

// A run's weights are dense, keys x frames, all zeros but the key's own frame:
// in a pattern of a 1 every frameTotal + 1 floats, the window that starts this
// many floats in holds exactly them, so every run reads one shared view.
inline uint64_t WeightWindow(const GltfMesh& mesh, const GltfRun& run) {
  return run.first == 0 ? 0 : uint64_t(mesh.frameTotal) + 1 - run.first;
}

// The floats of the shared weight pattern: enough for every run's window.
inline uint64_t WeightPatternLength(const GltfMesh& mesh) {
  uint64_t length = 0;
  for (const GltfRun& run : mesh.runs)
    length = std::max(length, WeightWindow(mesh, run) + uint64_t(run.count) * mesh.frameTotal);
  return length;
}

#endif
