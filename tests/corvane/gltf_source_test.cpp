// glTF files as -model sources, run as a user runs them: corpus models through a
// .glb and back, a box from elsewhere, the seam, the extras corvane keeps, and the
// refusals of what an alias model cannot hold.
#include <gtest/gtest.h>
#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using corvane_test::RunCorvane;
using corvane_test::RunResult;
using Json = nlohmann::json;

// ---------------------------------------------------------------------------
// Building glTF files
// ---------------------------------------------------------------------------

struct Png {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  ~Png() { spng_ctx_free(ctx); }
};

// An 8-bit PNG: indexed (colour type 3, `plte` entries) when `indices`, else RGBA.
std::string EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels, bool indexed) {
  Png png;
  spng_set_option(png.ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = width;
  ihdr.height = height;
  ihdr.bit_depth = 8;
  ihdr.color_type = indexed ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  spng_set_ihdr(png.ctx, &ihdr);
  if (indexed) {
    spng_plte plte{};
    plte.n_entries = 256;
    for (int i = 0; i < 256; ++i) plte.entries[i] = spng_plte_entry{uint8_t(i), uint8_t(i), uint8_t(i), 255};
    spng_set_plte(png.ctx, &plte);
  }
  if (spng_encode_image(png.ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) return "";
  size_t size = 0;
  int error = 0;
  void* bytes = spng_get_png_buffer(png.ctx, &size, &error);
  std::string out(static_cast<const char*>(bytes), size);
  std::free(bytes);
  return out;
}

// A glTF document under construction: its JSON and its one binary buffer.
struct Gltf {
  Json doc;
  std::string bin;

  Gltf() {
    doc = Json{{"asset", {{"version", "2.0"}}},
               {"scene", 0},
               {"scenes", Json::array({Json{{"nodes", {0}}}})},
               {"nodes", Json::array({Json{{"mesh", 0}}})},
               {"meshes", Json::array({Json{{"primitives", Json::array()}}})},
               {"buffers", Json::array({Json::object()})},
               {"bufferViews", Json::array()},
               {"accessors", Json::array()}};
  }

  int view(const std::string& bytes) {
    while (bin.size() % 4 != 0) bin.push_back('\0');
    doc["bufferViews"].push_back(Json{{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes.size()}});
    bin += bytes;
    return int(doc["bufferViews"].size()) - 1;
  }

  int floats(const std::vector<float>& values, int width) {
    const std::string bytes(reinterpret_cast<const char*>(values.data()), values.size() * 4);
    doc["accessors"].push_back(Json{{"bufferView", view(bytes)},
                                    {"componentType", 5126},
                                    {"count", values.size() / width},
                                    {"type", width == 2 ? "VEC2" : "VEC3"}});
    return int(doc["accessors"].size()) - 1;
  }

  int indices(const std::vector<uint16_t>& values) {
    const std::string bytes(reinterpret_cast<const char*>(values.data()), values.size() * 2);
    doc["accessors"].push_back(
        Json{{"bufferView", view(bytes)}, {"componentType", 5123}, {"count", values.size()}, {"type", "SCALAR"}});
    return int(doc["accessors"].size()) - 1;
  }

  // A material whose base colour texture is this picture; returns its index.
  int material(const std::string& png) {
    doc["images"].push_back(Json{{"bufferView", view(png)}, {"mimeType", "image/png"}});
    doc["textures"].push_back(Json{{"source", doc["images"].size() - 1}});
    doc["materials"].push_back(
        Json{{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", doc["textures"].size() - 1}}}}}});
    return int(doc["materials"].size()) - 1;
  }

  Json& primitive(const std::vector<float>& positions, const std::vector<float>& coords,
                  const std::vector<uint16_t>& triangles, int material) {
    Json p{{"attributes", {{"POSITION", floats(positions, 3)}, {"TEXCOORD_0", floats(coords, 2)}}},
           {"indices", indices(triangles)}};
    if (material >= 0) p["material"] = material;
    doc["meshes"][0]["primitives"].push_back(p);
    return doc["meshes"][0]["primitives"].back();
  }

  // The JSON of a .gltf whose buffer is the file `binName` beside it.
  std::string gltf(const std::string& binName) {
    doc["buffers"][0]["byteLength"] = bin.size();
    doc["buffers"][0]["uri"] = binName;
    std::string text = doc.dump();
    doc["buffers"][0].erase("uri");
    return text;
  }

  testdata::Bytes glb() {
    while (bin.size() % 4 != 0) bin.push_back('\0');
    doc["buffers"][0]["byteLength"] = bin.size();
    std::string json = doc.dump();
    while (json.size() % 4 != 0) json.push_back(' ');
    std::string out;
    auto word = [&out](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    out += "glTF";
    word(2);
    word(uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    word(uint32_t(json.size()));
    out += "JSON" + json;
    word(uint32_t(bin.size()));
    out += std::string("BIN\0", 4) + bin;
    return testdata::Bytes(out.begin(), out.end());
  }
};

std::vector<uint8_t> Rgba(uint32_t width, uint32_t height) {
  std::vector<uint8_t> pixels(size_t(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 4 == 3 ? 255 : uint8_t(i * 37);
  return pixels;
}

// A box of 2 x 4 x 6 around the origin, four vertices per face, each face on its
// own sixth of a 24 x 16 skin; target 1 moves it along glTF x, target 2 doubles it.
Gltf TexturedBox(std::vector<float>& positions, std::vector<std::vector<float>>& deltas) {
  const float h[3] = {1, 2, 3};
  std::vector<float> coords;
  std::vector<uint16_t> triangles;
  for (int face = 0; face < 6; ++face) {
    const int axis = face / 2;
    const float side = face % 2 == 0 ? 1.0f : -1.0f;
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    const uint16_t first = uint16_t(positions.size() / 3);
    for (int corner = 0; corner < 4; ++corner) {
      float p[3];
      p[axis] = side * h[axis];
      p[u] = (corner == 1 || corner == 2 ? 1.0f : -1.0f) * h[u];
      p[v] = (corner >= 2 ? 1.0f : -1.0f) * h[v] * side;
      positions.insert(positions.end(), p, p + 3);
      const float cu = (face % 3 + (corner == 1 || corner == 2 ? 0.9f : 0.1f)) / 3.0f;
      const float cv = (face / 3 + (corner >= 2 ? 0.9f : 0.1f)) / 2.0f;
      coords.insert(coords.end(), {cu, cv});
    }
    triangles.insert(triangles.end(), {first, uint16_t(first + 1), uint16_t(first + 2), first, uint16_t(first + 2),
                                       uint16_t(first + 3)});
  }
  deltas.assign(2, std::vector<float>(positions.size(), 0.0f));
  for (size_t i = 0; i < positions.size(); ++i) {
    deltas[0][i] = i % 3 == 0 ? 5.0f : 0.0f;
    deltas[1][i] = positions[i];
  }
  Gltf g;
  Json& p = g.primitive(positions, coords, triangles, g.material(EncodePng(24, 16, Rgba(24, 16), false)));
  p["targets"] = Json::array({Json{{"POSITION", g.floats(deltas[0], 3)}}, Json{{"POSITION", g.floats(deltas[1], 3)}}});
  return g;
}

// ---------------------------------------------------------------------------
// Reading what was written
// ---------------------------------------------------------------------------

struct Written {
  VNLMODELDATA_T m{};
  explicit Written(const std::string& path) {
    testdata::Bytes bytes = testdata::ReadFile(path);
    code = vnlModelDataLoad(bytes.data(), uint32_t(bytes.size()), &m);
  }
  ~Written() { vnlModelDataKill(&m); }
  int32_t code = -1;
  VNLVEC3_T at(uint64_t k) const {
    const VNLTRIVERTEX_T& v = m.frameVertices[k];
    return VNLVEC3_T{v.v[0] * m.scale.x + m.origin.x, v.v[1] * m.scale.y + m.origin.y, v.v[2] * m.scale.z + m.origin.z};
  }
  std::string name(uint32_t f) const { return std::string(m.frameNames[f], strnlen(m.frameNames[f], 16)); }
};

// The bytes up to the end of the frames block, each frame name's bytes after its
// first zero made zero.
testdata::Bytes UpToFramesEnd(testdata::Bytes b) {
  std::vector<uint64_t> names;
  const uint64_t end = testdata::ModelFramesEnd(b, &names);
  for (uint64_t name : names) {
    bool ended = false;
    for (uint64_t i = name; i < name + 16 && i < b.size(); ++i) {
      if (ended) b[i] = 0;
      ended = ended || b[i] == 0;
    }
  }
  b.resize(std::min<uint64_t>(b.size(), end));
  return b;
}

// True when the .glb's mesh carries corvane's stored values.
bool KeepsStoredValues(const testdata::Bytes& glb) {
  if (glb.size() < 20) return false;
  const Json doc = Json::parse(glb.begin() + 20, glb.begin() + 20 + testdata::GetU32(glb, 12), nullptr, false);
  return doc.is_object() && doc.contains("meshes") && doc["meshes"][0].contains("extras") &&
         doc["meshes"][0]["extras"].contains("quake");
}

// ---------------------------------------------------------------------------
// Tests
// ---------------------------------------------------------------------------

// Needs the glTF writer to keep the stored values in mesh.extras.
TEST(GltfSource, EveryCorpusModelThroughAGlbComesBackAsItsBytesUpToTheEndOfItsFrames) {
  SKIP_WITHOUT_CORPUS();
  const std::vector<std::string> models = testdata::CorpusModels();
  const std::string palette = testdata::CorpusFile("gfx/palette.lmp");
  if (models.empty() || palette.empty()) GTEST_SKIP() << "no models or palette in the corpus";
  testdata::TempDir dir;
  size_t same = 0;
  for (const std::string& model : models) {
    RunResult out = RunCorvane(dir.path(), {"-model", model, "-pal", palette, "-dst", "x.glb", "-replace"}, "", true);
    ASSERT_EQ(out.code, 0) << model << "\n" << out.out;
    ASSERT_TRUE(KeepsStoredValues(testdata::ReadFile(dir.file("x.glb"))))
        << "the glTF writer does not write the stored values into meshes[0].extras.quake";
    RunResult back =
        RunCorvane(dir.path(), {"-model", "x.glb", "-pal", palette, "-dst", "y.mdl", "-replace"}, "", true);
    ASSERT_EQ(back.code, 0) << model << "\n" << back.out;
    const bool equal = UpToFramesEnd(testdata::ReadFile(dir.file("y.mdl"))) == UpToFramesEnd(testdata::ReadFile(model));
    EXPECT_TRUE(equal) << model << "\n" << back.after;
    same += equal ? 1 : 0;
  }
  std::printf("  %zu of %zu corpus models came back byte for byte\n", same, models.size());
}

// The farthest, in the remade model's lattice steps on any axis, that a vertex of
// one model lies from the nearest vertex of the other in frame f, both ways.
double FarthestInSteps(const Written& remade, const Written& original, uint32_t f) {
  auto farthest = [f, &remade](const Written& from, const Written& to) {
    double worst = 0;
    for (uint32_t i = 0; i < from.m.vertexCount; ++i) {
      const VNLVEC3_T p = from.at(uint64_t(f) * from.m.vertexCount + i);
      double nearest = 1e30;
      for (uint32_t j = 0; j < to.m.vertexCount; ++j) {
        const VNLVEC3_T q = to.at(uint64_t(f) * to.m.vertexCount + j);
        const double dx = std::fabs(double(p.x) - q.x) / remade.m.scale.x,
                     dy = std::fabs(double(p.y) - q.y) / remade.m.scale.y,
                     dz = std::fabs(double(p.z) - q.z) / remade.m.scale.z;
        nearest = std::min(nearest, std::max({dx, dy, dz}));
      }
      worst = std::max(worst, nearest);
    }
    return worst;
  };
  return std::max(farthest(remade, original), farthest(original, remade));
}

// Triangles with two corners on one point in every frame: Blender drops them.
uint32_t Degenerate(const Written& w) {
  uint32_t count = 0;
  for (uint32_t n = 0; n < w.m.triangleCount; ++n) {
    const int32_t* c = w.m.faces[n].index;
    bool always = true;
    for (uint32_t f = 0; f < w.m.frameCount && always; ++f) {
      const VNLTRIVERTEX_T* v = w.m.frameVertices + uint64_t(f) * w.m.vertexCount;
      auto same = [v](int32_t a, int32_t b) { return std::memcmp(v[a].v, v[b].v, 3) == 0; };
      always = same(c[0], c[1]) || same(c[1], c[2]) || same(c[0], c[2]);
    }
    count += always ? 1 : 0;
  }
  return count;
}

// A modder's round trip: corvane's .glb through Blender's importer and exporter
// (which reorder and split the vertices) and back to an alias model.
TEST(GltfSource, EveryCorpusModelThroughBlenderKeepsItsFramesAndLiesWithinHalfAStep) {
  if (testdata::RunCommand("command -v blender >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "Blender is not installed: the round trip through it is not checked here";
  SKIP_WITHOUT_CORPUS();
  const std::vector<std::string> models = testdata::CorpusModels();
  const std::string palette = testdata::CorpusFile("gfx/palette.lmp");
  if (models.empty() || palette.empty()) GTEST_SKIP() << "no models or palette in the corpus";
  testdata::TempDir dir;
  for (const std::string& model : models) {
    RunResult out = RunCorvane(dir.path(), {"-model", model, "-pal", palette, "-dst", "x.glb", "-replace"}, "", true);
    ASSERT_EQ(out.code, 0) << model << "\n" << out.out;
    std::string blender;
    ASSERT_EQ(testdata::RunCommand("blender -b --factory-startup --python-exit-code 1 --python '" GLTF_SCRIPTS_DIR
                                   "/blender_reexport.py' -- '" +
                                       dir.file("x.glb") + "' '" + dir.file("b.glb") + "'",
                                   &blender, true),
              0)
        << model << "\n"
        << blender;
    RunResult back =
        RunCorvane(dir.path(), {"-model", "b.glb", "-pal", palette, "-dst", "b.mdl", "-replace"}, "", true);
    ASSERT_EQ(back.code, 0) << model << "\n" << back.out;
    Written original(model), remade(dir.file("b.mdl"));
    ASSERT_EQ(remade.code, VNL_OK) << model;
    ASSERT_EQ(remade.m.frameCount, original.m.frameCount) << model << "\n" << back.after;
    EXPECT_EQ(remade.m.triangleCount, original.m.triangleCount - Degenerate(original)) << model;
    double worst = 0;
    for (uint32_t f = 0; f < original.m.frameCount; ++f) {
      EXPECT_EQ(remade.name(f), original.name(f)) << model;
      worst = std::max(worst, FarthestInSteps(remade, original, f));
    }
    EXPECT_LE(worst, 0.5 + 1e-4) << model << ": in lattice steps";
  }
}

TEST(GltfSource, BoxFromElsewhereLiesWithinHalfAStepOfItsPositions) {
  std::vector<float> positions;
  std::vector<std::vector<float>> deltas;
  Gltf box = TexturedBox(positions, deltas);
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("box.glb"), box.glb()));
  testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette());
  RunResult run = RunCorvane(dir.path(), {"-model", "box.glb", "-pal", "pal.lmp", "-dst", "box.mdl"}, "", true);
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  Rounding:"), std::string::npos) << run.after;

  Written w(dir.file("box.mdl"));
  ASSERT_EQ(w.code, VNL_OK);
  EXPECT_EQ(w.m.vertexCount, 24u);
  EXPECT_EQ(w.m.triangleCount, 12u);
  ASSERT_EQ(w.m.frameCount, 3u);
  EXPECT_EQ(w.name(0), "base");
  EXPECT_EQ(w.name(1), "frame1");
  EXPECT_EQ(w.name(2), "frame2");
  EXPECT_EQ(w.m.skinWidth, 24u);
  EXPECT_EQ(w.m.skinHeight, 16u);
  // Vertex order is kept here (no two glTF vertices weld): stored i is glTF i.
  double worst = 0;
  for (uint32_t f = 0; f < 3; ++f)
    for (uint32_t i = 0; i < 24; ++i) {
      float g[3];
      for (int c = 0; c < 3; ++c) g[c] = positions[3 * i + c] + (f == 0 ? 0.0f : deltas[f - 1][3 * i + c]);
      const VNLVEC3_T want{g[0], -g[2], g[1]}, got = w.at(uint64_t(f) * 24 + i);
      const double ex = std::fabs(got.x - want.x) / w.m.scale.x, ey = std::fabs(got.y - want.y) / w.m.scale.y,
                   ez = std::fabs(got.z - want.z) / w.m.scale.z;
      worst = std::max({worst, ex, ey, ez});
    }
  EXPECT_LE(worst, 0.5 + 1e-4) << "in lattice steps";
}

// The same box as a .gltf with its .bin beside it, and as a .glb inside a pack;
// its targets named, one name too long for the format.
TEST(GltfSource, GltfBesideItsBufferAndGlbInAPackAreRead) {
  std::vector<float> positions;
  std::vector<std::vector<float>> deltas;
  Gltf box = TexturedBox(positions, deltas);
  box.doc["meshes"][0]["extras"] = Json{{"targetNames", {"run1", "a_name_of_twenty_one"}}};
  testdata::TempDir dir;
  const testdata::Bytes glb = box.glb();
  ASSERT_TRUE(testdata::WriteText(dir.file("box.gltf"), box.gltf("box.bin")));
  ASSERT_TRUE(testdata::WriteFile(dir.file("box.bin"), testdata::Bytes(box.bin.begin(), box.bin.end())));
  ASSERT_TRUE(testdata::WriteFile(dir.file("p.pak"), testdata::BuildPack({{"models/box.glb", glb}})));
  testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette());
  for (const std::string source : {"box.gltf", "p.pak::models/box.glb"}) {
    RunResult run =
        RunCorvane(dir.path(), {"-model", source, "-pal", "pal.lmp", "-dst", "out.mdl", "-replace"}, "", true);
    ASSERT_EQ(run.code, 0) << source << "\n" << run.out;
    Written w(dir.file("out.mdl"));
    ASSERT_EQ(w.code, VNL_OK) << source;
    EXPECT_EQ(w.m.vertexCount, 24u) << source;
    ASSERT_EQ(w.m.frameCount, 3u) << source;
    EXPECT_EQ(w.name(1), "run1") << source;
    EXPECT_EQ(w.name(2), "a_name_of_twent") << source;
    EXPECT_NE(run.after.find("  Warning:  frame name \"a_name_of_twenty_one\" cut to 15 bytes"), std::string::npos)
        << run.after;
  }
  // Outputs are named after the file less its whole ".gltf".
  RunResult named = RunCorvane(dir.path(), {"-model", "box.gltf", "-pal", "pal.lmp"}, "", true);
  ASSERT_EQ(named.code, 0) << named.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("box.ase"))) << named.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("box_0.tga"))) << named.out;
}

// A quad seen from both sides, the back on the skin's right half: one vertex per
// corner, on the seam. A fifth triangle that takes corner 0 through its back copy
// and corners 1 and 2 through their front ones keeps only corners 0 and 3 on the seam.
TEST(GltfSource, CopiesHalfASkinApartBecomeOneVertexOnTheSeam) {
  const std::vector<float> quad = {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0};
  auto u = [](int s) { return (s + 0.5f) / 8.0f; };
  auto v = [](int t) { return (t + 0.5f) / 4.0f; };
  const std::vector<float> front = {u(0), v(0), u(3), v(0), u(3), v(3), u(0), v(3)};
  std::vector<float> back = front;
  for (size_t i = 0; i < back.size(); i += 2) back[i] += 0.5f;
  struct Case {
    const char* name;
    bool conflict;
    uint32_t vertices, onSeam;
  } cases[] = {{"clean", false, 4, 4}, {"conflicting", true, 6, 2}};
  for (const Case& c : cases) {
    std::vector<float> positions = quad, coords = front;
    positions.insert(positions.end(), quad.begin(), quad.end());
    coords.insert(coords.end(), back.begin(), back.end());
    std::vector<uint16_t> triangles = {0, 1, 2, 0, 2, 3, 6, 5, 4, 7, 6, 4};
    // Corners 0, 1, 2 taken through the back copy 4 and the front 1 and 2.
    if (c.conflict) triangles.insert(triangles.end(), {4, 1, 2});
    Gltf g;
    g.primitive(positions, coords, triangles, g.material(EncodePng(8, 4, std::vector<uint8_t>(32, 7), true)));
    testdata::TempDir dir;
    ASSERT_TRUE(testdata::WriteFile(dir.file("q.glb"), g.glb()));
    RunResult run = RunCorvane(dir.path(), {"-model", "q.glb", "-dst", "q.mdl"}, "", true);
    ASSERT_EQ(run.code, 0) << c.name << "\n" << run.out;
    Written w(dir.file("q.mdl"));
    ASSERT_EQ(w.code, VNL_OK) << c.name;
    uint32_t seam = 0, backFaces = 0;
    for (uint32_t i = 0; i < w.m.vertexCount; ++i) seam += w.m.skinVertices[i].onSeam == 0x20 ? 1 : 0;
    for (uint32_t n = 0; n < w.m.triangleCount; ++n) backFaces += w.m.faces[n].facesFront == 0 ? 1 : 0;
    EXPECT_EQ(w.m.vertexCount, c.vertices) << c.name;
    EXPECT_EQ(seam, c.onSeam) << c.name;
    EXPECT_EQ(w.m.skins[0].pixels[0], 7) << c.name << ": the indexed skin keeps its indices";
    // Every triangle that used a back copy is a back triangle, and draws the same texels.
    for (uint32_t n = 0; n < w.m.triangleCount; ++n)
      for (int k = 0; k < 3; ++k) {
        const VNLSKINVERTEX_T& sv = w.m.skinVertices[w.m.faces[n].index[k]];
        const int s = sv.s + (w.m.faces[n].facesFront == 0 && sv.onSeam ? 4 : 0);
        EXPECT_TRUE(n < 2 ? s < 4 : (n < 4 ? s >= 4 : true)) << c.name << " triangle " << n;
      }
    EXPECT_EQ(backFaces, c.conflict ? 3u : 2u) << c.name;
  }
}

// A glTF carrying corvane's values: the stored lattice, groups, boxes, flags come back.
TEST(GltfSource, StoredValuesInTheExtrasComeBackExactly) {
  const float scale[3] = {0.5f, 0.25f, 2.0f}, origin[3] = {-8.0f, 4.0f, 1.0f};
  const uint8_t steps[2][3][3] = {{{0, 0, 0}, {10, 0, 0}, {0, 20, 30}}, {{1, 2, 3}, {11, 2, 3}, {255, 22, 33}}};
  std::vector<float> base, d0, d1;
  for (int i = 0; i < 3; ++i) {
    float game[2][3];
    for (int f = 0; f < 2; ++f)
      for (int c = 0; c < 3; ++c) game[f][c] = steps[f][i][c] * scale[c] + origin[c];
    base.insert(base.end(), {game[0][0], game[0][2], -game[0][1]});
    d0.insert(d0.end(), {0, 0, 0});
    d1.insert(d1.end(), {game[1][0] - game[0][0], game[1][2] - game[0][2], -game[1][1] + game[0][1]});
  }
  Gltf g;
  const std::vector<float> coords = {0.5f / 8, 0.5f / 4, 3.5f / 8, 0.5f / 4, 0.5f / 8, 2.5f / 4};
  Json& p = g.primitive(base, coords, {2, 1, 0}, g.material(EncodePng(8, 4, std::vector<uint8_t>(32, 250), true)));
  p["targets"] = Json::array({Json{{"POSITION", g.floats(d0, 3)}}, Json{{"POSITION", g.floats(d1, 3)}}});
  Json quake{{"version", 1},
             {"scale", {scale[0], scale[1], scale[2]}},
             {"origin", {origin[0], origin[1], origin[2]}},
             {"eye", {0, 0, 24}},
             {"radius", 99.5},
             {"size", 7.25},
             {"flags", 8},
             {"syncType", 1},
             {"skinWidth", 8},
             {"skinHeight", 4},
             {"vertexCount", 3},
             {"skinVertices", {0, 0, 0, 0, 3, 0, 0, 0, 2}},
             {"faces", {1, 0, 1, 2}},
             {"frameEntrySize", {2}},
             {"frameEntryBox", {0, 0, 0, 5, 255, 22, 33, 6}},
             {"frameBoxes", {0, 0, 0, 1, 10, 20, 30, 2, 1, 2, 3, 3, 255, 22, 33, 4}},
             {"frameIntervals", {0.1, 0.3}},
             {"skinEntrySize", {0}},
             {"skinIntervals", {0}},
             {"skinImages", {0}}};
  g.doc["meshes"][0]["extras"] = Json{{"targetNames", {"walk1", "walk2"}}, {"quake", quake}};
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("s.glb"), g.glb()));
  RunResult run = RunCorvane(dir.path(), {"-model", "s.glb", "-dst", "s.mdl"}, "", true);
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("32 fullbright texels"), std::string::npos) << run.after;
  Written w(dir.file("s.mdl"));
  ASSERT_EQ(w.code, VNL_OK);
  EXPECT_EQ(w.m.scale.y, 0.25f);
  EXPECT_EQ(w.m.origin.x, -8.0f);
  EXPECT_EQ(w.m.eye.z, 24.0f);
  EXPECT_EQ(w.m.radius, 99.5f);
  EXPECT_EQ(w.m.size, 7.25f);
  EXPECT_EQ(w.m.flags, 8u);
  EXPECT_EQ(w.m.syncType, 1u);
  ASSERT_EQ(w.m.frameEntryCount, 1u);
  EXPECT_EQ(w.m.frameEntrySize[0], 2u);
  EXPECT_EQ(w.m.frameEntryBox[1].normal, 6);
  EXPECT_EQ(w.m.frameBoxes[3].normal, 4);
  EXPECT_FLOAT_EQ(w.m.frameIntervals[1], 0.3f);
  EXPECT_EQ(w.name(1), "walk2");
  for (int f = 0; f < 2; ++f)
    for (int i = 0; i < 3; ++i)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(w.m.frameVertices[f * 3 + i].v[c], steps[f][i][c]) << f << " " << i;
  EXPECT_EQ(w.m.skinVertices[2].t, 2);
  EXPECT_EQ(w.m.skins[0].pixels[5], 250);
}

