// glTF models read back into an alias model's stored record.
//
// tinygltf parses the file and checks its structure; every accessor is then read
// here through one function that checks its bytes against its buffer. The mesh
// becomes a list of glTF vertices with positions per frame, skin coordinates and
// triangles. With corvane's values in mesh.extras the stored vertices, faces,
// boxes and groups come back as they were; without them the vertices are welded
// and folded onto the skin's seam as the format wants them.
#include "gltf_reader.h"

#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#include <spng.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "text_rules.h"

namespace {

using Json = nlohmann::json;

constexpr uint32_t kMaxCount = 0xFFFF;  // the most the format's loaders read back
constexpr int32_t kOnSeam = 0x20;
constexpr size_t kNameBytes = 15;
constexpr int kTriangles = TINYGLTF_MODE_TRIANGLES;
constexpr int kStrip = TINYGLTF_MODE_TRIANGLE_STRIP;
constexpr int kFan = TINYGLTF_MODE_TRIANGLE_FAN;
// Texture coordinates a hair outside 0..1 are float noise, not a layout past the skin.
constexpr double kCoordSlack = 1e-5;
constexpr size_t kMostUnbackedElements = size_t(1) << 22;

// ---------------------------------------------------------------------------
// The file
// ---------------------------------------------------------------------------

// Image bytes are kept as they are: the skins are decoded here, with their indices.
bool KeepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                    int size, void*) {
  image->image.assign(bytes, bytes + std::max(size, 0));
  image->as_is = true;
  return true;
}

struct PackFiles {
  std::string packName;
};

bool ReadPackFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
  const PackFiles* files = static_cast<const PackFiles*>(user);
  std::string pack = files->packName, name = path;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  int32_t code = vnlPackFileLoad(pack, name, block, length);
  if (code == VNL_OK) out->assign(block, block + length);
  std::free(block);
  if (code != VNL_OK && err != nullptr) *err += "\"" + path + "\" is not in the pack\n";
  return code == VNL_OK;
}

bool PackFileExists(const std::string& path, void* user) {
  std::vector<unsigned char> bytes;
  return ReadPackFile(&bytes, nullptr, path, user);
}

bool DiskFileExists(const std::string& path, void*) { return tinygltf::FileExists(path, nullptr); }

bool ReadDiskFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void*) {
  return tinygltf::ReadWholeFile(out, err, path, nullptr);
}

// A path is taken as written: the default expansion would run it through the shell's word rules.
std::string KeepPath(const std::string& path, void*) { return path; }

bool NoWrite(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }

std::string FolderOf(const std::string& name) {
  const size_t cut = name.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : name.substr(0, cut);
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

bool LoadBytes(const GltfSource& source, std::vector<uint8_t>& bytes, std::string& failure) {
  std::string pack = source.packName, name = source.fileName;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  int32_t code = vnlPackFileLoad(pack, name, block, length);
  if (code == VNL_OK) bytes.assign(block, block + length);
  std::free(block);
  if (code == VNL_OK && length == 0) code = VNL_EMPTY_FILE;
  if (code != VNL_OK) {
    std::string text = "error " + std::to_string(code);
    vnlErrorString(code, text);
    failure = text;
  }
  return code == VNL_OK;
}

bool ParseDocument(const GltfSource& source, PackFiles& files, tinygltf::Model& document, std::string& failure) {
  std::vector<uint8_t> bytes;
  if (!LoadBytes(source, bytes, failure)) return false;
  tinygltf::TinyGLTF parser;
  parser.SetImageLoader(KeepImageBytes, nullptr);
  parser.SetStoreOriginalJSONForExtrasAndExtensions(true);
  files.packName = source.packName;
  const bool inPack = !source.packName.empty();
  parser.SetFsCallbacks(tinygltf::FsCallbacks{inPack ? PackFileExists : DiskFileExists, KeepPath,
                                              inPack ? ReadPackFile : ReadDiskFile, NoWrite, &files});
  std::string err, warn;
  const std::string folder = FolderOf(source.fileName);
  bool parsed = false;
  try {
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0)
      parsed = parser.LoadBinaryFromMemory(&document, &err, &warn, bytes.data(), unsigned(bytes.size()), folder);
    else
      parsed = parser.LoadASCIIFromString(&document, &err, &warn, reinterpret_cast<const char*>(bytes.data()),
                                          unsigned(bytes.size()), folder);
  } catch (const std::exception& e) {
    err = e.what();
    parsed = false;
  }
  if (!parsed)
    failure = "not a glTF file that parses (" + (err.empty() ? std::string("no reason given") : FirstLine(err)) + ")";
  return parsed;
}

// ---------------------------------------------------------------------------
// Accessors
// ---------------------------------------------------------------------------

// Where `count` elements of `size` bytes, `stride` apart, start `offset` bytes
// into a buffer view; null when they do not lie inside it.
const uint8_t* ViewBytes(const tinygltf::Model& g, int view, uint64_t offset, uint64_t size, uint64_t stride,
                         uint64_t count) {
  if (view < 0 || size_t(view) >= g.bufferViews.size()) return nullptr;
  const tinygltf::BufferView& v = g.bufferViews[view];
  if (v.buffer < 0 || size_t(v.buffer) >= g.buffers.size()) return nullptr;
  const std::vector<unsigned char>& data = g.buffers[v.buffer].data;
  if (uint64_t(v.byteOffset) + v.byteLength > data.size()) return nullptr;
  if (count > 0 && offset + stride * (count - 1) + size > v.byteLength) return nullptr;
  return data.data() + v.byteOffset + offset;
}

double Component(const uint8_t* at, int type, bool normalized) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: {
      float f;
      std::memcpy(&f, at, 4);
      return f;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return normalized ? *at / 255.0 : *at;
    case TINYGLTF_COMPONENT_TYPE_BYTE:
      return normalized ? std::max(int8_t(*at) / 127.0, -1.0) : int8_t(*at);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      uint16_t u;
      std::memcpy(&u, at, 2);
      return normalized ? u / 65535.0 : u;
    }
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
      int16_t s;
      std::memcpy(&s, at, 2);
      return normalized ? std::max(s / 32767.0, -1.0) : s;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
      uint32_t u;
      std::memcpy(&u, at, 4);
      return u;
    }
  }
  return 0.0;
}

