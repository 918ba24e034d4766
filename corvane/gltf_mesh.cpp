#include "gltf_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

#include "model_frame.h"

namespace {

constexpr size_t kNameSize = 16;

// The game's axes are X forward, Y left, Z up; glTF's are Y up with the same
// handedness. This turns the one into the other (a rotation, so the winding stays),
// and an importer that turns Y up back into Z up gets the game's axes again.
VNLVEC3_T ToGltfAxes(const VNLVEC3_T& p) { return VNLVEC3_T{p.x, p.z, -p.y}; }

// Stored group intervals are times since the group began, each past the one
// before; any others (zero, falling, not a number) cannot key an animation.
bool Rising(const float* intervals, uint32_t count) {
  float last = 0;
  for (uint32_t k = 0; k < count; ++k) {
    if (!(intervals[k] > last) || !std::isfinite(intervals[k])) return false;
    last = intervals[k];
  }
  return true;
}

void Widen(GltfBounds& bounds, const VNLVEC3_T& p, bool first) {
  const float values[3] = {p.x, p.y, p.z};
  for (int axis = 0; axis < 3; ++axis) {
    if (first || values[axis] < bounds.min[axis]) bounds.min[axis] = values[axis];
    if (first || values[axis] > bounds.max[axis]) bounds.max[axis] = values[axis];
  }
}

bool TrianglesInRange(const VNLMODEL_T& model, uint32_t vertexTotal, bool& wide) {
  wide = false;
  for (uint32_t t = 0; t < model.triangleCount; ++t)
    for (uint16_t index : model.triangles[t].index) {
      if (index >= vertexTotal) return false;
      if (index == std::numeric_limits<uint16_t>::max()) wide = true;
    }
  return true;
}

std::vector<std::string> FrameNames(const VNLMODEL_T& model, uint32_t frameTotal) {
  std::vector<std::string> names;
  names.reserve(frameTotal);
  for (uint32_t f = 0; f < frameTotal; ++f) {
    const char* field = model.frameNames[f];
    names.emplace_back(field, strnlen(field, kNameSize));
  }
  return names;
}

// A frame's bytes: its positions, and its stored vertices when normals come from them.
struct FrameBytes {
  const char* positions;
  size_t positionBytes;
  const char* stored;
  size_t storedBytes;
};

FrameBytes BytesOf(const GltfMesh& mesh, uint32_t f) {
  const size_t count = mesh.vertexTotal;
  FrameBytes bytes{reinterpret_cast<const char*>(mesh.model->frameVertices + uint64_t(f) * count),
                   count * sizeof(VNLVEC3_T), nullptr, 0};
  if (mesh.stored != nullptr) {
    bytes.stored = reinterpret_cast<const char*>(mesh.stored->frameVertices + uint64_t(f) * mesh.stored->vertexCount);
    bytes.storedBytes = size_t(mesh.stored->vertexCount) * sizeof(VNLTRIVERTEX_T);
  }
  return bytes;
}

// Eight bytes a step: a frame's hash costs little beside writing it.
uint64_t HashOf(const FrameBytes& bytes) {
  uint64_t hash = 0;
  for (const auto& [data, size] : {std::pair{bytes.positions, bytes.positionBytes}, {bytes.stored, bytes.storedBytes}})
    for (size_t i = 0; i < size; i += 8) {
      uint64_t word = 0;
      std::memcpy(&word, data + i, std::min<size_t>(8, size - i));
      hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
      hash ^= hash >> 29;
    }
  return hash;
}

bool Alike(const FrameBytes& a, const FrameBytes& b) {
  return std::memcmp(a.positions, b.positions, a.positionBytes) == 0 &&
         (a.storedBytes == 0 || std::memcmp(a.stored, b.stored, a.storedBytes) == 0);
}

// Models often repeat a pose (a held frame, placeholder animations): a repeated
// frame's morph target reads the data of its first occurrence.
void ShareAlikeFrames(GltfMesh& mesh) {
  std::unordered_map<uint64_t, std::vector<uint32_t>> byHash;
  mesh.frameSlot.resize(mesh.frameTotal);
  for (uint32_t f = 0; f < mesh.frameTotal; ++f) {
    const FrameBytes bytes = BytesOf(mesh, f);
    std::vector<uint32_t>& seen = byHash[HashOf(bytes)];
    uint32_t slot = uint32_t(mesh.slotFrame.size());
    for (uint32_t earlier : seen)
      if (Alike(BytesOf(mesh, mesh.slotFrame[earlier]), bytes)) slot = earlier;
    if (slot == mesh.slotFrame.size()) {
      mesh.slotFrame.push_back(f);
      seen.push_back(slot);
    }
    mesh.frameSlot[f] = slot;
  }
}

void MeasureFrames(GltfMesh& mesh) {
  for (uint32_t i = 0; i < mesh.vertexTotal; ++i) Widen(mesh.basePositions, BasePosition(mesh, i), i == 0);
  if (!mesh.morphs()) return;
  ShareAlikeFrames(mesh);
  mesh.deltas.resize(mesh.frameTotal);
  for (uint32_t f : mesh.slotFrame)
    for (uint32_t i = 0; i < mesh.vertexTotal; ++i) Widen(mesh.deltas[f], MorphDelta(mesh, f, i), i == 0);
  for (uint32_t f = 0; f < mesh.frameTotal; ++f) mesh.deltas[f] = mesh.deltas[mesh.slotFrame[mesh.frameSlot[f]]];
}

// Seam copies share their stored vertex's normal.
void AttachStored(const GltfInput& input, GltfMesh& mesh) {
  const VNLMODELDATA_T* stored = input.stored;
  const VNLMODEL_T& model = *mesh.model;
  if (stored == nullptr || stored->frameVertices == nullptr || stored->vertexCount != model.vertexCount ||
      stored->frameCount != mesh.frameTotal || model.seamIndex == nullptr || stored->frameIntervals == nullptr)
    return;
  mesh.fileVertex.resize(mesh.vertexTotal);
  for (uint32_t i = 0; i < mesh.vertexTotal; ++i) mesh.fileVertex[i] = i < model.vertexCount ? i : 0;
  for (uint32_t i = 0; i < model.vertexCount; ++i) {
    const uint32_t copy = model.seamIndex[i];
    if (copy >= model.vertexCount && copy < mesh.vertexTotal) mesh.fileVertex[copy] = i;
  }
  mesh.stored = stored;
}

// Group sizes per flattened frame, from the stored entries when there, else from
// the record (whose byte holds groups of up to 255 frames).
std::vector<uint32_t> GroupSizes(const GltfMesh& mesh) {
  std::vector<uint32_t> sizes(mesh.frameTotal, 0);
  if (mesh.stored != nullptr && mesh.stored->frameEntrySize != nullptr) {
    uint64_t f = 0;
    for (uint32_t e = 0; e < mesh.stored->frameEntryCount && f < mesh.frameTotal; ++e) {
      const uint32_t size = mesh.stored->frameEntrySize[e];
      if (size > 0) sizes[f] = size;
      f += size > 0 ? size : 1;
    }
  } else if (mesh.model->frameGroup != nullptr) {
    for (uint32_t f = 0; f < mesh.frameTotal; ++f) sizes[f] = mesh.model->frameGroup[f];
  }
  return sizes;
}

}  // namespace

