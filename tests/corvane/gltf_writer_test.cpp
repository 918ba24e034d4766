// The glTF document the writer makes, read back: morph targets, animations,
// skin coordinates, axes and winding, materials, names, and its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "big_model.h"
#include "builders.h"
#include "gltf_check.h"
#include "gltf_mesh.h"
#include "indexed_png.h"
#include "writer_fixture.h"

namespace {

using gltfcheck::Document;
using gltfcheck::LoadedModel;
using nlohmann::json;

std::string GlbOf(const GltfInput& input) {
  std::string bytes;
  GltfResult result = WriteGlb(input, [&bytes](const char* data, size_t size) {
    bytes.append(data, size);
    return true;
  });
  EXPECT_EQ(result, GltfResult::Written);
  return bytes;
}

Document Read(const LoadedModel& model, const std::string& base = "g") {
  EXPECT_EQ(model.code, 0);
  return gltfcheck::ReadGlb(GlbOf(model.input(base)));
}

const json& Primitive(const Document& doc) { return doc.json["meshes"][0]["primitives"][0]; }

// Positions as glTF holds them: the game's (x, y, z) is (x, z, -y).
std::vector<float> GltfAxes(float x, float y, float z) { return {x, z, -y}; }

TEST(GltfDocument, EveryFrameIsANamedMorphTargetInFileOrder) {
  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& targets = Primitive(doc)["targets"];
  ASSERT_EQ(targets.size(), 6u);
  EXPECT_EQ(doc.json["meshes"][0]["extras"]["targetNames"],
            json::array({"walk1", "walk2", "walk3", "pain1", "pain2", "death"}));
  EXPECT_EQ(doc.json["meshes"][0]["weights"], json(std::vector<int>(6, 0)));
  // "death" grows the tetrahedron's edges from 20 to 70 along the game's x, y and z.
  const json& deathAccessor = doc.json["accessors"][targets[5]["POSITION"].get<size_t>()];
  std::vector<float> death = doc.floats(targets[5]["POSITION"]);
  ASSERT_EQ(death.size(), 15u);
  EXPECT_EQ(std::vector<float>(death.begin() + 3, death.begin() + 12),
            (std::vector<float>{50, 0, 0, 0, 0, -50, 0, 50, 0}));
  EXPECT_EQ(deathAccessor["min"], json::array({0, 0, -50}));
  EXPECT_EQ(deathAccessor["max"], json::array({50, 50, 0}));
  EXPECT_EQ(doc.floats(targets[0]["POSITION"]), std::vector<float>(15, 0.0f));  // the base frame itself
}

// A repeated pose (same positions, same normals) is stored once; each frame keeps
// its own morph target. A frame alike in position but not in normals is not shared.
TEST(GltfDocument, FramesAlikeShareTheirMorphData) {
  testdata::ModelRecipe recipe = gltfcheck::GroupedModel();
  recipe.frames[2].frames[0].positions = recipe.frames[1].frames[0].positions;  // pain2 as pain1
  recipe.frames[3].frames[0].positions = recipe.frames[1].frames[0].positions;  // death too, but
  recipe.frames[3].frames[0].normals = {7, 7, 7, 7};                            // with other normals
  LoadedModel model(testdata::BuildModel(recipe), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& targets = Primitive(doc)["targets"];
  auto offset = [&](size_t frame, const char* attribute) {
    return doc.json["accessors"][targets[frame][attribute].get<size_t>()].value("byteOffset", uint64_t(0));
  };
  const uint64_t frameBytes = 5 * 12;  // four vertices and a seam copy
  EXPECT_EQ(offset(4, "POSITION"), offset(3, "POSITION"));
  EXPECT_EQ(offset(4, "NORMAL"), offset(3, "NORMAL"));
  EXPECT_EQ(offset(5, "POSITION"), 4 * frameBytes);
  EXPECT_EQ(doc.floats(targets[4]["POSITION"]), doc.floats(targets[3]["POSITION"]));
  const size_t deltasView = doc.json["accessors"][targets[0]["POSITION"].get<size_t>()]["bufferView"];
  EXPECT_EQ(doc.json["bufferViews"][deltasView]["byteLength"], 5 * frameBytes);
}

TEST(GltfDocument, AnimationsRunOverNameStemsWithKeysATenthOfASecondApart) {
  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& animations = doc.json["animations"];
  ASSERT_EQ(animations.size(), 3u);
  const std::vector<std::string> names = {"walk", "pain", "death"};
  const std::vector<std::vector<float>> times = {{0.0f, 0.1f, 0.2f}, {0.0f, 0.1f}, {0.0f}};
  const size_t first[] = {0, 3, 5};
  for (size_t a = 0; a < 3; ++a) {
    const json& sampler = animations[a]["samplers"][0];
    EXPECT_EQ(animations[a]["name"], names[a]);
    EXPECT_EQ(sampler["interpolation"], "LINEAR");
    EXPECT_EQ(animations[a]["channels"][0]["target"], json({{"node", 0}, {"path", "weights"}}));
    EXPECT_EQ(doc.floats(sampler["input"]), times[a]);
    // Key k: weight 1 for its own frame, 0 for the other five.
    std::vector<float> expected(times[a].size() * 6, 0.0f);
    for (size_t k = 0; k < times[a].size(); ++k) expected[k * 6 + first[a] + k] = 1.0f;
    EXPECT_EQ(doc.floats(sampler["output"]), expected) << names[a];
  }
  // Dense: Godot 3 takes a sparse accessor without a buffer view for view 0.
  for (const json& accessor : doc.json["accessors"]) EXPECT_FALSE(accessor.contains("sparse"));
}

// A frame group's frames start where the one before ends (its intervals count
// from the group's start); a group is its own animation even where the stem goes on.
TEST(GltfDocument, AFrameGroupIsKeyedAtItsOwnIntervals) {
  testdata::ModelRecipe recipe = gltfcheck::GroupedModel();
  recipe.frames[0].intervals = {0.25f, 0.5f, 1.25f};
  recipe.frames[1].frames[0].name = "walk4";
  LoadedModel model(testdata::BuildModel(recipe), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& animations = doc.json["animations"];
  ASSERT_EQ(animations.size(), 4u);
  const std::vector<std::pair<std::string, std::vector<float>>> expected = {
      {"walk", {0.0f, 0.25f, 0.5f}}, {"walk", {0.0f}}, {"pain", {0.0f}}, {"death", {0.0f}}};
  for (size_t a = 0; a < expected.size(); ++a) {
    EXPECT_EQ(animations[a]["name"], expected[a].first) << a;
    const size_t input = animations[a]["samplers"][0]["input"];
    EXPECT_EQ(doc.floats(int(input)), expected[a].second) << a;
    EXPECT_EQ(doc.json["accessors"][input]["max"][0].get<float>(), expected[a].second.back()) << a;
  }
  const std::vector<float> pain = doc.floats(animations[2]["samplers"][0]["output"]);
  EXPECT_EQ(pain, (std::vector<float>{0, 0, 0, 0, 1, 0}));
}

// Key times per frame; a group whose intervals do not rise (0.1 each, as some
// tools write them) cannot time an animation and keeps 0.1 s keys.
TEST(GltfDocument, KeyTimesFollowRisingGroupIntervalsOnly) {
  const std::vector<std::string> names = {"a1", "a2", "a3", "b1", "b2", "c"};
  const std::vector<uint32_t> groups = {3, 0, 0, 2, 0, 0};
  const std::vector<GltfRun> runs = AnimationRuns(names, groups);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_TRUE(runs[0].group && runs[1].group && !runs[2].group);
  struct Case {
    std::vector<float> intervals;
    std::vector<float> times;
  };
  const Case cases[] = {
      {{0.5f, 1.0f, 2.0f, 0.3f, 0.4f, 0.0f}, {0.0f, 0.5f, 1.0f, 0.0f, 0.3f, 0.0f}},
      {{0.1f, 0.1f, 0.1f, 0.3f, 0.3f, 0.0f}, {0.0f, 0.1f, 0.2f, 0.0f, 0.1f, 0.0f}},
      {{0.5f, -1.0f, 2.0f, 0.0f, 0.4f, 0.0f}, {0.0f, 0.1f, 0.2f, 0.0f, 0.1f, 0.0f}},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyTimes(runs, 6, c.intervals.data()), c.times);
  EXPECT_EQ(KeyTimes(runs, 6, nullptr), (std::vector<float>{0.0f, 0.1f, 0.2f, 0.0f, 0.1f, 0.0f}));
  EXPECT_EQ(AnimationRuns(names).size(), 3u);  // without groups: by stem, as ever
}

// Table normal 5 is the game's up, 0 is (-0.525731, 0, 0.850651): in glTF's axes
// (x, z, -y). Seam copies take their stored vertex's normal.
TEST(GltfDocument, NormalsComeFromTheStoredIndicesAndMorphAsDifferences) {
  testdata::ModelRecipe recipe = gltfcheck::GroupedModel();
  recipe.frames[0].frames[0].normals = {5, 5, 5, 5};
  recipe.frames[0].frames[1].normals = {0, 5, 5, 5};
  LoadedModel model(testdata::BuildModel(recipe), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& primitive = Primitive(doc);
  ASSERT_TRUE(primitive["attributes"].contains("NORMAL"));
  const std::vector<float> base = doc.floats(primitive["attributes"]["NORMAL"]);
  const uint32_t vertexTotal = uint32_t(model.model.vertexCount) + model.model.seamCount;
  ASSERT_EQ(base.size(), 3u * vertexTotal);
  for (uint32_t i = 0; i < vertexTotal; ++i)
    EXPECT_EQ(std::vector<float>(base.begin() + 3 * i, base.begin() + 3 * i + 3), GltfAxes(0, 0, 1)) << i;
  const std::vector<float> walk2 = doc.floats(primitive["targets"][1]["NORMAL"]);
  ASSERT_EQ(walk2.size(), 3u * vertexTotal);
  const std::vector<float> turned = GltfAxes(-0.525731f, 0, 0.850651f);
  EXPECT_FLOAT_EQ(walk2[0], turned[0] - 0.0f);
  EXPECT_FLOAT_EQ(walk2[1], turned[1] - 1.0f);
  EXPECT_FLOAT_EQ(walk2[3], 0.0f);
  EXPECT_EQ(doc.floats(primitive["targets"][0]["NORMAL"]), std::vector<float>(3 * vertexTotal, 0.0f));
}

TEST(GltfDocument, SkinCoordinatesSitAtTexelCentresAndSeamCopiesHalfASkinRight) {
  LoadedModel model(testdata::BuildModel(gltfcheck::OneFrameModel()), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  // 16 x 8 skin; vertex 0 at texel (0, 4) on the seam, its copy is vertex 4.
  std::vector<float> uv = doc.floats(Primitive(doc)["attributes"]["TEXCOORD_0"]);
  ASSERT_EQ(uv.size(), 10u);
  EXPECT_FLOAT_EQ(uv[0], 0.5f / 16);
  EXPECT_FLOAT_EQ(uv[1], 4.5f / 8);
  EXPECT_FLOAT_EQ(uv[2], 6.5f / 16);
  EXPECT_FLOAT_EQ(uv[3], 1.5f / 8);
  EXPECT_FLOAT_EQ(uv[8], 0.5f / 16 + 0.5f);
  EXPECT_FLOAT_EQ(uv[9], 4.5f / 8);
  // The back-facing triangle takes the copy.
  std::vector<uint32_t> indices = doc.integers(Primitive(doc)["indices"]);
  ASSERT_EQ(indices.size(), 12u);
  EXPECT_EQ(std::count(indices.begin(), indices.end(), 4u), 1);

  // With the back folded onto the front, a texel is 1/8 of the coordinates wide.
  vnlModelSkinNoBack(model.model);
  GltfInput folded = model.input("g");
  folded.frontHalfOnly = true;
  Document half = gltfcheck::ReadGlb(GlbOf(folded));
  EXPECT_FLOAT_EQ(half.floats(Primitive(half)["attributes"]["TEXCOORD_0"])[2], 6.5f / 8);
}

TEST(GltfDocument, GameZUpBecomesYUpAndFacesWindOutward) {
  LoadedModel model(testdata::BuildModel(gltfcheck::OneFrameModel()), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& accessor = doc.json["accessors"][Primitive(doc)["attributes"]["POSITION"].get<size_t>()];
  std::vector<float> p = doc.floats(Primitive(doc)["attributes"]["POSITION"]);
  ASSERT_EQ(p.size(), 15u);
  EXPECT_EQ(std::vector<float>(p.begin() + 9, p.begin() + 12), GltfAxes(10, 10, 60));  // the vertex on top
  EXPECT_EQ(accessor["min"], json(GltfAxes(10, 60, 10)));
  EXPECT_EQ(accessor["max"], json(GltfAxes(60, 10, 60)));
  // The file winds clockwise seen from outside; glTF's front faces wind the other way.
  std::vector<uint32_t> index = doc.integers(Primitive(doc)["indices"]);
  double volume = 0;
  for (size_t t = 0; t + 2 < index.size(); t += 3) {
    const float* a = &p[3 * index[t]];
    const float* b = &p[3 * index[t + 1]];
    const float* c = &p[3 * index[t + 2]];
    volume +=
        (a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) + a[2] * (b[0] * c[1] - b[1] * c[0])) /
        6.0;
  }
  EXPECT_NEAR(volume, 50.0 * 50 * 50 / 6, 1e-3);
}

TEST(GltfDocument, NamesWithControlBytesAndQuotesComeOutAsValidJson) {
  testdata::ModelRecipe recipe = gltfcheck::GroupedModel();
  const std::string odd = "q\"\\\x01\n\xe9";
  recipe.frames[0].frames[0].name = odd + "12";
  recipe.frames[0].frames[1].name = odd + "13";
  LoadedModel model(testdata::BuildModel(recipe), {});
  Document doc = Read(model, "b\x7f\xff");
  ASSERT_TRUE(doc.ok);                              // parsed strictly: valid UTF-8, every control byte escaped
  const std::string shown = "q\"\\\x01\n\xc3\xa9";  // byte 0xE9 is the character U+00E9
  EXPECT_EQ(doc.json["meshes"][0]["extras"]["targetNames"][1], shown + "13");
  EXPECT_EQ(doc.json["animations"][0]["name"], shown);
  EXPECT_EQ(doc.json["materials"][0]["name"], "b\x7f\xc3\xbf_0");
}

TEST(GltfDocument, AModelOfOneFrameIsAPlainMesh) {
  LoadedModel model(testdata::BuildModel(gltfcheck::OneFrameModel()), {});
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  EXPECT_FALSE(Primitive(doc).contains("targets"));
  EXPECT_FALSE(doc.json["meshes"][0]["extras"].contains("targetNames"));
  EXPECT_EQ(doc.json["meshes"][0]["extras"]["quake"]["frameNames"], json::array({"base"}));
  EXPECT_FALSE(doc.json["meshes"][0].contains("weights"));
  EXPECT_FALSE(doc.json.contains("animations"));
}

TEST(GltfDocument, EverySkinPictureIsAMaterialWithItsPngAndAVariant) {
  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), testdata::DistinctPalette());
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  ASSERT_EQ(doc.json["materials"].size(), 3u);
  ASSERT_EQ(doc.json["images"].size(), 3u);
  for (size_t p = 0; p < 3; ++p) {
    const json& material = doc.json["materials"][p];
    EXPECT_EQ(material["name"], "g_" + std::to_string(p));
    size_t texture = material["pbrMetallicRoughness"]["baseColorTexture"]["index"];
    const json& image = doc.json["images"][doc.json["textures"][texture]["source"].get<size_t>()];
    EXPECT_EQ(image["mimeType"], "image/png");
    const json& view = doc.json["bufferViews"][image["bufferView"].get<size_t>()];
    EXPECT_EQ(doc.bin.substr(view["byteOffset"], view["byteLength"]), model.pngs[p]) << "image " << p;
  }
  EXPECT_EQ(doc.json["samplers"][0], json({{"magFilter", 9728}, {"minFilter", 9728}}));  // nearest, near and far
  EXPECT_EQ(Primitive(doc)["material"], 0);
  EXPECT_EQ(doc.json["extensionsUsed"], json::array({"KHR_materials_variants"}));
  EXPECT_EQ(doc.json["extensions"]["KHR_materials_variants"]["variants"].size(), 3u);
  EXPECT_EQ(Primitive(doc)["extensions"]["KHR_materials_variants"]["mappings"][2],
            json({{"material", 2}, {"variants", {2}}}));

  // Without images the materials stay, untextured.
  LoadedModel bare(testdata::BuildModel(gltfcheck::GroupedModel()), {});
  Document plain = Read(bare);
  EXPECT_EQ(plain.json["materials"].size(), 3u);
  EXPECT_FALSE(plain.json.contains("textures") || plain.json.contains("images"));
  EXPECT_FALSE(plain.json["materials"][0]["pbrMetallicRoughness"].contains("baseColorTexture"));
}

// A skin group that repeats a picture, and a second skin like the first: each
// distinct picture is stored once, and every material that shows it shares it.
TEST(GltfDocument, IdenticalPicturesShareOneImage) {
  testdata::ModelRecipe recipe = gltfcheck::GroupedModel();
  const testdata::Bytes first = recipe.skins[0].pictures[0];
  recipe.skins[1].pictures = {testdata::SkinPixels(recipe, 40), first, testdata::SkinPixels(recipe, 40)};
  LoadedModel model(testdata::BuildModel(recipe), testdata::DistinctPalette());
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  ASSERT_EQ(doc.json["images"].size(), 2u);
  ASSERT_EQ(doc.json["textures"].size(), 2u);
  EXPECT_EQ(doc.json["meshes"][0]["extras"]["quake"]["skinImages"], json::array({0, 1, 0, 1}));
  std::vector<size_t> shown;
  for (const json& material : doc.json["materials"])
    shown.push_back(material["pbrMetallicRoughness"]["baseColorTexture"]["index"]);
  EXPECT_EQ(shown, (std::vector<size_t>{0, 1, 0, 1}));
  EXPECT_EQ(gltfcheck::EmbeddedImages(doc), (std::vector<std::string>{model.pngs[0], model.pngs[1]}));
}

// Every pixel's palette index comes back from the embedded PNG, and its PLTE is
// the palette.
TEST(GltfDocument, EmbeddedSkinsAreIndexedPngsOfTheSkinsIndices) {
  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), testdata::DistinctPalette());
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const std::vector<std::string> images = gltfcheck::EmbeddedImages(doc);
  ASSERT_EQ(images.size(), 3u);
  for (size_t p = 0; p < images.size(); ++p) {
    const gltfcheck::Png png = gltfcheck::DecodePng(images[p]);
    ASSERT_TRUE(png.ok) << p;
    EXPECT_EQ(png.colourType, 3) << p;
    EXPECT_EQ(png.bitDepth, 8u);
    EXPECT_EQ(png.palette, std::vector<uint32_t>(model.palette.colors, model.palette.colors + 256));
    const VNLPICTURE_T& skin = model.model.skins[p];
    ASSERT_EQ(png.width * png.height, skin.width * skin.height);
    EXPECT_EQ(png.pixels, std::vector<uint8_t>(skin.pixels, skin.pixels + skin.width * skin.height)) << p;
  }
  // The front half only: each row's left half.
  std::string half, failure;
  ASSERT_TRUE(EncodeIndexedPng(model.model.skins[2], model.palette.colors, true, half, failure)) << failure;
  const gltfcheck::Png front = gltfcheck::DecodePng(half);
  ASSERT_EQ(front.width, 8u);
  for (uint32_t y = 0; y < front.height; ++y)
    EXPECT_EQ(front.pixels[y * 8 + 7], model.model.skins[2].pixels[y * 16 + 7]) << y;
  VNLPICTURE_T empty{};
  EXPECT_FALSE(EncodeIndexedPng(empty, model.palette.colors, false, half, failure));
  EXPECT_EQ(failure, "the picture has no pixels");
}

// mesh.extras.quake: every header value and entry as stored, so that the model
// file can be written back from the glTF alone.
TEST(GltfDocument, ExtrasHoldEveryStoredValueOfTheModel) {
  testdata::ModelRecipe recipe = gltfcheck::GroupedModel();
  recipe.scale[0] = 0.5f, recipe.scale[1] = 0.25f, recipe.scale[2] = 0.1f;
  recipe.origin[0] = -8, recipe.origin[1] = 4, recipe.origin[2] = 1.5f;
  recipe.eye[0] = 1, recipe.eye[1] = 2, recipe.eye[2] = 3;
  recipe.radius = 33.5f;
  recipe.size = 3.25f;
  recipe.flags = 8;
  recipe.syncType = 1;
  recipe.frames[0].intervals = {0.1f, 0.2f, 0.3f};
  recipe.frames[0].box = {1, 2, 3, 4, 200, 201, 202, 5};
  recipe.frames[3].frames[0].box = {9, 8, 7, 6, 99, 98, 97, 96};
  recipe.skins[1].intervals = {0.5f, 0.75f};
  LoadedModel model(testdata::BuildModel(recipe), testdata::DistinctPalette());
  Document doc = Read(model);
  ASSERT_TRUE(doc.ok);
  const json& quake = doc.json["meshes"][0]["extras"]["quake"];
  const json defaultBox = {0, 0, 0, 0, 255, 255, 255, 255};
  json frameBoxes = json::array();
  for (int f = 0; f < 5; ++f) frameBoxes.insert(frameBoxes.end(), defaultBox.begin(), defaultBox.end());
  frameBoxes.insert(frameBoxes.end(), {9, 8, 7, 6, 99, 98, 97, 96});
  json entryBoxes = {1, 2, 3, 4, 200, 201, 202, 5};
  entryBoxes.insert(entryBoxes.end(), frameBoxes.begin() + 24, frameBoxes.end());
  const std::vector<std::pair<std::string, json>> expected = {
      {"version", 1},
      {"scale", {0.5, 0.25, 0.1}},
      {"origin", {-8, 4, 1.5}},
      {"eye", {1, 2, 3}},
      {"radius", 33.5},
      {"size", 3.25},
      {"flags", 8},
      {"syncType", 1},
      {"skinWidth", 16},
      {"skinHeight", 8},
      {"vertexCount", 4},
      {"skinVertices", {1, 0, 4, 0, 6, 1, 0, 4, 7, 0, 2, 0}},
      {"faces", {1, 0, 1, 2, 0, 0, 3, 1, 1, 0, 2, 3, 1, 1, 3, 2}},
      {"frameEntrySize", {3, 0, 0, 0}},
      {"frameEntryBox", entryBoxes},
      {"frameBoxes", frameBoxes},
      {"frameIntervals", {0.1, 0.2, 0.3, 0, 0, 0}},
      {"frameNames", {"walk1", "walk2", "walk3", "pain1", "pain2", "death"}},
      {"skinEntrySize", {0, 2}},
      {"skinIntervals", {0, 0.5, 0.75}},
      {"skinImages", {0, 1, 2}},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(quake[key], value) << key;
  EXPECT_EQ(quake.size(), expected.size());

  // Positions moved off the stored lattice: the scale and origin no longer hold.
  GltfInput moved = model.input("g");
  moved.positionsMoved = true;
  const json movedQuake = gltfcheck::ReadGlb(GlbOf(moved)).json["meshes"][0]["extras"]["quake"];
  EXPECT_FALSE(movedQuake.contains("scale") || movedQuake.contains("origin"));
  EXPECT_EQ(movedQuake["eye"], quake["eye"]);
  // Without the stored record there is nothing to keep.
  GltfInput bare = model.input("g");
  bare.stored = nullptr;
  EXPECT_FALSE(gltfcheck::ReadGlb(GlbOf(bare)).json["meshes"][0]["extras"].contains("quake"));
}

TEST(GltfDocument, GltfNamesItsBinaryFileAndHoldsWhatTheGlbHolds) {
  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), testdata::DistinctPalette());
  std::string text, bin;
  auto into = [](std::string& out) {
    return [&out](const char* data, size_t size) {
      out.append(data, size);
      return true;
    };
  };
  ASSERT_EQ(WriteGltf(model.input("g"), "my model.bin", into(text), into(bin)), GltfResult::Written);
  json document = json::parse(text);
  Document glb = Read(model);
  EXPECT_EQ(document["buffers"][0]["uri"], "my%20model.bin");
  EXPECT_EQ(bin, glb.bin);
  document["buffers"][0].erase("uri");
  EXPECT_EQ(document, glb.json);
}