// Accessor `index` as count x `width` numbers, sparse substitutions applied.
bool ReadAccessor(const tinygltf::Model& g, int index, int width, std::vector<double>& out, std::string& failure) {
  failure = "accessor " + std::to_string(index) + " lies outside its buffer or has the wrong type";
  if (index < 0 || size_t(index) >= g.accessors.size()) return false;
  const tinygltf::Accessor& a = g.accessors[index];
  const int componentSize = tinygltf::GetComponentSizeInBytes(uint32_t(a.componentType));
  if (componentSize <= 0 || tinygltf::GetNumComponentsInType(uint32_t(a.type)) != width) return false;
  if (a.count > VNL_MAX_ALLOCATION / 8 / uint64_t(width)) return false;
  // Without a view the elements cost no bytes of the file: their number is held to what a model could use.
  if (a.bufferView < 0 && a.count > kMostUnbackedElements) return false;
  const uint64_t size = uint64_t(componentSize) * width;
  out.assign(a.count * width, 0.0);
  if (a.bufferView >= 0) {
    const uint64_t stride = size_t(a.bufferView) < g.bufferViews.size() && g.bufferViews[a.bufferView].byteStride != 0
                                ? g.bufferViews[a.bufferView].byteStride
                                : size;
    const uint8_t* at = ViewBytes(g, a.bufferView, a.byteOffset, size, stride, a.count);
    if (at == nullptr) return false;
    for (size_t i = 0; i < a.count; ++i)
      for (int c = 0; c < width; ++c)
        out[i * width + c] = Component(at + i * stride + c * componentSize, a.componentType, a.normalized);
  }
  if (a.sparse.isSparse) {
    const int indexSize = tinygltf::GetComponentSizeInBytes(uint32_t(a.sparse.indices.componentType));
    if (a.sparse.count < 0 || indexSize <= 0) return false;
    const uint64_t n = uint64_t(a.sparse.count);
    const uint8_t* indices =
        ViewBytes(g, a.sparse.indices.bufferView, uint64_t(a.sparse.indices.byteOffset), indexSize, indexSize, n);
    const uint8_t* values =
        ViewBytes(g, a.sparse.values.bufferView, uint64_t(a.sparse.values.byteOffset), size, size, n);
    if (indices == nullptr || values == nullptr) return false;
    for (uint64_t k = 0; k < n; ++k) {
      const double i = Component(indices + k * indexSize, a.sparse.indices.componentType, false);
      if (!(i >= 0.0 && i < double(a.count))) return false;
      for (int c = 0; c < width; ++c)
        out[size_t(i) * width + c] = Component(values + k * size + c * componentSize, a.componentType, a.normalized);
    }
  }
  failure.clear();
  return true;
}

// ---------------------------------------------------------------------------
// The mesh
// ---------------------------------------------------------------------------

using Matrix = std::array<double, 16>;  // column-major, as glTF stores it

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
  return m;
}

Matrix LocalMatrix(const tinygltf::Node& node) {
  if (node.matrix.size() == 16) {
    Matrix m;
    std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
    return m;
  }
  Matrix m = kIdentity;
  if (node.rotation.size() == 4) {
    const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
    m = {1 - 2 * (y * y + z * z),
         2 * (x * y + z * w),
         2 * (x * z - y * w),
         0,
         2 * (x * y - z * w),
         1 - 2 * (x * x + z * z),
         2 * (y * z + x * w),
         0,
         2 * (x * z + y * w),
         2 * (y * z - x * w),
         1 - 2 * (x * x + y * y),
         0,
         0,
         0,
         0,
         1};
  }
  if (node.scale.size() == 3)
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < 3; ++r) m[c * 4 + r] *= node.scale[c];
  if (node.translation.size() == 3)
    for (int r = 0; r < 3; ++r) m[12 + r] = node.translation[r];
  return m;
}

struct MeshChoice {
  int mesh = -1;
  int skin = -1;  // the node's skin (joints), or -1
  Matrix world = kIdentity;
  uint32_t others = 0;  // further nodes with a mesh, not read
};

void VisitNode(const tinygltf::Model& g, int index, const Matrix& parent, int depth, MeshChoice& choice) {
  if (index < 0 || size_t(index) >= g.nodes.size() || depth > 64) return;
  const tinygltf::Node& node = g.nodes[index];
  const Matrix world = Multiply(parent, LocalMatrix(node));
  if (node.mesh >= 0 && size_t(node.mesh) < g.meshes.size()) {
    if (choice.mesh < 0) {
      choice.mesh = node.mesh;
      choice.skin = node.skin;
      choice.world = world;
    } else {
      ++choice.others;
    }
  }
  for (int child : node.children) VisitNode(g, child, world, depth + 1, choice);
}

// The first node of the scene with a mesh, depth first; without scenes the first mesh.
MeshChoice ChooseMesh(const tinygltf::Model& g) {
  MeshChoice choice;
  int scene = g.defaultScene >= 0 ? g.defaultScene : 0;
  if (size_t(scene) < g.scenes.size())
    for (int root : g.scenes[scene].nodes) VisitNode(g, root, kIdentity, 0, choice);
  if (choice.mesh < 0 && !g.meshes.empty()) choice.mesh = 0;
  return choice;
}

// The glTF vertices of the mesh, primitives one after the other.
struct Soup {
  std::vector<double> positions;                  // 3 per vertex, glTF axes, node transform applied
  std::vector<std::vector<double>> targets;       // per target: 3 per vertex, position deltas
  std::vector<double> normals;                    // 3 per vertex, or empty
  std::vector<std::vector<double>> normalDeltas;  // per target, or empty
  std::vector<double> coords;                     // 2 per vertex
  std::vector<uint32_t> triangles;                // 3 per triangle, glTF winding
  std::vector<int> images;                        // per skin: the image index
};

bool IsPrimitiveOfTriangles(int mode) { return mode == kTriangles || mode == kStrip || mode == kFan; }

// The primitive's triangles as index triples, strips and fans unrolled.
void AppendTriangles(const std::vector<double>& indices, int mode, uint32_t first, std::vector<uint32_t>& out) {
  auto add = [&](size_t a, size_t b, size_t c) {
    out.push_back(first + uint32_t(indices[a]));
    out.push_back(first + uint32_t(indices[b]));
    out.push_back(first + uint32_t(indices[c]));
  };
  if (mode == kTriangles)
    for (size_t i = 0; i + 2 < indices.size(); i += 3) add(i, i + 1, i + 2);
  else if (mode == kStrip)
    for (size_t i = 0; i + 2 < indices.size(); ++i) i % 2 == 0 ? add(i, i + 1, i + 2) : add(i + 1, i, i + 2);
  else
    for (size_t i = 1; i + 1 < indices.size(); ++i) add(0, i, i + 1);
}