std::string FrameStem(const std::string& name) {
  size_t end = name.size();
  while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') --end;
  return name.substr(0, end);
}

std::vector<GltfRun> AnimationRuns(const std::vector<std::string>& names, const std::vector<uint32_t>& groupSize) {
  std::vector<GltfRun> runs;
  std::string stem;
  uint64_t groupEnd = 0;  // the frames before it belong to the group being read
  for (uint32_t f = 0; f < names.size(); ++f) {
    const uint32_t size = f < groupSize.size() ? groupSize[f] : 0;
    const std::string next = FrameStem(names[f]);
    const bool startsGroup = size > 0 && f >= groupEnd;
    if (startsGroup || (f >= groupEnd && (runs.empty() || runs.back().group || next != stem))) {
      stem = next;
      runs.push_back(GltfRun{stem.empty() ? names[f] : stem, f, 0, startsGroup});
      if (startsGroup) groupEnd = uint64_t(f) + size;
    }
    ++runs.back().count;
  }
  return runs;
}

std::vector<float> KeyTimes(const std::vector<GltfRun>& runs, uint32_t frameTotal, const float* intervals) {
  std::vector<float> times(frameTotal, 0.0f);
  for (const GltfRun& run : runs) {
    const bool own = run.group && intervals != nullptr && Rising(intervals + run.first, run.count);
    for (uint32_t k = 0; k < run.count && run.first + k < frameTotal; ++k)
      times[run.first + k] = own ? (k == 0 ? 0.0f : intervals[run.first + k - 1]) : float(double(k) / 10.0);
  }
  return times;
}

