// What the glTF writer takes from the model record: counts, frame names and their
// animation runs, and every number in glTF's axes with its bounds.
#ifndef CORVANE_GLTF_MESH_H
#define CORVANE_GLTF_MESH_H

#include <cstdint>
#include <string>
#include <vector>

#include "gltf_writer.h"
#include "varnel/varnel.h"

// One animation: a frame group, or consecutive single frames that share a name stem.
struct GltfRun {
  std::string name;  // the stem, or the first frame's whole name when the stem is empty
  uint32_t first = 0;
  uint32_t count = 0;
  bool group = false;  // a frame group of the file, never merged with its neighbours
};

struct GltfBounds {
  float min[3] = {0, 0, 0};
  float max[3] = {0, 0, 0};
};

struct GltfMesh {
  const VNLMODEL_T* model = nullptr;
  uint32_t vertexTotal = 0;  // the file's vertices and the on-seam copies
  uint32_t triangleCount = 0;
  uint32_t frameTotal = 0;    // groups flattened
  uint32_t pictureTotal = 0;  // skin pictures, groups flattened
  uint32_t baseFrame = 0;
  bool wideIndices = false;  // 32-bit indices: a 16-bit 65535 would restart the strip
  double halfTexelU = 0;     // half a skin texel in coordinates
  double halfTexelV = 0;
  std::vector<std::string> frameNames;  // the stored bytes, up to the first zero
  std::vector<GltfRun> runs;            // empty for a model of one frame
  std::vector<float> keyTimes;          // per frame: its key's time in its run, in seconds
  GltfBounds basePositions;
  std::vector<GltfBounds> deltas;  // one per frame when there are morph targets
  // Frames alike (positions and stored normals) are stored once: per frame the
  // index of its data among the stored ones, and per stored one its first frame.
  std::vector<uint32_t> frameSlot;
  std::vector<uint32_t> slotFrame;
  const VNLMODELDATA_T* stored = nullptr;  // null unless it matches the record
  std::vector<uint32_t> fileVertex;        // per vertex: the stored vertex it copies
  bool positionsMoved = false;             // see GltfInput

  bool normals() const { return stored != nullptr; }

  bool morphs() const { return frameTotal > 1; }
};

// False when the record cannot be written: arrays missing, a triangle naming a
// vertex outside the record, or the base frame outside the frames.
bool DescribeMesh(const GltfInput& input, GltfMesh& mesh);

// A name less its trailing digits: "run12" gives "run".
std::string FrameStem(const std::string& name);
// The runs of consecutive names sharing a stem, in order; a frame group (groupSize
// per frame: the group's frame count at its first frame, else 0) is a run of its own.
std::vector<GltfRun> AnimationRuns(const std::vector<std::string>& names, const std::vector<uint32_t>& groupSize = {});
// Per frame, its key's time: 0.1 s apart in a run; in a frame group with stored
// `intervals` (per frame, rising) a frame starts where the one before it ends.
std::vector<float> KeyTimes(const std::vector<GltfRun>& runs, uint32_t frameTotal, const float* intervals);

// Vertex i of the base frame, in glTF's axes.
VNLVEC3_T BasePosition(const GltfMesh& mesh, uint32_t i);
// Vertex i of `frame` less its base position, in glTF's axes.
VNLVEC3_T MorphDelta(const GltfMesh& mesh, uint32_t frame, uint32_t i);
// The stored normal of vertex i in `frame`, in glTF's axes (needs normals()).
VNLVEC3_T FrameNormal(const GltfMesh& mesh, uint32_t frame, uint32_t i);
// FrameNormal of `frame` less that of the base frame.
VNLVEC3_T NormalDelta(const GltfMesh& mesh, uint32_t frame, uint32_t i);
// The skin coordinate of vertex i at its texel's centre, from the top-left corner.
void TexCoord(const GltfMesh& mesh, uint32_t i, float& u, float& v);

#endif