// A material variant per skin, in the variants' order; an odd width padded to 4.
TEST(GltfSource, EachMaterialVariantIsASkin) {
  Gltf g;
  const int first = g.material(EncodePng(6, 2, std::vector<uint8_t>(12, 5), true));
  const int second = g.material(EncodePng(6, 2, std::vector<uint8_t>(12, 9), true));
  Json& p = g.primitive({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0.1f, 0.1f, 0.9f, 0.1f, 0.1f, 0.9f}, {0, 1, 2}, first);
  p["extensions"]["KHR_materials_variants"]["mappings"] =
      Json::array({Json{{"material", first}, {"variants", {0}}}, Json{{"material", second}, {"variants", {1}}}});
  g.doc["extensionsUsed"] = Json::array({"KHR_materials_variants"});
  g.doc["extensions"]["KHR_materials_variants"]["variants"] = Json::array({Json{{"name", "a"}}, Json{{"name", "b"}}});
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("v.glb"), g.glb()));
  RunResult run = RunCorvane(dir.path(), {"-model", "v.glb", "-dst", "v.mdl"}, "", true);
  ASSERT_EQ(run.code, 0) << run.out;
  Written w(dir.file("v.mdl"));
  ASSERT_EQ(w.code, VNL_OK);
  ASSERT_EQ(w.m.skinCount, 2u);
  EXPECT_EQ(w.m.skinWidth, 8u);
  EXPECT_EQ(w.m.skins[0].pixels[5], 5);
  EXPECT_EQ(w.m.skins[1].pixels[8 + 5], 9);
  EXPECT_EQ(w.m.skins[1].pixels[8 + 6], 0) << "the padding";
}

