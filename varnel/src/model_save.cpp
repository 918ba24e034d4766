// Alias models written back ("IDPO" version 6): the saver.
//
// The record is checked whole before anything is laid out, so a refused record
// costs nothing. Then the stored vertices are settled (taken as they are, or put
// on a lattice kept from the record or fitted to the positions), the boxes and
// radius follow from them, and the file is laid out into one growing buffer that
// is copied once into the caller's calloc block.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "block_writer.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kVersion = 6;
constexpr uint32_t kMaxCount = 0xFFFF;         // the most the loaders read back
constexpr uint32_t kLargestFrameGroup = 0xFF;  // likewise for one frame group
constexpr uint32_t kNameSize = 16;
constexpr double kSteps = 255.0;

using vnl::BlockWriter;

void WriteVertex(BlockWriter& w, const VNLTRIVERTEX_T& v) {
  w.raw(v.v, 3);
  w.u8(v.normal);
}

void WriteVec(BlockWriter& w, const VNLVEC3_T& v) {
  w.f32(v.x);
  w.f32(v.y);
  w.f32(v.z);
}

// The group sizes of the entries (0 for a single item). A record without entry
// arrays makes every item its own entry; otherwise the entries must cover the
// items exactly.
bool EntrySizes(uint32_t entryCount, const uint32_t* entrySize, uint32_t itemCount, uint32_t largestGroup,
                std::vector<uint32_t>& sizes) {
  if (entryCount == 0 || entrySize == nullptr) {
    if (entryCount != 0 && entryCount != itemCount) return false;
    sizes.assign(itemCount, 0);
    return true;
  }
  uint64_t covered = 0;
  sizes.assign(entrySize, entrySize + entryCount);
  for (uint32_t size : sizes) {
    if (size > largestGroup) return false;
    covered += size == 0 ? 1 : size;
  }
  return covered == itemCount;
}

bool IntervalsHold(const std::vector<uint32_t>& sizes, const float* intervals) {
  uint32_t k = 0;
  for (uint32_t size : sizes) {
    if (size == 0) {
      ++k;
      continue;
    }
    for (uint32_t i = 0; i < size; ++i, ++k)
      if (intervals == nullptr || !(intervals[k] > 0.0f)) return false;
  }
  return true;
}

struct Plan {
  std::vector<uint32_t> skinSizes;
  std::vector<uint32_t> frameSizes;
};

int32_t CheckSkins(const VNLMODELDATA_T& m, Plan& plan) {
  if (m.skinWidth == 0) return VNL_MDL_SKIN_WIDTH;
  if (m.skinHeight == 0) return VNL_MDL_SKIN_HEIGHT;
  if (m.skinCount == 0 || m.skins == nullptr) return VNL_MDL_NO_SKIN;
  if (m.skinCount > kMaxCount || uint64_t(m.skinWidth) * m.skinHeight > VNL_MAX_ALLOCATION) return VNL_MDL_COUNT;
  for (uint32_t k = 0; k < m.skinCount; ++k) {
    const VNLPICTURE_T& skin = m.skins[k];
    if (skin.pixels == nullptr) return VNL_MDL_NO_SKIN;
    if (skin.width != m.skinWidth) return VNL_MDL_SKIN_WIDTH;
    if (skin.height != m.skinHeight) return VNL_MDL_SKIN_HEIGHT;
  }
  if (!EntrySizes(m.skinEntryCount, m.skinEntrySize, m.skinCount, kMaxCount, plan.skinSizes)) return VNL_MDL_COUNT;
  if (!IntervalsHold(plan.skinSizes, m.skinIntervals)) return VNL_MDL_BAD_INTERVAL;
  return VNL_OK;
}

int32_t CheckMesh(const VNLMODELDATA_T& m) {
  if (m.vertexCount == 0 || m.skinVertices == nullptr) return VNL_MDL_NO_VERTEX;
  if (m.triangleCount == 0 || m.faces == nullptr) return VNL_MDL_NO_FACE;
  if (m.vertexCount > kMaxCount || m.triangleCount > kMaxCount) return VNL_MDL_COUNT;
  for (uint32_t n = 0; n < m.triangleCount; ++n)
    for (int32_t i : m.faces[n].index)
      if (i < 0 || uint32_t(i) >= m.vertexCount) return VNL_MDL_BAD_INDEX;
  return VNL_OK;
}