int BaseColourImage(const tinygltf::Model& g, int material) {
  if (material < 0 || size_t(material) >= g.materials.size()) return -1;
  const int texture = g.materials[material].pbrMetallicRoughness.baseColorTexture.index;
  if (texture < 0 || size_t(texture) >= g.textures.size()) return -1;
  return g.textures[texture].source;
}

const char* const kVariants = "KHR_materials_variants";

uint32_t VariantCount(const tinygltf::Model& g) {
  auto found = g.extensions.find(kVariants);
  if (found == g.extensions.end() || !found->second.Has("variants")) return 0;
  return uint32_t(found->second.Get("variants").ArrayLen());
}

// The material of `primitive` for each variant: a mapping's, else its own.
std::vector<int> VariantMaterials(const tinygltf::Primitive& primitive, uint32_t variants) {
  std::vector<int> materials(variants, primitive.material);
  auto found = primitive.extensions.find(kVariants);
  if (found == primitive.extensions.end() || !found->second.Has("mappings")) return materials;
  const tinygltf::Value& mappings = found->second.Get("mappings");
  for (size_t m = 0; m < mappings.ArrayLen(); ++m) {
    const tinygltf::Value& mapping = mappings.Get(int(m));
    if (!mapping.Has("material") || !mapping.Has("variants")) continue;
    const int material = mapping.Get("material").GetNumberAsInt();
    const tinygltf::Value& list = mapping.Get("variants");
    for (size_t k = 0; k < list.ArrayLen(); ++k) {
      const int v = list.Get(int(k)).GetNumberAsInt();
      if (v >= 0 && uint32_t(v) < variants) materials[v] = material;
    }
  }
  return materials;
}

void Transform(const Matrix& m, double* p, bool direction) {
  const double x = p[0], y = p[1], z = p[2], w = direction ? 0.0 : 1.0;
  for (int r = 0; r < 3; ++r) p[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r] * w;
}

bool ReadPrimitive(const tinygltf::Model& g, const tinygltf::Primitive& p, Soup& soup, std::string& failure) {
  if (!IsPrimitiveOfTriangles(p.mode)) {
    failure = "the mesh holds points or lines, not triangles";
    return false;
  }
  auto position = p.attributes.find("POSITION");
  auto coord = p.attributes.find("TEXCOORD_0");
  if (position == p.attributes.end()) {
    failure = "a primitive of the mesh has no positions";
    return false;
  }
  if (coord == p.attributes.end()) {
    failure = "the mesh has no texture coordinates (TEXCOORD_0)";
    return false;
  }
  std::vector<double> positions, coords, normals, indices;
  if (!ReadAccessor(g, position->second, 3, positions, failure) || !ReadAccessor(g, coord->second, 2, coords, failure))
    return false;
  const size_t count = positions.size() / 3;
  if (coords.size() / 2 != count) {
    failure = "a primitive's texture coordinates and positions differ in number";
    return false;
  }
  if (soup.positions.size() / 3 + count > VNL_MAX_ALLOCATION / 64) {
    failure = "the mesh has more vertices than an alias model holds";
    return false;
  }
  auto normal = p.attributes.find("NORMAL");
  const bool withNormals = normal != p.attributes.end() && (soup.positions.empty() || !soup.normals.empty());
  if (withNormals && (!ReadAccessor(g, normal->second, 3, normals, failure) || normals.size() != positions.size()))
    return false;
  if (!withNormals) soup.normals.clear();
  if (p.indices >= 0) {
    if (!ReadAccessor(g, p.indices, 1, indices, failure)) return false;
    for (double i : indices)
      if (!(i >= 0.0 && i < double(count))) {
        failure = "a triangle names a vertex the primitive does not have";
        return false;
      }
  } else {
    for (size_t i = 0; i < count; ++i) indices.push_back(double(i));
  }
  const uint32_t first = uint32_t(soup.positions.size() / 3);
  AppendTriangles(indices, p.mode, first, soup.triangles);
  soup.positions.insert(soup.positions.end(), positions.begin(), positions.end());
  soup.coords.insert(soup.coords.end(), coords.begin(), coords.end());
  if (withNormals) soup.normals.insert(soup.normals.end(), normals.begin(), normals.end());

  if (first == 0) {
    soup.targets.resize(p.targets.size());
    soup.normalDeltas.resize(withNormals ? p.targets.size() : 0);
  } else if (p.targets.size() != soup.targets.size()) {
    failure = "the mesh's primitives have different numbers of morph targets";
    return false;
  }
  for (size_t k = 0; k < p.targets.size(); ++k) {
    std::vector<double> deltas(positions.size(), 0.0);
    auto moved = p.targets[k].find("POSITION");
    if (moved != p.targets[k].end() &&
        (!ReadAccessor(g, moved->second, 3, deltas, failure) || deltas.size() != positions.size())) {
      failure = "a morph target's positions do not match its primitive";
      return false;
    }
    soup.targets[k].insert(soup.targets[k].end(), deltas.begin(), deltas.end());
    if (soup.normalDeltas.empty()) continue;
    std::vector<double> turned(positions.size(), 0.0);
    auto n = p.targets[k].find("NORMAL");
    if (n != p.targets[k].end() &&
        (!ReadAccessor(g, n->second, 3, turned, failure) || turned.size() != positions.size()))
      return false;
    soup.normalDeltas[k].insert(soup.normalDeltas[k].end(), turned.begin(), turned.end());
  }
  return true;
}

// The skins the primitives agree on: one per variant, else the material's own.
bool AgreeOnSkins(const tinygltf::Model& g, const tinygltf::Mesh& mesh, Soup& soup, std::string& failure) {
  const uint32_t variants = VariantCount(g);
  std::vector<int> images;
  for (size_t n = 0; n < mesh.primitives.size(); ++n) {
    const tinygltf::Primitive& p = mesh.primitives[n];
    std::vector<int> own;
    if (variants == 0) own.push_back(BaseColourImage(g, p.material));
    for (int material : VariantMaterials(p, variants)) own.push_back(BaseColourImage(g, material));
    if (n == 0) images = own;
    if (own != images) {
      failure = "the mesh's materials have different textures (an alias model has one skin for all its triangles)";
      return false;
    }
  }
  for (int image : images)
    if (image < 0 || size_t(image) >= g.images.size()) {
      failure = "the mesh's material has no base colour texture to make a skin of";
      return false;
    }
  soup.images = images;
  return true;
}