// One small textured triangle, changed by each case into something an alias model
// cannot be made of.
TEST(GltfSource, BadInputIsRefusedAndNothingIsWritten) {
  auto triangle = [](Gltf& g, const std::string& png) -> Json& {
    return g.primitive({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0.1f, 0.1f, 0.9f, 0.1f, 0.1f, 0.9f}, {0, 1, 2}, g.material(png));
  };
  const std::string truecolour = EncodePng(4, 4, Rgba(4, 4), false);
  const std::string indexed = EncodePng(4, 4, std::vector<uint8_t>(16, 3), true);
  struct Case {
    const char* name;
    std::function<testdata::Bytes()> file;
    const char* says;
  } cases[] = {
      {"does not parse",
       [] {
         return testdata::Bytes{'{', 'n', 'o', 't'};
       },
       "not a glTF file that parses"},
      {"joints only",
       [&] {
         Gltf g;
         triangle(g, indexed)["attributes"]["JOINTS_0"] = g.floats({0, 0, 0, 0, 0, 0, 0, 0, 0}, 3);
         g.doc["nodes"][0]["skin"] = 0;
         g.doc["skins"] = Json::array({Json{{"joints", {0}}}});
         return g.glb();
       },
       "moved by joints only"},
      {"points",
       [&] {
         Gltf g;
         triangle(g, indexed)["mode"] = 0;
         return g.glb();
       },
       "points or lines"},
      {"lines",
       [&] {
         Gltf g;
         triangle(g, indexed)["mode"] = 1;
         return g.glb();
       },
       "points or lines"},
      {"no texture coordinates",
       [&] {
         Gltf g;
         triangle(g, indexed)["attributes"].erase("TEXCOORD_0");
         return g.glb();
       },
       "no texture coordinates"},
      {"coordinates outside",
       [&] {
         Gltf g;
         g.primitive({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0.1f, 0.1f, 1.5f, 0.1f, 0.1f, 0.9f}, {0, 1, 2}, g.material(indexed));
         return g.glb();
       },
       "outside 0..1"},
      {"two textures",
       [&] {
         Gltf g;
         triangle(g, indexed);
         triangle(g, truecolour);
         return g.glb();
       },
       "different textures"},
      {"past the format",
       [&] {
         Gltf g;
         g.primitive({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0.1f, 0.1f, 0.9f, 0.1f, 0.1f, 0.9f},
                     std::vector<uint16_t>(3 * 65536, 1), g.material(indexed));
         return g.glb();
       },
       "65536 triangles, past the 65535"},
      {"undecodable texture",
       [&] {
         Gltf g;
         triangle(g, "not a png at all");
         return g.glb();
       },
       "does not decode"},
      {"true colour without -pal",
       [&] {
         Gltf g;
         triangle(g, truecolour);
         return g.glb();
       },
       "-pal"},
  };
  for (const Case& c : cases) {
    testdata::TempDir dir;
    ASSERT_TRUE(testdata::WriteFile(dir.file("bad.glb"), c.file()));
    RunResult run = RunCorvane(dir.path(), {"-model", "bad.glb", "-dst", "bad.mdl"}, "", true);
    EXPECT_EQ(run.code, 1) << c.name << "\n" << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.name << "\n" << run.out;
    EXPECT_FALSE(testdata::FileExists(dir.file("bad.mdl"))) << c.name;
  }
}

}  // namespace