int32_t CheckFrames(const VNLMODELDATA_T& m, Plan& plan) {
  if (m.frameCount == 0 || m.frameNames == nullptr) return VNL_MDL_NO_FRAME;
  if (m.frameVertices == nullptr && m.framePositions == nullptr) return VNL_MDL_NO_FRAME;
  if (m.frameCount > kMaxCount) return VNL_MDL_COUNT;
  if (!EntrySizes(m.frameEntryCount, m.frameEntrySize, m.frameCount, kLargestFrameGroup, plan.frameSizes))
    return VNL_MDL_COUNT;
  for (uint32_t f = 0; f < m.frameCount; ++f)
    if (strnlen(m.frameNames[f], kNameSize) == kNameSize) return VNL_MDL_LONG_NAME;
  if (!IntervalsHold(plan.frameSizes, m.frameIntervals)) return VNL_MDL_BAD_INTERVAL;
  return VNL_OK;
}

float Axis(const VNLVEC3_T& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

// The record's lattice when its scale is not all zero, else one fitted to the
// true extent of every axis over all frames.
bool SettleLattice(const VNLMODELDATA_T& m, VNLVEC3_T& scale, VNLVEC3_T& origin) {
  scale = m.scale;
  origin = m.origin;
  if (scale.x != 0.0f || scale.y != 0.0f || scale.z != 0.0f) return true;
  const uint64_t count = uint64_t(m.frameCount) * m.vertexCount;
  float fitted[2][3];
  for (int axis = 0; axis < 3; ++axis) {
    double low = INFINITY, high = -INFINITY;
    for (uint64_t i = 0; i < count; ++i) {
      double p = Axis(m.framePositions[i], axis);
      if (!std::isfinite(p)) return false;
      low = std::min(low, p);
      high = std::max(high, p);
    }
    fitted[0][axis] = float(low);
    // A flat axis still needs a step the decoder can multiply by.
    fitted[1][axis] = high > low ? float((high - double(float(low))) / kSteps) : 1.0f;
  }
  origin = VNLVEC3_T{fitted[0][0], fitted[0][1], fitted[0][2]};
  scale = VNLVEC3_T{fitted[1][0], fitted[1][1], fitted[1][2]};
  return true;
}

// The nearest step of the lattice, false when the position lies off it. A fitted
// lattice can only be missed by the last bit of a float, so its ends are clamped.
bool ToStep(double p, double scale, double origin, bool fitted, uint8_t& step) {
  double r = 0.0;
  if (scale != 0.0)
    r = std::nearbyint((p - origin) / scale);
  else if (p != origin)
    return false;
  if (!std::isfinite(r)) return false;
  if (fitted) r = std::clamp(r, 0.0, kSteps);
  if (r < 0.0 || r > kSteps) return false;
  step = uint8_t(r);
  return true;
}

VNLVEC3_T Sub(const VNLVEC3_T& a, const VNLVEC3_T& b) { return VNLVEC3_T{a.x - b.x, a.y - b.y, a.z - b.z}; }

// Area-weighted vertex normals of one frame: each triangle adds its unnormalised
// cross product, whose length is twice its area. The file's winding runs
// clockwise seen from outside.
void FaceNormals(const VNLMODELDATA_T& m, const VNLVEC3_T* positions, VNLTRIVERTEX_T* out) {
  std::vector<VNLVEC3_T> sum(m.vertexCount, VNLVEC3_T{0, 0, 0});
  for (uint32_t n = 0; n < m.triangleCount; ++n) {
    const int32_t* index = m.faces[n].index;
    VNLVEC3_T a = Sub(positions[index[1]], positions[index[0]]);
    VNLVEC3_T b = Sub(positions[index[2]], positions[index[0]]);
    VNLVEC3_T c{b.y * a.z - b.z * a.y, b.z * a.x - b.x * a.z, b.x * a.y - b.y * a.x};
    for (int k = 0; k < 3; ++k) {
      VNLVEC3_T& s = sum[index[k]];
      s = VNLVEC3_T{s.x + c.x, s.y + c.y, s.z + c.z};
    }
  }
  for (uint32_t i = 0; i < m.vertexCount; ++i) out[i].normal = uint8_t(vnlNearestNormal(sum[i].x, sum[i].y, sum[i].z));
}

// Every frame's stored vertices: as the record holds them, or its positions put
// on the lattice with normals from the record or from the faces.
int32_t SettleVertices(const VNLMODELDATA_T& m, VNLVEC3_T& scale, VNLVEC3_T& origin,
                       std::vector<VNLTRIVERTEX_T>& vertices) {
  const uint64_t count = uint64_t(m.frameCount) * m.vertexCount;
  if (m.framePositions == nullptr) {
    scale = m.scale;
    origin = m.origin;
    vertices.assign(m.frameVertices, m.frameVertices + count);
    return VNL_OK;
  }
  const bool fitted = m.scale.x == 0.0f && m.scale.y == 0.0f && m.scale.z == 0.0f;
  if (!SettleLattice(m, scale, origin)) return VNL_MDL_OFF_LATTICE;
  vertices.assign(count, VNLTRIVERTEX_T{});
  for (uint64_t i = 0; i < count; ++i)
    for (int axis = 0; axis < 3; ++axis)
      if (!ToStep(Axis(m.framePositions[i], axis), Axis(scale, axis), Axis(origin, axis), fitted, vertices[i].v[axis]))
        return VNL_MDL_OFF_LATTICE;
  for (uint32_t f = 0; f < m.frameCount; ++f) {
    const uint64_t first = uint64_t(f) * m.vertexCount;
    if (m.frameVertices != nullptr) {
      for (uint64_t i = first; i < first + m.vertexCount; ++i) vertices[i].normal = m.frameVertices[i].normal;
    } else {
      FaceNormals(m, m.framePositions + first, vertices.data() + first);
    }
  }
  return VNL_OK;
}

using Box = std::array<VNLTRIVERTEX_T, 2>;

void Widen(Box& box, const VNLTRIVERTEX_T& v) {
  for (int axis = 0; axis < 3; ++axis) {
    box[0].v[axis] = std::min(box[0].v[axis], v.v[axis]);
    box[1].v[axis] = std::max(box[1].v[axis], v.v[axis]);
  }
}

void FrameBoxes(const VNLMODELDATA_T& m, const std::vector<VNLTRIVERTEX_T>& vertices, std::vector<Box>& boxes) {
  boxes.assign(m.frameCount, Box{});
  for (uint32_t f = 0; f < m.frameCount; ++f) {
    Box& box = boxes[f];
    box[0] = VNLTRIVERTEX_T{{255, 255, 255}, 0};
    box[1] = VNLTRIVERTEX_T{{0, 0, 0}, 0};
    for (uint32_t i = 0; i < m.vertexCount; ++i) Widen(box, vertices[uint64_t(f) * m.vertexCount + i]);
  }
}

struct Decoded {
  VNLVEC3_T scale;
  VNLVEC3_T origin;
  VNLVEC3_T at(const VNLTRIVERTEX_T& v) const {
    return VNLVEC3_T{float(double(v.v[0]) * scale.x + origin.x), float(double(v.v[1]) * scale.y + origin.y),
                     float(double(v.v[2]) * scale.z + origin.z)};
  }
};

float Radius(const std::vector<VNLTRIVERTEX_T>& vertices, const Decoded& lattice) {
  double farthest = 0.0;
  for (const VNLTRIVERTEX_T& v : vertices) {
    VNLVEC3_T p = lattice.at(v);
    farthest = std::max(farthest, double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
  }
  return float(std::sqrt(farthest));
}

// The mean triangle area of the first frame.
float MeanArea(const VNLMODELDATA_T& m, const std::vector<VNLTRIVERTEX_T>& vertices, const Decoded& lattice) {
  double total = 0.0;
  for (uint32_t n = 0; n < m.triangleCount; ++n) {
    const int32_t* index = m.faces[n].index;
    VNLVEC3_T o = lattice.at(vertices[index[0]]);
    VNLVEC3_T a = Sub(lattice.at(vertices[index[1]]), o);
    VNLVEC3_T b = Sub(lattice.at(vertices[index[2]]), o);
    double x = double(a.y) * b.z - double(a.z) * b.y, y = double(a.z) * b.x - double(a.x) * b.z,
           z = double(a.x) * b.y - double(a.y) * b.x;
    total += std::sqrt(x * x + y * y + z * z) / 2.0;
  }
  return float(total / m.triangleCount);
}

void WriteSkins(BlockWriter& w, const VNLMODELDATA_T& m, const Plan& plan) {
  const size_t pictureBytes = size_t(m.skinWidth) * m.skinHeight;
  uint32_t k = 0;
  for (uint32_t size : plan.skinSizes) {
    if (size == 0) {
      w.u32(0);
      w.raw(m.skins[k++].pixels, pictureBytes);
      continue;
    }
    w.u32(1);
    w.u32(size);
    for (uint32_t i = 0; i < size; ++i) w.f32(m.skinIntervals[k + i]);
    for (uint32_t i = 0; i < size; ++i) w.raw(m.skins[k++].pixels, pictureBytes);
  }
}

void WriteMesh(BlockWriter& w, const VNLMODELDATA_T& m) {
  for (uint32_t i = 0; i < m.vertexCount; ++i) {
    w.i32(m.skinVertices[i].onSeam);
    w.i32(m.skinVertices[i].s);
    w.i32(m.skinVertices[i].t);
  }
  for (uint32_t n = 0; n < m.triangleCount; ++n) {
    w.i32(m.faces[n].facesFront);
    for (int32_t i : m.faces[n].index) w.i32(i);
  }
}

void WriteFrame(BlockWriter& w, const VNLMODELDATA_T& m, uint32_t f, const Box& box,
                const std::vector<VNLTRIVERTEX_T>& vertices) {
  WriteVertex(w, box[0]);
  WriteVertex(w, box[1]);
  w.raw(m.frameNames[f], kNameSize);
  for (uint32_t i = 0; i < m.vertexCount; ++i) WriteVertex(w, vertices[uint64_t(f) * m.vertexCount + i]);
}

void WriteFrames(BlockWriter& w, const VNLMODELDATA_T& m, const Plan& plan, const std::vector<Box>& boxes,
                 const std::vector<VNLTRIVERTEX_T>& vertices, bool ownBoxes) {
  uint32_t f = 0;
  for (size_t e = 0; e < plan.frameSizes.size(); ++e) {
    const uint32_t size = plan.frameSizes[e];
    if (size == 0) {
      w.u32(0);
      WriteFrame(w, m, f, boxes[f], vertices);
      ++f;
      continue;
    }
    Box group = boxes[f];
    if (ownBoxes && m.frameEntryBox != nullptr) {
      group[0] = m.frameEntryBox[2 * e];
      group[1] = m.frameEntryBox[2 * e + 1];
    } else {
      for (uint32_t i = 1; i < size; ++i) {
        Widen(group, boxes[f + i][0]);
        Widen(group, boxes[f + i][1]);
      }
    }
    w.u32(1);
    w.u32(size);
    WriteVertex(w, group[0]);
    WriteVertex(w, group[1]);
    for (uint32_t i = 0; i < size; ++i) w.f32(m.frameIntervals[f + i]);
    for (uint32_t i = 0; i < size; ++i, ++f) WriteFrame(w, m, f, boxes[f], vertices);
  }
}

uint64_t FileLength(const VNLMODELDATA_T& m, const Plan& plan) {
  uint64_t length = 84 + 12 * uint64_t(m.vertexCount) + 16 * uint64_t(m.triangleCount);
  length +=
      (4 + 4 * uint64_t(m.skinCount)) * plan.skinSizes.size() + uint64_t(m.skinCount) * m.skinWidth * m.skinHeight;
  length += 16 * uint64_t(plan.frameSizes.size()) + uint64_t(m.frameCount) * (28 + 4 * uint64_t(m.vertexCount));
  return length;
}

}  // namespace

int32_t vnlModelSave(const VNLMODELDATA_T* model, uint8_t** block, uint32_t* length) {
  if (model == nullptr || block == nullptr || length == nullptr) return VNL_NO_BLOCK;
  const VNLMODELDATA_T& m = *model;
  Plan plan;
  int32_t code = CheckSkins(m, plan);
  if (code == VNL_OK) code = CheckMesh(m);
  if (code == VNL_OK) code = CheckFrames(m, plan);
  // An upper bound, so that a file past 32 bits is refused before it is built.
  if (code == VNL_OK && FileLength(m, plan) > UINT32_MAX) code = VNL_MDL_COUNT;
  if (code != VNL_OK) return code;

  Decoded lattice{};
  std::vector<VNLTRIVERTEX_T> vertices;
  if ((code = SettleVertices(m, lattice.scale, lattice.origin, vertices)) != VNL_OK) return code;
  // Stored vertices keep the record's boxes and radius; new ones get their own.
  const bool ownBoxes = m.framePositions == nullptr;
  std::vector<Box> boxes;
  if (ownBoxes && m.frameBoxes != nullptr) {
    boxes.assign(m.frameCount, Box{});
    for (uint32_t f = 0; f < m.frameCount; ++f) {
      boxes[f][0] = m.frameBoxes[2 * f];
      boxes[f][1] = m.frameBoxes[2 * f + 1];
    }
  } else {
    FrameBoxes(m, vertices, boxes);
  }
  const float radius = ownBoxes && m.radius != 0.0f ? m.radius : Radius(vertices, lattice);
  const float size = m.size != 0.0f ? m.size : MeanArea(m, vertices, lattice);

  BlockWriter w;
  w.raw("IDPO", 4);
  w.u32(kVersion);
  WriteVec(w, lattice.scale);
  WriteVec(w, lattice.origin);
  w.f32(radius);
  WriteVec(w, m.eye);
  for (uint32_t v : {uint32_t(plan.skinSizes.size()), m.skinWidth, m.skinHeight, m.vertexCount, m.triangleCount,
                     uint32_t(plan.frameSizes.size()), m.syncType, m.flags})
    w.u32(v);
  w.f32(size);
  WriteSkins(w, m, plan);
  WriteMesh(w, m);
  WriteFrames(w, m, plan, boxes, vertices, ownBoxes);

  return w.handOver(block, length);
}