bool ReadMesh(const tinygltf::Model& g, const MeshChoice& choice, Soup& soup, std::string& failure) {
  const tinygltf::Mesh& mesh = g.meshes[choice.mesh];
  if (mesh.primitives.empty()) {
    failure = "the mesh has no primitives";
    return false;
  }
  for (const tinygltf::Primitive& p : mesh.primitives)
    if (!ReadPrimitive(g, p, soup, failure)) return false;
  const bool jointed =
      choice.skin >= 0 || std::any_of(mesh.primitives.begin(), mesh.primitives.end(),
                                      [](const tinygltf::Primitive& p) { return p.attributes.count("JOINTS_0") != 0; });
  if (jointed && soup.targets.empty()) {
    failure = "the mesh is moved by joints only: bake its animation into morph targets first";
    return false;
  }
  if (soup.triangles.empty()) {
    failure = "the mesh has no triangles";
    return false;
  }
  if (!AgreeOnSkins(g, mesh, soup, failure)) return false;
  // The node's placement, on the base positions and on every frame's delta.
  const size_t count = soup.positions.size() / 3;
  for (size_t i = 0; i < count; ++i) {
    Transform(choice.world, &soup.positions[3 * i], false);
    for (std::vector<double>& deltas : soup.targets) Transform(choice.world, &deltas[3 * i], true);
    if (!soup.normals.empty()) Transform(choice.world, &soup.normals[3 * i], true);
    for (std::vector<double>& deltas : soup.normalDeltas) Transform(choice.world, &deltas[3 * i], true);
  }
  auto finite = [](const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
  };
  if (!finite(soup.positions) || !std::all_of(soup.targets.begin(), soup.targets.end(), finite)) {
    failure = "the mesh has positions that are not finite numbers";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Skins
// ---------------------------------------------------------------------------

struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> indices;  // when the PNG was indexed
  std::vector<uint32_t> colors;  // 0xAARRGGBB otherwise
};

struct Spng {
  spng_ctx* ctx = spng_ctx_new(0);
  ~Spng() { spng_ctx_free(ctx); }
};

// An indexed PNG gives its indices (bit depths below 8 unpacked); any other its colours.
bool DecodePng(const std::vector<unsigned char>& bytes, Picture& picture) {
  Spng png;
  spng_ihdr ihdr{};
  if (png.ctx == nullptr || spng_set_image_limits(png.ctx, 8192, 8192) != 0 ||
      spng_set_png_buffer(png.ctx, bytes.data(), bytes.size()) != 0 || spng_get_ihdr(png.ctx, &ihdr) != 0)
    return false;
  picture.width = ihdr.width;
  picture.height = ihdr.height;
  const size_t pixels = size_t(ihdr.width) * ihdr.height;
  if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) {
    size_t length = 0;
    if (spng_decoded_image_size(png.ctx, SPNG_FMT_PNG, &length) != 0) return false;
    std::vector<uint8_t> packed(length);
    if (spng_decode_image(png.ctx, packed.data(), length, SPNG_FMT_PNG, 0) != 0) return false;
    const uint32_t depth = ihdr.bit_depth, perByte = 8 / depth, row = (ihdr.width * depth + 7) / 8;
    picture.indices.resize(pixels);
    for (uint32_t y = 0; y < ihdr.height; ++y)
      for (uint32_t x = 0; x < ihdr.width; ++x) {
        const uint8_t byte = packed[size_t(y) * row + x / perByte];
        const uint32_t shift = 8 - depth * (x % perByte + 1);
        picture.indices[size_t(y) * ihdr.width + x] = uint8_t((byte >> shift) & ((1u << depth) - 1));
      }
    return true;
  }
  std::vector<uint8_t> rgba(pixels * 4);
  if (spng_decode_image(png.ctx, rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) return false;
  picture.colors.resize(pixels);
  for (size_t i = 0; i < pixels; ++i)
    picture.colors[i] = uint32_t(rgba[4 * i + 3]) << 24 | uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 |
                        rgba[4 * i + 2];
  return true;
}

bool DecodeSkins(const tinygltf::Model& g, const std::vector<int>& images, std::vector<Picture>& pictures,
                 std::string& failure) {
  std::map<int, size_t> decoded;
  for (int image : images) {
    if (decoded.count(image) != 0) {
      pictures.push_back(pictures[decoded[image]]);
      continue;
    }
    Picture picture;
    if (image < 0 || size_t(image) >= g.images.size() || !DecodePng(g.images[image].image, picture)) {
      failure = "texture image " + std::to_string(image) + " does not decode (a PNG file is read)";
      return false;
    }
    if (!pictures.empty() && (picture.width != pictures[0].width || picture.height != pictures[0].height)) {
      failure = "the skins differ in size (" + std::to_string(pictures[0].width) + " x " +
                std::to_string(pictures[0].height) + " and " + std::to_string(picture.width) + " x " +
                std::to_string(picture.height) + ")";
      return false;
    }
    decoded[image] = pictures.size();
    pictures.push_back(std::move(picture));
  }
  return true;
}

// Each distinct colour is mapped once: a skin holds few of them.
void MapColours(const VNLPALETTE_T& palette, const std::vector<uint32_t>& colors, std::vector<uint8_t>& indices) {
  std::vector<uint32_t> distinct = colors;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::vector<uint8_t> mapped(distinct.size());
  vnlPaletteMap(&palette, distinct.data(), uint32_t(distinct.size()), -1, mapped.data());
  for (size_t i = 0; i < colors.size(); ++i)
    indices[i] = mapped[std::lower_bound(distinct.begin(), distinct.end(), colors[i]) - distinct.begin()];
}

// The pictures as palette indices, each row padded to `width` with index 0.
bool IndexSkins(const std::vector<Picture>& pictures, uint32_t width, const GltfSource& source, GltfModel& model,
                std::string& failure) {
  const bool havePalette = source.palette != nullptr && source.palette->colors != nullptr;
  for (const Picture& picture : pictures) {
    std::vector<uint8_t> indices = picture.indices;
    if (indices.empty()) {
      if (!havePalette && source.needsIndices) {
        failure = "the skins are true-colour images: name the palette to map them to with -pal";
        return false;
      }
      indices.assign(picture.colors.size(), 0);
      if (havePalette) MapColours(*source.palette, picture.colors, indices);
      ++model.mappedSkins;
    }
    std::vector<uint8_t> padded(size_t(width) * picture.height, 0);
    for (uint32_t y = 0; y < picture.height; ++y)
      std::copy_n(indices.begin() + size_t(y) * picture.width, picture.width, padded.begin() + size_t(y) * width);
    model.skinPixels.push_back(std::move(padded));
  }
  return true;
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

// glTF's axes back to the game's: the inverse of the writer's (x, z, -y).
VNLVEC3_T ToGameAxes(const double* p) { return VNLVEC3_T{float(p[0]), float(-p[2]), float(p[1])}; }

struct Frames {
  uint32_t count = 0;
  bool baseFirst = false;  // frame 0 is the mesh itself, the targets follow
  // The morph target frame f adds to the mesh, or -1.
  int target(const Soup& soup, uint32_t f) const {
    if (soup.targets.empty()) return -1;
    return baseFirst ? int(f) - 1 : int(f);
  }
  // Frame f, glTF vertex i, in the game's axes.
  VNLVEC3_T position(const Soup& soup, uint32_t f, size_t i) const {
    double p[3] = {soup.positions[3 * i], soup.positions[3 * i + 1], soup.positions[3 * i + 2]};
    const int k = target(soup, f);
    if (k >= 0)
      for (int c = 0; c < 3; ++c) p[c] += soup.targets[k][3 * i + c];
    return ToGameAxes(p);
  }
  uint8_t normal(const Soup& soup, uint32_t f, size_t i) const {
    double n[3] = {soup.normals[3 * i], soup.normals[3 * i + 1], soup.normals[3 * i + 2]};
    const int k = target(soup, f);
    if (k >= 0)
      for (int c = 0; c < 3; ++c) n[c] += soup.normalDeltas[k][3 * i + c];
    const VNLVEC3_T g = ToGameAxes(n);
    return uint8_t(vnlNearestNormal(g.x, g.y, g.z));
  }
};

// UTF-8 text back to the Latin-1 bytes the writer turned into it; other characters become "?".
std::string Utf8ToLatin1(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      bytes.push_back(char(c));
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
      bytes.push_back(char(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F)));
    } else if (c >= 0xC0) {
      bytes.push_back('?');
      while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
    }
  }
  return bytes;
}

