#include "gltf_document.h"

#include <functional>
#include <nlohmann/json.hpp>

#include "gltf_extras.h"
#include "text_rules.h"

namespace {

using Json = nlohmann::ordered_json;

enum : int {
  kUnsignedShort = 5123,
  kUnsignedInt = 5125,
  kFloat = 5126,
  kArrayBuffer = 34962,
  kElementArrayBuffer = 34963,
  kNearest = 9728,
};

const char* const kVariants = "KHR_materials_variants";

// Buffer views by index: the mesh's three, the animation data's three, then the images.
enum : int { kIndicesView, kPositionsView, kTexCoordsView, kDeltasView, kTimesView, kWeightsView };
// Accessors by index: the mesh's three, one per morph target, then two per animation.
enum : uint64_t { kIndicesAccessor, kPositionsAccessor, kTexCoordsAccessor, kFirstDeltaAccessor };

uint64_t FirstAnimationAccessor(const GltfMesh& mesh) { return kFirstDeltaAccessor + mesh.frameTotal; }

// Every string passes through the library; names are valid UTF-8 by construction,
// and replacing keeps dump from throwing regardless.
std::string Text(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json Vector3(const float (&values)[3]) { return Json::array({values[0], values[1], values[2]}); }

Json View(const GltfSection& section, int target = 0, int stride = 0) {
  Json view{{"buffer", 0}, {"byteOffset", section.offset}, {"byteLength", section.length}};
  if (stride != 0) view["byteStride"] = stride;
  if (target != 0) view["target"] = target;
  return view;
}

Json BufferViews(const GltfMesh& mesh, const GltfLayout& layout) {
  Json views = Json::array({View(layout.indices, kElementArrayBuffer), View(layout.positions, kArrayBuffer),
                            View(layout.texCoords, kArrayBuffer)});
  if (mesh.morphs()) {
    // One view holds every frame; a vertex view shared by accessors must state its stride.
    views.push_back(View(layout.deltas, kArrayBuffer, 12));
    views.push_back(View(layout.keyTimes));
    views.push_back(View(layout.keyWeights));
  }
  for (const GltfSection& image : layout.images) views.push_back(View(image));
  // The normals come last, so that a model without them keeps every other index.
  if (mesh.normals()) {
    views.push_back(View(layout.normals, kArrayBuffer));
    if (mesh.morphs()) views.push_back(View(layout.normalDeltas, kArrayBuffer, 12));
  }
  return views;
}

Json BoundedVec3(int view, uint64_t byteOffset, uint32_t count, const GltfBounds& bounds) {
  Json accessor{{"bufferView", view}};
  if (byteOffset != 0) accessor["byteOffset"] = byteOffset;
  accessor["componentType"] = kFloat;
  accessor["count"] = count;
  accessor["type"] = "VEC3";
  accessor["min"] = Vector3(bounds.min);
  accessor["max"] = Vector3(bounds.max);
  return accessor;
}

// A run's key times and its weights (dense: Godot 3 reads no sparse accessor
// without a buffer view) are windows into the two shared views.
Json AnimationAccessor(const GltfMesh& mesh, const GltfRun& run, bool weights) {
  if (!weights) {
    Json accessor{{"bufferView", kTimesView}};
    if (run.first > 0) accessor["byteOffset"] = uint64_t(run.first) * 4;
    accessor["componentType"] = kFloat;
    accessor["count"] = run.count;
    accessor["type"] = "SCALAR";
    accessor["min"] = Json::array({mesh.keyTimes[run.first]});
    accessor["max"] = Json::array({mesh.keyTimes[run.first + run.count - 1]});
    return accessor;
  }
  Json accessor{{"bufferView", kWeightsView}};
  if (WeightWindow(mesh, run) > 0) accessor["byteOffset"] = WeightWindow(mesh, run) * 4;
  accessor["componentType"] = kFloat;
  accessor["count"] = uint64_t(run.count) * mesh.frameTotal;
  accessor["type"] = "SCALAR";
  return accessor;
}

uint64_t PlainAccessorCount(const GltfMesh& mesh) {
  return mesh.morphs() ? FirstAnimationAccessor(mesh) + 2 * mesh.runs.size() : kFirstDeltaAccessor;
}

// The base normals' accessor, then one per morph target: after all the others.
uint64_t NormalAccessor(const GltfMesh& mesh) { return PlainAccessorCount(mesh); }

uint64_t AccessorCount(const GltfMesh& mesh) {
  if (!mesh.normals()) return PlainAccessorCount(mesh);
  return NormalAccessor(mesh) + 1 + (mesh.morphs() ? mesh.frameTotal : 0);
}

int FirstImageView(const GltfMesh& mesh) { return mesh.morphs() ? kWeightsView + 1 : kTexCoordsView + 1; }

int NormalView(const GltfMesh& mesh, const GltfLayout& layout) {
  return FirstImageView(mesh) + int(layout.images.size());
}

Json NormalAccessorJson(const GltfMesh& mesh, const GltfLayout& layout, uint64_t k) {
  const int view = NormalView(mesh, layout);
  if (k == 0)
    return Json{{"bufferView", view}, {"componentType", kFloat}, {"count", mesh.vertexTotal}, {"type", "VEC3"}};
  Json accessor{{"bufferView", view + 1}};
  const uint64_t slot = mesh.frameSlot[k - 1];
  if (slot > 0) accessor["byteOffset"] = slot * mesh.vertexTotal * 12;
  accessor["componentType"] = kFloat;
  accessor["count"] = mesh.vertexTotal;
  accessor["type"] = "VEC3";
  return accessor;
}

Json Accessor(const GltfMesh& mesh, const GltfLayout& layout, uint64_t index) {
  switch (index) {
    case kIndicesAccessor:
      return Json{{"bufferView", kIndicesView},
                  {"componentType", mesh.wideIndices ? kUnsignedInt : kUnsignedShort},
                  {"count", uint64_t(mesh.triangleCount) * 3},
                  {"type", "SCALAR"}};
    case kPositionsAccessor:
      return BoundedVec3(kPositionsView, 0, mesh.vertexTotal, mesh.basePositions);
    case kTexCoordsAccessor:
      return Json{
          {"bufferView", kTexCoordsView}, {"componentType", kFloat}, {"count", mesh.vertexTotal}, {"type", "VEC2"}};
  }
  if (index >= PlainAccessorCount(mesh)) return NormalAccessorJson(mesh, layout, index - NormalAccessor(mesh));
  const uint64_t frame = index - kFirstDeltaAccessor;
  if (frame < mesh.frameTotal)
    return BoundedVec3(kDeltasView, mesh.frameSlot[frame] * uint64_t(mesh.vertexTotal) * 12, mesh.vertexTotal,
                       mesh.deltas[frame]);
  const uint64_t k = index - FirstAnimationAccessor(mesh);
  return AnimationAccessor(mesh, mesh.runs[k / 2], k % 2 == 1);
}

Json Animation(const GltfMesh& mesh, size_t r) {
  const uint64_t input = FirstAnimationAccessor(mesh) + 2 * r;
  Json sampler{{"input", input}, {"interpolation", "LINEAR"}, {"output", input + 1}};
  Json channel{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}};
  return Json{{"name", Latin1ToUtf8(mesh.runs[r].name)},
              {"samplers", Json::array({std::move(sampler)})},
              {"channels", Json::array({std::move(channel)})}};
}

// Appends ,"key":[...] with each element made and dumped on its own: a model of
// many frames never has all its accessors in memory as a tree.
void AppendArray(std::string& text, const char* key, uint64_t count, const std::function<Json(uint64_t)>& element) {
  text += "," + Text(Json(key)) + ":[";
  for (uint64_t i = 0; i < count; ++i) {
    if (i > 0) text.push_back(',');
    text += Text(element(i));
  }
  text.push_back(']');
}

std::string MaterialName(const std::string& baseName, uint32_t picture) {
  return Latin1ToUtf8(baseName) + "_" + std::to_string(picture);
}

// One material per skin picture, textured where its image is in the buffer;
// pictures alike share their image and its texture.
void AddMaterials(Json& document, const GltfMesh& mesh, const GltfLayout& layout, const std::string& baseName) {
  Json materials = Json::array(), textures = Json::array(), images = Json::array();
  for (size_t u = 0; u < layout.images.size(); ++u) {
    images.push_back(Json{{"bufferView", FirstImageView(mesh) + int(u)}, {"mimeType", "image/png"}});
    textures.push_back(Json{{"sampler", 0}, {"source", u}});
  }
  for (uint32_t p = 0; p < mesh.pictureTotal; ++p) {
    Json pbr{{"metallicFactor", 0}};
    if (layout.imageOf[p] >= 0) pbr = Json{{"baseColorTexture", {{"index", layout.imageOf[p]}}}, {"metallicFactor", 0}};
    materials.push_back(Json{{"name", MaterialName(baseName, p)}, {"pbrMetallicRoughness", std::move(pbr)}});
  }
  if (materials.empty()) return;
  document["materials"] = std::move(materials);
  if (textures.empty()) return;
  document["textures"] = std::move(textures);
  document["images"] = std::move(images);
  // Texels stay sharp near and far, as the game draws them.
  document["samplers"] = Json::array({Json{{"magFilter", kNearest}, {"minFilter", kNearest}}});
}

// With several skins, each picture is a variant a viewer can switch to.
void AddVariants(Json& document, Json& primitive, const GltfMesh& mesh, const std::string& baseName) {
  if (mesh.pictureTotal < 2) return;
  Json variants = Json::array(), mappings = Json::array();
  for (uint32_t p = 0; p < mesh.pictureTotal; ++p) {
    variants.push_back(Json{{"name", MaterialName(baseName, p)}});
    mappings.push_back(Json{{"material", p}, {"variants", Json::array({p})}});
  }
  primitive["extensions"][kVariants] = Json{{"mappings", std::move(mappings)}};
  document["extensionsUsed"] = Json::array({kVariants});
  document["extensions"][kVariants] = Json{{"variants", std::move(variants)}};
}

Json Primitive(const GltfMesh& mesh) {
  Json primitive{{"attributes", {{"POSITION", kPositionsAccessor}, {"TEXCOORD_0", kTexCoordsAccessor}}},
                 {"indices", kIndicesAccessor}};
  if (mesh.normals()) primitive["attributes"]["NORMAL"] = NormalAccessor(mesh);
  if (mesh.pictureTotal > 0) primitive["material"] = 0;
  if (!mesh.morphs()) return primitive;
  Json targets = Json::array();
  for (uint32_t f = 0; f < mesh.frameTotal; ++f) {
    Json target{{"POSITION", kFirstDeltaAccessor + f}};
    if (mesh.normals()) target["NORMAL"] = NormalAccessor(mesh) + 1 + f;
    targets.push_back(std::move(target));
  }
  primitive["targets"] = std::move(targets);
  return primitive;
}

Json MeshJson(const GltfMesh& mesh, const GltfLayout& layout, Json primitive, const std::string& baseName) {
  Json meshJson{{"name", Latin1ToUtf8(baseName)}, {"primitives", Json::array({std::move(primitive)})}};
  Json extras = Json::object();
  if (mesh.morphs()) {
    meshJson["weights"] = Json(std::vector<int>(mesh.frameTotal, 0));
    Json names = Json::array();
    for (const std::string& name : mesh.frameNames) names.push_back(Latin1ToUtf8(name));
    extras["targetNames"] = std::move(names);
  }
  Json quake = QuakeExtras(mesh, layout);
  if (!quake.is_null()) extras["quake"] = std::move(quake);
  if (!extras.empty()) meshJson["extras"] = std::move(extras);
  return meshJson;
}

}  // namespace

