#include "gltf_buffer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChunkBytes = size_t(1) << 16;

uint64_t Padded(uint64_t length) { return (length + 3) & ~uint64_t(3); }

// Places sections one after the other, each starting on a 4-byte boundary.
struct Placer {
  uint64_t end = 0;
  GltfSection next(uint64_t length) {
    GltfSection section{end, length};
    end += Padded(length);
    return section;
  }
};

// Collects little-endian values and hands them to the sink a chunk at a time, so
// that no part of the buffer is ever held whole.
struct ChunkWriter {
  const GltfSink& sink;
  std::vector<char> chunk = std::vector<char>(kChunkBytes);
  size_t used = 0;
  uint64_t written = 0;
  bool ok = true;

  explicit ChunkWriter(const GltfSink& target) : sink(target) {}

  void flush() {
    if (ok && used > 0) ok = sink(chunk.data(), used);
    used = 0;
  }
  void bytes(const char* data, size_t size) {
    while (size > 0 && ok) {
      if (used == kChunkBytes) flush();
      size_t part = std::min(size, kChunkBytes - used);
      std::memcpy(chunk.data() + used, data, part);
      used += part;
      data += part;
      size -= part;
      written += part;
    }
  }
  void u16(uint16_t v) {
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    bytes(b, 2);
  }
  void u32(uint32_t v) {
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    bytes(b, 4);
  }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
  void vec3(const VNLVEC3_T& p) {
    f32(p.x);
    f32(p.y);
    f32(p.z);
  }
  void padTo(uint64_t offset) {
    static const char kZeros[4] = {0, 0, 0, 0};
    while (written < offset && ok) bytes(kZeros, size_t(std::min<uint64_t>(4, offset - written)));
  }
};

void WriteIndices(const GltfMesh& mesh, ChunkWriter& out) {
  for (uint32_t t = 0; t < mesh.triangleCount; ++t)
    for (uint16_t index : mesh.model->triangles[t].index) {
      if (mesh.wideIndices)
        out.u32(index);
      else
        out.u16(index);
    }
}

void WriteVertices(const GltfMesh& mesh, ChunkWriter& out) {
  for (uint32_t i = 0; i < mesh.vertexTotal; ++i) out.vec3(BasePosition(mesh, i));
}

void WriteTexCoords(const GltfMesh& mesh, ChunkWriter& out) {
  for (uint32_t i = 0; i < mesh.vertexTotal; ++i) {
    float u, v;
    TexCoord(mesh, i, u, v);
    out.f32(u);
    out.f32(v);
  }
}

void WriteDeltas(const GltfMesh& mesh, ChunkWriter& out) {
  for (uint32_t f : mesh.slotFrame)
    for (uint32_t i = 0; i < mesh.vertexTotal && out.ok; ++i) out.vec3(MorphDelta(mesh, f, i));
}

void WriteKeys(const GltfMesh& mesh, const GltfLayout& layout, ChunkWriter& out) {
  out.padTo(layout.keyTimes.offset);
  for (float time : mesh.keyTimes) out.f32(time);
  out.padTo(layout.keyWeights.offset);
  const uint64_t length = WeightPatternLength(mesh), period = uint64_t(mesh.frameTotal) + 1;
  for (uint64_t i = 0; i < length && out.ok; ++i) out.f32(i % period == 0 ? 1.0f : 0.0f);
}

void WriteNormals(const GltfMesh& mesh, const GltfLayout& layout, ChunkWriter& out) {
  out.padTo(layout.normals.offset);
  for (uint32_t i = 0; i < mesh.vertexTotal; ++i) out.vec3(FrameNormal(mesh, mesh.baseFrame, i));
  if (!mesh.morphs()) return;
  out.padTo(layout.normalDeltas.offset);
  for (uint32_t f : mesh.slotFrame)
    for (uint32_t i = 0; i < mesh.vertexTotal && out.ok; ++i) out.vec3(NormalDelta(mesh, f, i));
}

// Identical pictures (a skin group repeating a picture, a model whose skins are
// alike) are stored once and shared.
void PlaceImages(const GltfMesh& mesh, const std::vector<std::string>& images, GltfLayout& layout, Placer& place) {
  for (uint32_t p = 0; p < mesh.pictureTotal; ++p) {
    int64_t found = -1;
    if (p < images.size() && !images[p].empty()) {
      for (size_t u = 0; u < layout.imageSource.size() && found < 0; ++u)
        if (images[layout.imageSource[u]] == images[p]) found = int64_t(u);
      if (found < 0) {
        found = int64_t(layout.images.size());
        layout.images.push_back(place.next(images[p].size()));
        layout.imageSource.push_back(p);
      }
    }
    layout.imageOf.push_back(found);
  }
}

}  // namespace

GltfLayout LayOutBuffer(const GltfMesh& mesh, const std::vector<std::string>& images) {
  GltfLayout layout;
  Placer place;
  layout.indices = place.next(uint64_t(mesh.triangleCount) * 3 * (mesh.wideIndices ? 4 : 2));
  layout.positions = place.next(uint64_t(mesh.vertexTotal) * 12);
  layout.texCoords = place.next(uint64_t(mesh.vertexTotal) * 8);
  if (mesh.morphs()) {
    layout.deltas = place.next(uint64_t(mesh.slotFrame.size()) * mesh.vertexTotal * 12);
    layout.keyTimes = place.next(uint64_t(mesh.frameTotal) * 4);
    layout.keyWeights = place.next(WeightPatternLength(mesh) * 4);
  }
  PlaceImages(mesh, images, layout, place);
  if (mesh.normals()) {
    layout.normals = place.next(uint64_t(mesh.vertexTotal) * 12);
    if (mesh.morphs()) layout.normalDeltas = place.next(uint64_t(mesh.slotFrame.size()) * mesh.vertexTotal * 12);
  }
  layout.total = place.end;
  return layout;
}

bool StreamBuffer(const GltfMesh& mesh, const std::vector<std::string>& images, const GltfLayout& layout,
                  const GltfSink& sink) {
  ChunkWriter out(sink);
  WriteIndices(mesh, out);
  out.padTo(layout.positions.offset);
  WriteVertices(mesh, out);
  out.padTo(layout.texCoords.offset);
  WriteTexCoords(mesh, out);
  if (mesh.morphs()) {
    out.padTo(layout.deltas.offset);
    WriteDeltas(mesh, out);
    WriteKeys(mesh, layout, out);
  }
  for (size_t u = 0; u < layout.images.size(); ++u) {
    out.padTo(layout.images[u].offset);
    const std::string& png = images[layout.imageSource[u]];
    out.bytes(png.data(), png.size());
  }
  if (mesh.normals()) WriteNormals(mesh, layout, out);
  out.padTo(layout.total);
  out.flush();
  // The JSON has already told every offset: a buffer of another length would betray it.
  return out.ok && out.written == layout.total;
}