std::vector<std::string> Strings(const Json& object, const char* key) {
  std::vector<std::string> strings;
  if (object.is_object() && object.contains(key) && object[key].is_array())
    for (const Json& name : object[key]) strings.push_back(name.is_string() ? name.get<std::string>() : "");
  return strings;
}

// The names of the frames: corvane's own list (which names a lone frame too), else
// the targets' names.
void NameFrames(const Json& extras, const Frames& frames, GltfModel& model) {
  std::vector<std::string> names = Strings(extras, "targetNames");
  const std::vector<std::string> stored = Strings(extras.value("quake", Json::object()), "frameNames");
  if (!frames.baseFirst && stored.size() == frames.count) names = stored;
  model.frameNames.assign(frames.count, std::array<char, 16>{});
  for (uint32_t f = 0; f < frames.count; ++f) {
    const int target = frames.baseFirst ? int(f) - 1 : int(f);
    std::string name = target < 0 ? "base" : "frame" + std::to_string(target + 1);
    if (!frames.baseFirst && frames.count == 1 && names.empty()) name = "base";
    if (target >= 0 && size_t(target) < names.size()) name = Utf8ToLatin1(names[target]);
    name = name.substr(0, name.find('\0'));
    if (name.size() > kNameBytes) {
      model.notes.push_back("frame name \"" + PrintableName(name) + "\" cut to 15 bytes");
      name.resize(kNameBytes);
    }
    std::copy(name.begin(), name.end(), model.frameNames[f].begin());
  }
}

// ---------------------------------------------------------------------------
// The stored values from corvane's extras
// ---------------------------------------------------------------------------

template <typename T>
bool Numbers(const Json& object, const char* key, size_t count, std::vector<T>& out) {
  if (!object.contains(key) || !object[key].is_array() || object[key].size() != count) return false;
  out.clear();
  for (const Json& v : object[key]) {
    if (!v.is_number()) return false;
    out.push_back(v.get<T>());
  }
  return true;
}

bool Vector(const Json& object, const char* key, VNLVEC3_T& v) {
  std::vector<float> xyz;
  if (!Numbers(object, key, 3, xyz)) return false;
  v = VNLVEC3_T{xyz[0], xyz[1], xyz[2]};
  return true;
}

bool Boxes(const Json& object, const char* key, size_t count, std::vector<VNLTRIVERTEX_T>& out) {
  std::vector<int64_t> bytes;
  if (!Numbers(object, key, count * 8, bytes)) return false;
  out.assign(count * 2, VNLTRIVERTEX_T{});
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] < 0 || bytes[i] > 255) return false;
    VNLTRIVERTEX_T& v = out[i / 4];
    (i % 4 == 3 ? v.normal : v.v[i % 4]) = uint8_t(bytes[i]);
  }
  return true;
}

uint64_t Covered(const std::vector<uint32_t>& sizes) {
  uint64_t total = 0;
  for (uint32_t size : sizes) total += size == 0 ? 1 : size;
  return total;
}

