#include "gltf_document.h"

#include <nlohmann/json.hpp>

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

Json Vector3(const float (&values)[3]) { return Json::array({values[0], values[1], values[2]}); }

// Adds buffer views and accessors, and tells the index each one got.
struct Indexer {
  Json views = Json::array();
  Json accessors = Json::array();

  int view(const GltfSection& section, int target = 0, int stride = 0) {
    Json view{{"buffer", 0}, {"byteOffset", section.offset}, {"byteLength", section.length}};
    if (stride != 0) view["byteStride"] = stride;
    if (target != 0) view["target"] = target;
    views.push_back(std::move(view));
    return int(views.size()) - 1;
  }
  int accessor(Json accessor) {
    accessors.push_back(std::move(accessor));
    return int(accessors.size()) - 1;
  }
};

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

Json MorphTargets(const GltfMesh& mesh, const GltfLayout& layout, Indexer& index) {
  Json targets = Json::array();
  // One view holds every frame; vertex views shared by accessors must state their stride.
  const int view = index.view(layout.deltas, kArrayBuffer, 12);
  const uint64_t frameBytes = uint64_t(mesh.vertexTotal) * 12;
  for (uint32_t f = 0; f < mesh.frameTotal; ++f) {
    int accessor = index.accessor(BoundedVec3(view, f * frameBytes, mesh.vertexTotal, mesh.deltas[f]));
    targets.push_back(Json{{"POSITION", accessor}});
  }
  return targets;
}

Json FrameNamesJson(const GltfMesh& mesh) {
  Json names = Json::array();
  for (const std::string& name : mesh.frameNames) names.push_back(Latin1ToUtf8(name));
  return names;
}

// Per run: key times shared from one view, and the weights as a sparse accessor
// (zeros but for one 1 per key), so the file grows with the frames, not with their square.
Json Animations(const GltfMesh& mesh, const GltfLayout& layout, Indexer& index) {
  const int times = index.view(layout.keyTimes);
  const int ones = index.view(layout.keyWeights);
  const int keys = index.view(layout.keyIndices);
  Json animations = Json::array();
  for (const GltfRun& run : mesh.runs) {
    int input = index.accessor(Json{{"bufferView", times},
                                    {"componentType", kFloat},
                                    {"count", run.count},
                                    {"type", "SCALAR"},
                                    {"min", Json::array({KeyTime(0)})},
                                    {"max", Json::array({KeyTime(run.count - 1)})}});
    Json sparse{{"count", run.count},
                {"indices", {{"bufferView", keys}, {"byteOffset", uint64_t(run.first) * 4}, {"componentType", kUnsignedInt}}},
                {"values", {{"bufferView", ones}}}};
    int output = index.accessor(Json{{"componentType", kFloat},
                                     {"count", uint64_t(run.count) * mesh.frameTotal},
                                     {"type", "SCALAR"},
                                     {"sparse", std::move(sparse)}});
    Json sampler{{"input", input}, {"interpolation", "LINEAR"}, {"output", output}};
    Json channel{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}};
    animations.push_back(Json{{"name", Latin1ToUtf8(run.name)},
                              {"samplers", Json::array({std::move(sampler)})},
                              {"channels", Json::array({std::move(channel)})}});
  }
  return animations;
}

std::string MaterialName(const std::string& baseName, uint32_t picture) {
  return Latin1ToUtf8(baseName) + "_" + std::to_string(picture);
}

// One material per skin picture, textured where its image is in the buffer.
void AddMaterials(Json& document, const GltfMesh& mesh, const GltfLayout& layout, const std::string& baseName,
                  Indexer& index) {
  Json materials = Json::array(), textures = Json::array(), images = Json::array();
  for (uint32_t p = 0; p < mesh.pictureTotal; ++p) {
    Json pbr{{"metallicFactor", 0}};
    if (layout.images[p].length > 0) {
      images.push_back(Json{{"bufferView", index.view(layout.images[p])}, {"mimeType", "image/png"}});
      textures.push_back(Json{{"sampler", 0}, {"source", images.size() - 1}});
      pbr = Json{{"baseColorTexture", {{"index", textures.size() - 1}}}, {"metallicFactor", 0}};
    }
    materials.push_back(Json{{"name", MaterialName(baseName, p)}, {"pbrMetallicRoughness", std::move(pbr)}});
  }
  if (materials.empty()) return;
  document["materials"] = std::move(materials);
  if (textures.empty()) return;
  document["textures"] = std::move(textures);
  document["images"] = std::move(images);
  document["samplers"] = Json::array({Json{{"magFilter", kNearest}}});
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

Json Primitive(const GltfMesh& mesh, const GltfLayout& layout, Indexer& index) {
  int indices = index.accessor(Json{{"bufferView", index.view(layout.indices, kElementArrayBuffer)},
                                    {"componentType", mesh.wideIndices ? kUnsignedInt : kUnsignedShort},
                                    {"count", uint64_t(mesh.triangleCount) * 3},
                                    {"type", "SCALAR"}});
  int positions = index.accessor(
      BoundedVec3(index.view(layout.positions, kArrayBuffer), 0, mesh.vertexTotal, mesh.basePositions));
  int texCoords = index.accessor(Json{{"bufferView", index.view(layout.texCoords, kArrayBuffer)},
                                      {"componentType", kFloat},
                                      {"count", mesh.vertexTotal},
                                      {"type", "VEC2"}});
  Json primitive{{"attributes", {{"POSITION", positions}, {"TEXCOORD_0", texCoords}}}, {"indices", indices}};
  if (mesh.pictureTotal > 0) primitive["material"] = 0;
  if (mesh.morphs()) primitive["targets"] = MorphTargets(mesh, layout, index);
  return primitive;
}

}  // namespace

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(c);
    } else {
      text.push_back(char(0xC0 | (byte >> 6)));
      text.push_back(char(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

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

  Indexer index;
  Json primitive = Primitive(mesh, layout, index);
  AddVariants(document, primitive, mesh, baseName);
  Json meshJson{{"name", Latin1ToUtf8(baseName)}, {"primitives", Json::array({std::move(primitive)})}};
  if (mesh.morphs()) {
    meshJson["weights"] = Json(std::vector<int>(mesh.frameTotal, 0));
    meshJson["extras"] = Json{{"targetNames", FrameNamesJson(mesh)}};
    document["animations"] = Animations(mesh, layout, index);
  }
  document["meshes"] = Json::array({std::move(meshJson)});
  AddMaterials(document, mesh, layout, baseName, index);

  document["bufferViews"] = std::move(index.views);
  document["accessors"] = std::move(index.accessors);
  Json buffer{{"byteLength", layout.total}};
  if (!bufferUri.empty()) buffer["uri"] = bufferUri;
  document["buffers"] = Json::array({std::move(buffer)});
  // Every string is valid UTF-8 by construction; replacing keeps dump from throwing regardless.
  return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}