bool DescribeMesh(const GltfInput& input, GltfMesh& mesh) {
  if (input.model == nullptr) return false;
  const VNLMODEL_T& model = *input.model;
  const uint64_t vertexTotal = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t frameTotal = uint64_t(model.frameCount) + model.frameExtra;
  if (model.frameNames == nullptr || model.triangleCount == 0 || input.baseFrame >= frameTotal) return false;
  if (!ModelFrameReadable(model, uint32_t(input.baseFrame * vertexTotal))) return false;

  mesh.model = &model;
  mesh.vertexTotal = uint32_t(vertexTotal);
  mesh.triangleCount = model.triangleCount;
  mesh.frameTotal = uint32_t(frameTotal);
  mesh.pictureTotal = model.skins != nullptr ? uint32_t(model.skinCount) + model.skinExtra : 0;
  mesh.baseFrame = input.baseFrame;
  mesh.positionsMoved = input.positionsMoved;
  if (!TrianglesInRange(model, mesh.vertexTotal, mesh.wideIndices)) return false;

  // Texel centres as the game samples them: the coordinates span the skin picture
  // (its front half only after -skinnoback).
  if (mesh.pictureTotal > 0 && model.skins[0].width > 0 && model.skins[0].height > 0) {
    double across = model.skins[0].width;
    if (input.frontHalfOnly) across = std::max(1.0, double(model.skins[0].width / 2));
    mesh.halfTexelU = 0.5 / across;
    mesh.halfTexelV = 0.5 / double(model.skins[0].height);
  }

  AttachStored(input, mesh);
  mesh.frameNames = FrameNames(model, mesh.frameTotal);
  if (mesh.morphs()) {
    mesh.runs = AnimationRuns(mesh.frameNames, GroupSizes(mesh));
    mesh.keyTimes = KeyTimes(mesh.runs, mesh.frameTotal, mesh.stored ? mesh.stored->frameIntervals : nullptr);
  }
  MeasureFrames(mesh);
  return true;
}

VNLVEC3_T BasePosition(const GltfMesh& mesh, uint32_t i) {
  return ToGltfAxes(mesh.model->frameVertices[uint64_t(mesh.baseFrame) * mesh.vertexTotal + i]);
}

VNLVEC3_T MorphDelta(const GltfMesh& mesh, uint32_t frame, uint32_t i) {
  const VNLVEC3_T base = BasePosition(mesh, i);
  const VNLVEC3_T p = ToGltfAxes(mesh.model->frameVertices[uint64_t(frame) * mesh.vertexTotal + i]);
  return VNLVEC3_T{float(double(p.x) - base.x), float(double(p.y) - base.y), float(double(p.z) - base.z)};
}

// The record keeps v measured from the bottom (as OBJ and ASE want it); glTF
// measures from the top.
void TexCoord(const GltfMesh& mesh, uint32_t i, float& u, float& v) {
  const VNLVEC3_T& coord = mesh.model->skinCoords[i];
  u = float(double(coord.x) + mesh.halfTexelU);
  v = float(1.0 - double(coord.y) + mesh.halfTexelV);
}

VNLVEC3_T FrameNormal(const GltfMesh& mesh, uint32_t frame, uint32_t i) {
  const VNLMODELDATA_T& stored = *mesh.stored;
  VNLVEC3_T normal{0, 0, 1};
  vnlNormal(stored.frameVertices[uint64_t(frame) * stored.vertexCount + mesh.fileVertex[i]].normal, &normal);
  return ToGltfAxes(normal);
}

VNLVEC3_T NormalDelta(const GltfMesh& mesh, uint32_t frame, uint32_t i) {
  const VNLVEC3_T base = FrameNormal(mesh, mesh.baseFrame, i);
  const VNLVEC3_T n = FrameNormal(mesh, frame, i);
  return VNLVEC3_T{float(double(n.x) - base.x), float(double(n.y) - base.y), float(double(n.z) - base.z)};
}