// The header values, mesh and groups of the "quake" object; false when they do
// not fit the glTF mesh read (then the file is read as one from elsewhere).
bool ReadStoredValues(const Json& q, const Soup& soup, GltfModel& model, std::vector<int>& skinImages) {
  if (!q.is_object() || !q.contains("vertexCount") || !q["vertexCount"].is_number_unsigned()) return false;
  const uint64_t vertices = q["vertexCount"].get<uint64_t>(), glVertices = soup.positions.size() / 3;
  const uint64_t triangles = soup.triangles.size() / 3, frames = soup.targets.empty() ? 1 : soup.targets.size();
  if (vertices == 0 || vertices > glVertices || vertices > kMaxCount) return false;
  std::vector<int64_t> skinVertices, faces, numbers;
  if (!Numbers(q, "skinVertices", vertices * 3, skinVertices) || !Numbers(q, "faces", triangles * 4, faces))
    return false;
  if (!Vector(q, "eye", model.eye) || !q.contains("flags") || !q.contains("syncType") || !q.contains("radius") ||
      !q.contains("size") || !q.contains("skinWidth") || !q.contains("skinHeight"))
    return false;
  model.flags = q["flags"].get<uint32_t>();
  model.syncType = q["syncType"].get<uint32_t>();
  model.skinWidth = q["skinWidth"].get<uint32_t>();
  model.skinHeight = q["skinHeight"].get<uint32_t>();
  if (!Numbers(q, "frameEntrySize", q.value("frameEntrySize", Json::array()).size(), model.frameEntrySize) ||
      Covered(model.frameEntrySize) != frames ||
      !Boxes(q, "frameEntryBox", model.frameEntrySize.size(), model.frameEntryBox) ||
      !Boxes(q, "frameBoxes", frames, model.frameBoxes) || !Numbers(q, "frameIntervals", frames, model.frameIntervals))
    return false;
  if (!Numbers(q, "skinEntrySize", q.value("skinEntrySize", Json::array()).size(), model.skinEntrySize)) return false;
  const uint64_t skins = Covered(model.skinEntrySize);
  if (!Numbers(q, "skinIntervals", skins, model.skinIntervals) || !Numbers(q, "skinImages", skins, skinImages))
    return false;
  model.skinVertices.resize(vertices);
  for (uint64_t i = 0; i < vertices; ++i)
    model.skinVertices[i] = VNLSKINVERTEX_T{int32_t(skinVertices[3 * i]), int32_t(skinVertices[3 * i + 1]),
                                            int32_t(skinVertices[3 * i + 2])};
  model.faces.resize(triangles);
  for (uint64_t n = 0; n < triangles; ++n) {
    VNLFACE_T& face = model.faces[n];
    face.facesFront = int32_t(faces[4 * n]);
    for (int c = 0; c < 3; ++c) {
      face.index[c] = int32_t(faces[4 * n + 1 + c]);
      if (face.index[c] < 0 || uint64_t(face.index[c]) >= vertices) return false;
      // The mesh's triangle runs the other way; a seam copy stands past the stored vertices.
      const uint32_t g = soup.triangles[3 * n + 2 - c];
      if (g < vertices ? g != uint32_t(face.index[c])
                       : (face.facesFront != 0 || model.skinVertices[face.index[c]].onSeam == 0))
        return false;
    }
  }
  model.vertexCount = uint32_t(vertices);
  model.frameCount = uint32_t(frames);
  const bool lattice = Vector(q, "scale", model.scale) && Vector(q, "origin", model.origin);
  if (lattice) {
    model.radius = q["radius"].get<float>();
    model.size = q["size"].get<float>();
  } else {
    model.scale = model.origin = VNLVEC3_T{0, 0, 0};
  }
  return true;
}

// What of the "quake" object holds whatever became of the mesh (another tool
// reorders and splits vertices on a round trip): the frame layout, when it covers
// the morph targets, with the header values and the skin layout. False when even
// these do not fit; then nothing is kept.
bool ReadLayoutValues(const Json& q, size_t targets, GltfModel& model) {
  if (!q.is_object() || targets == 0 || !q.contains("flags") || !q.contains("syncType")) return false;
  if (!Numbers(q, "frameEntrySize", q.value("frameEntrySize", Json::array()).size(), model.frameEntrySize) ||
      Covered(model.frameEntrySize) != targets || !Numbers(q, "frameIntervals", targets, model.frameIntervals) ||
      !Vector(q, "eye", model.eye))
    return false;
  model.flags = q["flags"].get<uint32_t>();
  model.syncType = q["syncType"].get<uint32_t>();
  if (Numbers(q, "skinEntrySize", q.value("skinEntrySize", Json::array()).size(), model.skinEntrySize) &&
      Numbers(q, "skinIntervals", Covered(model.skinEntrySize), model.skinIntervals))
    return true;
  model.skinEntrySize.clear();
  model.skinIntervals.clear();
  return true;
}

// The skin layout kept from the extras, when the skins read are as many as it covers.
void KeepSkinLayoutIfItFits(GltfModel& model) {
  if (Covered(model.skinEntrySize) == model.skinPixels.size() && !model.skinEntrySize.empty()) return;
  model.skinEntrySize.clear();
  model.skinIntervals.clear();
}

bool OnLattice(double p, float scale, float origin, uint8_t& step) {
  if (scale == 0.0f) return false;
  const double r = std::nearbyint((p - double(origin)) / double(scale));
  if (!(r >= 0.0 && r <= 255.0)) return false;
  step = uint8_t(r);
  return true;
}

// The extras' lattice for positions read as from elsewhere, when every position
// lies within its 256 steps; else the saver fits one.
void KeepLatticeIfPositionsFit(const Json& q, GltfModel& model) {
  VNLVEC3_T scale, origin;
  if (!Vector(q, "scale", scale) || !Vector(q, "origin", origin)) return;
  uint8_t step;
  for (const VNLVEC3_T& p : model.positions)
    if (!OnLattice(p.x, scale.x, origin.x, step) || !OnLattice(p.y, scale.y, origin.y, step) ||
        !OnLattice(p.z, scale.z, origin.z, step))
      return;
  model.scale = scale;
  model.origin = origin;
}

// The stored vertices from the positions: exact on the kept lattice, else positions to fit.
bool SettleStoredVertices(const Soup& soup, const Frames& frames, GltfModel& model) {
  const uint64_t total = uint64_t(model.frameCount) * model.vertexCount;
  model.vertices.assign(soup.normals.empty() ? 0 : total, VNLTRIVERTEX_T{});
  const bool exact = model.scale.x != 0.0f || model.scale.y != 0.0f || model.scale.z != 0.0f;
  if (exact) model.vertices.resize(total, VNLTRIVERTEX_T{});
  if (!exact) model.positions.resize(total);
  for (uint32_t f = 0; f < model.frameCount; ++f)
    for (uint32_t i = 0; i < model.vertexCount; ++i) {
      const uint64_t k = uint64_t(f) * model.vertexCount + i;
      const VNLVEC3_T p = frames.position(soup, f, i);
      if (!soup.normals.empty()) model.vertices[k].normal = frames.normal(soup, f, i);
      if (!exact) {
        model.positions[k] = p;
        continue;
      }
      if (!OnLattice(p.x, model.scale.x, model.origin.x, model.vertices[k].v[0]) ||
          !OnLattice(p.y, model.scale.y, model.origin.y, model.vertices[k].v[1]) ||
          !OnLattice(p.z, model.scale.z, model.origin.z, model.vertices[k].v[2]))
        return false;
    }
  model.exact = exact;
  if (!exact) model.frameBoxes.clear(), model.frameEntryBox.clear();
  return true;
}