TEST(GltfDocument, StreamsTheBinaryPartInModestChunks) {
  LoadedModel model(testdata::BuildModel(testdata::BigModel(3000, 40)), {});
  size_t calls = 0, largest = 0, total = 0;
  GltfResult result = WriteGlb(model.input("big"), [&](const char*, size_t size) {
    if (++calls > 2) largest = std::max(largest, size);  // after the header and the JSON
    total += size;
    return true;
  });
  EXPECT_EQ(result, GltfResult::Written);
  EXPECT_GT(total, size_t(3000) * 40 * 12);  // every frame's positions
  EXPECT_LE(largest, size_t(1) << 16);
}

// A 16-bit index of 65535 would read as a strip restart: such a mesh takes 32 bits.
TEST(GltfDocument, IndicesWidenWhenATriangleUsesVertex65535) {
  ConverterState state;
  writertest::HandModel(state, 65535, 1, 1, 1, 0);
  state.item.model.triangles[0] = VNLTRIANGLE_T{{0, 1, 65535}};
  GltfInput input;
  input.model = &state.item.model;
  Document doc = gltfcheck::ReadGlb(GlbOf(input));
  ASSERT_TRUE(doc.ok);
  EXPECT_EQ(doc.json["accessors"][Primitive(doc)["indices"].get<size_t>()]["componentType"], 5125);
  EXPECT_EQ(doc.integers(Primitive(doc)["indices"]), (std::vector<uint32_t>{0, 1, 65535}));
}

TEST(GltfDocument, RefusesAnEmptyRecordAMissingFrameAndStopsWhenTheSinkFails) {
  VNLMODEL_T empty{};
  GltfInput input;
  input.model = &empty;
  auto keep = [](const char*, size_t) { return true; };
  EXPECT_EQ(WriteGlb(input, keep), GltfResult::NotAModel);

  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), {});
  EXPECT_EQ(WriteGlb(model.input("g", 6), keep), GltfResult::NotAModel);
  EXPECT_EQ(WriteGlb(model.input("g", 5), keep), GltfResult::Written);
  size_t calls = 0;
  EXPECT_EQ(WriteGlb(model.input("g"), [&calls](const char*, size_t) { return ++calls < 3; }), GltfResult::SinkFailed);
  EXPECT_EQ(calls, 3u);  // nothing asked of the sink after it refused
}

}  // namespace