std::string UriOfFileName(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                      byte == '-' || byte == '.' || byte == '_' || byte == '~';
    if (unreserved) {
      uri.push_back(c);
    } else {
      uri.push_back('%');
      uri.push_back(kHex[byte >> 4]);
      uri.push_back(kHex[byte & 15]);
    }
  }
  return uri;
}

std::string GltfJson(const GltfMesh& mesh, const GltfLayout& layout, const std::string& baseName,
                     const std::string& bufferUri) {
  Json document{{"asset", {{"version", "2.0"}, {"generator", "corvane"}}}};
  document["scene"] = 0;
  document["scenes"] = Json::array({Json{{"nodes", {0}}}});
  document["nodes"] = Json::array({Json{{"name", Latin1ToUtf8(baseName)}, {"mesh", 0}}});
  Json primitive = Primitive(mesh);
  AddVariants(document, primitive, mesh, baseName);
  document["meshes"] = Json::array({MeshJson(mesh, layout, std::move(primitive), baseName)});
  AddMaterials(document, mesh, layout, baseName);
  document["bufferViews"] = BufferViews(mesh, layout);
  Json buffer{{"byteLength", layout.total}};
  if (!bufferUri.empty()) buffer["uri"] = bufferUri;
  document["buffers"] = Json::array({std::move(buffer)});

  // The arrays that grow with the frames close the document.
  std::string text = Text(document);
  document = Json();
  text.pop_back();  // its closing brace
  AppendArray(text, "accessors", AccessorCount(mesh), [&](uint64_t i) { return Accessor(mesh, layout, i); });
  if (mesh.morphs())
    AppendArray(text, "animations", mesh.runs.size(), [&mesh](uint64_t r) { return Animation(mesh, size_t(r)); });
  text.push_back('}');
  return text;
}
