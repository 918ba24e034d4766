#include "gltf_extras.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "text_rules.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kExtrasVersion = 1;
constexpr size_t kNameSize = 16;

// A stored float as the shortest decimal that reads back as the same float: JSON
// holds doubles, and 0.1f written as a double would show all its binary digits.
Json Number(float value) {
  if (!std::isfinite(value)) return Json(nullptr);
  char text[32];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text - 1, value);
  *end.ptr = '\0';
  return Json(std::strtod(text, nullptr));
}

Json Vector(const VNLVEC3_T& v) { return Json::array({Number(v.x), Number(v.y), Number(v.z)}); }

template <typename T>
Json Integers(const T* values, uint64_t count) {
  Json list = Json::array();
  for (uint64_t i = 0; values != nullptr && i < count; ++i) list.push_back(values[i]);
  return list;
}

Json Numbers(const float* values, uint64_t count) {
  Json list = Json::array();
  for (uint64_t i = 0; values != nullptr && i < count; ++i) list.push_back(Number(values[i]));
  return list;
}

// Min then max, each its three lattice bytes and its normal index.
Json Boxes(const VNLTRIVERTEX_T* boxes, uint64_t count) {
  Json list = Json::array();
  for (uint64_t i = 0; boxes != nullptr && i < 2 * count; ++i) {
    const VNLTRIVERTEX_T& corner = boxes[i];
    for (uint8_t byte : {corner.v[0], corner.v[1], corner.v[2], corner.normal}) list.push_back(byte);
  }
  return list;
}

Json SkinVertices(const VNLMODELDATA_T& stored) {
  Json list = Json::array();
  for (uint32_t i = 0; stored.skinVertices != nullptr && i < stored.vertexCount; ++i) {
    const VNLSKINVERTEX_T& v = stored.skinVertices[i];
    for (int32_t value : {v.onSeam, v.s, v.t}) list.push_back(value);
  }
  return list;
}

Json Faces(const VNLMODELDATA_T& stored) {
  Json list = Json::array();
  for (uint32_t t = 0; stored.faces != nullptr && t < stored.triangleCount; ++t) {
    const VNLFACE_T& face = stored.faces[t];
    for (int32_t value : {face.facesFront, face.index[0], face.index[1], face.index[2]}) list.push_back(value);
  }
  return list;
}

Json FrameNames(const VNLMODELDATA_T& stored) {
  Json list = Json::array();
  for (uint32_t f = 0; stored.frameNames != nullptr && f < stored.frameCount; ++f)
    list.push_back(Latin1ToUtf8(std::string(stored.frameNames[f], strnlen(stored.frameNames[f], kNameSize))));
  return list;
}

}  // namespace

Json QuakeExtras(const GltfMesh& mesh, const GltfLayout& layout) {
  if (mesh.stored == nullptr) return Json(nullptr);
  const VNLMODELDATA_T& stored = *mesh.stored;
  Json quake{{"version", kExtrasVersion}};
  if (!mesh.positionsMoved) {
    quake["scale"] = Vector(stored.scale);
    quake["origin"] = Vector(stored.origin);
  }
  quake["eye"] = Vector(stored.eye);
  quake["radius"] = Number(stored.radius);
  quake["size"] = Number(stored.size);
  quake["flags"] = stored.flags;
  quake["syncType"] = stored.syncType;
  quake["skinWidth"] = stored.skinWidth;
  quake["skinHeight"] = stored.skinHeight;
  quake["vertexCount"] = stored.vertexCount;
  quake["skinVertices"] = SkinVertices(stored);
  quake["faces"] = Faces(stored);
  quake["frameEntrySize"] = Integers(stored.frameEntrySize, stored.frameEntryCount);
  quake["frameEntryBox"] = Boxes(stored.frameEntryBox, stored.frameEntryCount);
  quake["frameBoxes"] = Boxes(stored.frameBoxes, stored.frameCount);
  quake["frameIntervals"] = Numbers(stored.frameIntervals, stored.frameCount);
  quake["frameNames"] = FrameNames(stored);
  quake["skinEntrySize"] = Integers(stored.skinEntrySize, stored.skinEntryCount);
  quake["skinIntervals"] = Numbers(stored.skinIntervals, stored.skinCount);
  // Only when every picture is embedded: a reader needs them all to write the skins.
  bool embedded = !layout.imageOf.empty() && layout.imageOf.size() == stored.skinCount;
  for (int64_t image : layout.imageOf) embedded = embedded && image >= 0;
  if (embedded) quake["skinImages"] = Integers(layout.imageOf.data(), layout.imageOf.size());
  return quake;
}