// ---------------------------------------------------------------------------
// A mesh from elsewhere: welding and the seam
// ---------------------------------------------------------------------------

struct Corner {
  int32_t s = 0;
  int32_t t = 0;
};

int32_t Texel(double coord, uint32_t size) {
  return int32_t(std::clamp(std::nearbyint(coord * size - 0.5), 0.0, double(size) - 1.0));
}

// What makes two glTF vertices one stored vertex: every frame's position and normal.
struct Key {
  std::vector<float> positions;
  std::vector<uint8_t> normals;
  bool operator<(const Key& o) const { return std::tie(positions, normals) < std::tie(o.positions, o.normals); }
};

struct Welded {
  std::vector<uint32_t> place;  // per glTF vertex: its welded vertex
  std::vector<uint32_t> first;  // per welded vertex: a glTF vertex it came from
  std::vector<Corner> corner;   // per welded vertex
  std::vector<uint32_t> shape;  // per welded vertex: its position-and-normal class
};

Welded Weld(const Soup& soup, const Frames& frames, const std::vector<Corner>& corners) {
  const size_t count = soup.positions.size() / 3;
  Welded w;
  w.place.resize(count);
  std::map<Key, uint32_t> shapes;
  std::map<std::tuple<uint32_t, int32_t, int32_t>, uint32_t> seen;
  for (size_t i = 0; i < count; ++i) {
    Key key;
    for (uint32_t f = 0; f < frames.count; ++f) {
      const VNLVEC3_T p = frames.position(soup, f, i);
      key.positions.insert(key.positions.end(), {p.x, p.y, p.z});
      if (!soup.normals.empty()) key.normals.push_back(frames.normal(soup, f, i));
    }
    const uint32_t shape = shapes.emplace(std::move(key), uint32_t(shapes.size())).first->second;
    auto found = seen.emplace(std::make_tuple(shape, corners[i].s, corners[i].t), uint32_t(w.first.size()));
    if (found.second) {
      w.first.push_back(uint32_t(i));
      w.corner.push_back(corners[i]);
      w.shape.push_back(shape);
    }
    w.place[i] = found.first->second;
  }
  return w;
}

// Pairs of welded vertices half a skin apart (front, back), kept only where no
// triangle would need both halves of one pair at once.
std::vector<int64_t> SeamPairs(const Welded& w, const std::vector<uint32_t>& triangles, uint32_t halfWidth) {
  std::map<std::tuple<uint32_t, int32_t, int32_t>, uint32_t> at;
  for (uint32_t v = 0; v < w.corner.size(); ++v) at[{w.shape[v], w.corner[v].s, w.corner[v].t}] = v;
  std::vector<int64_t> backOf(w.corner.size(), -1), frontOf(w.corner.size(), -1);
  for (uint32_t v = 0; v < w.corner.size(); ++v) {
    auto found = at.find({w.shape[v], w.corner[v].s + int32_t(halfWidth), w.corner[v].t});
    if (halfWidth == 0 || found == at.end()) continue;
    backOf[v] = found->second;
    frontOf[found->second] = v;
  }
  // A triangle on a back copy is a back triangle; one that also takes a front
  // vertex of a pair directly breaks that pair. Breaking only removes back
  // triangles, so this settles.
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t n = 0; n + 2 < triangles.size(); n += 3) {
      const uint32_t c[3] = {w.place[triangles[n]], w.place[triangles[n + 1]], w.place[triangles[n + 2]]};
      if (frontOf[c[0]] < 0 && frontOf[c[1]] < 0 && frontOf[c[2]] < 0) continue;
      for (uint32_t v : c)
        if (backOf[v] >= 0) {
          frontOf[backOf[v]] = -1;
          backOf[v] = -1;
          changed = true;
        }
    }
  }
  return backOf;
}

void BuildForeignMesh(const Soup& soup, const Frames& frames, GltfModel& model, uint32_t imageWidth,
                      uint32_t imageHeight) {
  const size_t count = soup.positions.size() / 3;
  std::vector<Corner> corners(count);
  for (size_t i = 0; i < count; ++i)
    corners[i] = Corner{Texel(soup.coords[2 * i], imageWidth), Texel(soup.coords[2 * i + 1], imageHeight)};
  const Welded w = Weld(soup, frames, corners);
  const std::vector<int64_t> backOf = SeamPairs(w, soup.triangles, model.skinWidth / 2);
  std::vector<int64_t> frontOf(w.corner.size(), -1);
  for (uint32_t v = 0; v < backOf.size(); ++v)
    if (backOf[v] >= 0) frontOf[backOf[v]] = v;

  // Stored vertices: every welded vertex but the back copies, in order.
  std::vector<uint32_t> stored(w.corner.size());
  std::vector<uint32_t> source;
  for (uint32_t v = 0; v < w.corner.size(); ++v) {
    if (frontOf[v] >= 0) continue;
    stored[v] = uint32_t(source.size());
    source.push_back(w.first[v]);
    model.skinVertices.push_back(VNLSKINVERTEX_T{backOf[v] >= 0 ? kOnSeam : 0, w.corner[v].s, w.corner[v].t});
  }
  for (uint32_t v = 0; v < w.corner.size(); ++v)
    if (frontOf[v] >= 0) stored[v] = stored[frontOf[v]];
  for (size_t n = 0; n + 2 < soup.triangles.size(); n += 3) {
    VNLFACE_T face{1, {0, 0, 0}};
    for (int c = 0; c < 3; ++c) {
      const uint32_t v = w.place[soup.triangles[n + 2 - c]];
      if (frontOf[v] >= 0) face.facesFront = 0;
      face.index[c] = int32_t(stored[v]);
    }
    model.faces.push_back(face);
  }
  model.vertexCount = uint32_t(source.size());
  model.positions.resize(uint64_t(frames.count) * model.vertexCount);
  if (!soup.normals.empty()) model.vertices.resize(model.positions.size());
  for (uint32_t f = 0; f < frames.count; ++f)
    for (uint32_t i = 0; i < model.vertexCount; ++i) {
      model.positions[uint64_t(f) * model.vertexCount + i] = frames.position(soup, f, source[i]);
      if (!soup.normals.empty())
        model.vertices[uint64_t(f) * model.vertexCount + i].normal = frames.normal(soup, f, source[i]);
    }
}

bool CoordsInside(const Soup& soup, std::string& failure) {
  for (double c : soup.coords)
    if (!(c >= -kCoordSlack && c <= 1.0 + kCoordSlack)) {
      failure = "texture coordinates lie outside 0..1 (an alias model's skin does not repeat)";
      return false;
    }
  return true;
}

bool CountsHold(const GltfModel& model, uint64_t triangles, std::string& failure) {
  const struct {
    const char* what;
    uint64_t count;
  } counts[] = {{"vertices", model.vertexCount},
                {"triangles", triangles},
                {"frames", model.frameCount},
                {"skins", model.skinPixels.size()}};
  for (const auto& c : counts)
    if (c.count > kMaxCount) {
      failure =
          std::to_string(c.count) + " " + c.what + ", past the " + std::to_string(kMaxCount) + " an alias model holds";
      return false;
    }
  return true;
}

Json MeshExtras(const tinygltf::Mesh& mesh) {
  if (mesh.extras_json_string.empty()) return Json::object();
  Json extras = Json::parse(mesh.extras_json_string, nullptr, false);
  return extras.is_object() ? extras : Json::object();
}

}  // namespace

VNLMODELDATA_T GltfModel::Record() {
  VNLMODELDATA_T m{};
  m.scale = scale;
  m.origin = origin;
  m.radius = radius;
  m.eye = eye;
  m.flags = flags;
  m.syncType = syncType;
  m.size = size;
  m.skinWidth = skinWidth;
  m.skinHeight = skinHeight;
  m.vertexCount = vertexCount;
  m.triangleCount = uint32_t(faces.size());
  pictures.clear();
  for (std::vector<uint8_t>& pixels : skinPixels)
    pictures.push_back(VNLPICTURE_T{skinWidth, skinHeight, pixels.data()});
  m.skinCount = uint32_t(pictures.size());
  m.skins = pictures.data();
  m.skinEntryCount = skinEntrySize.empty() ? m.skinCount : uint32_t(skinEntrySize.size());
  m.skinEntrySize = skinEntrySize.empty() ? nullptr : skinEntrySize.data();
  m.skinIntervals = skinIntervals.empty() ? nullptr : skinIntervals.data();
  m.frameCount = frameCount;
  m.frameEntryCount = frameEntrySize.empty() ? frameCount : uint32_t(frameEntrySize.size());
  m.frameEntrySize = frameEntrySize.empty() ? nullptr : frameEntrySize.data();
  m.frameEntryBox = frameEntryBox.empty() ? nullptr : frameEntryBox.data();
  m.frameNames = reinterpret_cast<char(*)[16]>(frameNames.data());
  m.frameBoxes = frameBoxes.empty() ? nullptr : frameBoxes.data();
  m.frameIntervals = frameIntervals.empty() ? nullptr : frameIntervals.data();
  m.frameVertices = vertices.empty() ? nullptr : vertices.data();
  m.framePositions = positions.empty() ? nullptr : positions.data();
  m.skinVertices = skinVertices.data();
  m.faces = faces.data();
  return m;
}

namespace {

bool ReadModel(const GltfSource& source, GltfModel& model, std::string& failure) {
  model = GltfModel{};
  tinygltf::Model document;
  PackFiles files;
  if (!ParseDocument(source, files, document, failure)) return false;
  const MeshChoice choice = ChooseMesh(document);
  if (choice.mesh < 0) {
    failure = "the file holds no mesh";
    return false;
  }
  if (choice.others > 0)
    model.notes.push_back(std::to_string(choice.others) + " more node(s) with a mesh are not read: only the first");
  Soup soup;
  if (!ReadMesh(document, choice, soup, failure) || !CoordsInside(soup, failure)) return false;
  std::vector<Picture> pictures;
  if (!DecodeSkins(document, soup.images, pictures, failure)) return false;

  const Json extras = MeshExtras(document.meshes[choice.mesh]);
  std::vector<int> storedImages;
  bool stored = false;
  try {
    stored = extras.contains("quake") && ReadStoredValues(extras["quake"], soup, model, storedImages);
  } catch (const Json::exception&) {
    stored = false;  // a value of the wrong type: the values do not fit, as below
  }
  bool layout = false;
  if (extras.contains("quake") && !stored) {
    model = GltfModel{};
    try {
      layout = ReadLayoutValues(extras["quake"], soup.targets.size(), model);
    } catch (const Json::exception&) {
      layout = false;
    }
    if (!layout) model = GltfModel{};
    model.notes.push_back(layout ? "the corvane values in the mesh's extras do not fit its mesh: its frames and "
                                   "header values are kept, its mesh is read as one from elsewhere"
                                 : "the corvane values in the mesh's extras do not fit its mesh: read as a model "
                                   "from elsewhere");
  }
  Frames frames;
  frames.baseFirst = !stored && !layout && !soup.targets.empty();
  frames.count = uint32_t(soup.targets.empty() ? 1 : soup.targets.size() + (frames.baseFirst ? 1 : 0));
  NameFrames(extras, frames, model);
  if (stored) {
    std::vector<Picture> skins;
    if (!DecodeSkins(document, storedImages, skins, failure)) return false;
    for (const Picture& p : skins)
      if (p.width != model.skinWidth || p.height != model.skinHeight) {
        failure = "a skin image is not the " + std::to_string(model.skinWidth) + " x " +
                  std::to_string(model.skinHeight) + " the model's values give";
        return false;
      }
    if (!SettleStoredVertices(soup, frames, model)) {
      model.notes.push_back("the mesh's positions lie off the lattice its extras give: a new lattice is fitted");
      model.scale = model.origin = VNLVEC3_T{0, 0, 0};
      SettleStoredVertices(soup, frames, model);
    }
    pictures = std::move(skins);
  } else {
    model.frameCount = frames.count;
    model.skinWidth = (pictures[0].width + 3) / 4 * 4;
    model.skinHeight = pictures[0].height;
    BuildForeignMesh(soup, frames, model, pictures[0].width, pictures[0].height);
    if (layout) KeepLatticeIfPositionsFit(extras["quake"], model);
  }
  if (!CountsHold(model, model.faces.size(), failure)) return false;
  if (!IndexSkins(pictures, model.skinWidth, source, model, failure)) return false;
  if (layout) KeepSkinLayoutIfItFits(model);
  return true;
}

}  // namespace

bool ReadGltfModel(const GltfSource& source, GltfModel& model, std::string& failure) {
  // The JSON library throws on a value of the wrong type, and any allocation may.
  try {
    return ReadModel(source, model, failure);
  } catch (const std::exception& e) {
    failure = std::string("the file could not be read (") + e.what() + ")";
  }
  return false;
}
