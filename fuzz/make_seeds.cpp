// Writes the seed inputs of every fuzz target: synthetic files from the test
// builder (including odd and hostile ones) and, when present, the real assets.
#include <filesystem>
#include <string>

#include "builders.h"
#include "costly_inputs.h"
#include "files.h"

namespace fs = std::filesystem;
using namespace testdata;

namespace {

void Seed(const std::string& root, const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(root + "/" + target);
  WriteFile(root + "/" + target + "/" + name, bytes);
}

// Real assets of one kind; `only` keeps a single file name ("" keeps them all).
void CopyCorpus(const std::string& root, const std::string& target, const std::string& extension,
                const std::string& only = "") {
  std::string corpus = CorpusDir();
  if (corpus.empty()) return;
  for (auto& entry : fs::recursive_directory_iterator(corpus))
    if (entry.is_regular_file() && entry.path().extension() == extension &&
        (only.empty() || entry.path().filename() == only))
      Seed(root, target, entry.path().filename().string(), ReadFile(entry.path().string()));
}

Bytes GroupedModel() {
  ModelRecipe recipe = SmallModel();
  recipe.skins.push_back(ModelSkin{true, {0.1f, 0.2f}, {SkinPixels(recipe, 1), SkinPixels(recipe, 2)}});
  ModelFrameEntry group{true, {}, {recipe.frames[0].frames[0], recipe.frames[1].frames[0]}};
  recipe.frames.push_back(group);
  return BuildModel(recipe);
}

Bytes Sprite() {
  SpriteRecipe recipe;
  recipe.entries.push_back(SpriteEntry{false, {}, {MakeSpriteFrame(4, 3, -2, 1)}});
  recipe.entries.push_back(
      SpriteEntry{true, {0.1f, 0.2f}, {MakeSpriteFrame(2, 2, 0, 0), MakeSpriteFrame(3, 1, 5, -5)}});
  return BuildSprite(recipe);
}

Bytes Wad() {
  ByteWriter w;
  w.text("WAD2").u32(2).u32(12 + 8);
  w.zeros(8);
  w.u32(12).u32(4).u32(4).u8(0x42).u8(0).zeros(2).field("first", 16);
  w.u32(16).u32(4).u32(4).u8(0x44).u8(0).zeros(2).field("sixteen_chars_ab", 16);
  return w.take();
}

// Header claims that cost nothing to write down but much to honour.
Bytes HostileSprite() {
  Bytes bytes = Sprite();
  PutU32(bytes, 24, 0x7FFFFFFF);  // entries: the rest read as empty frames
  return bytes;
}

Bytes HugeFrameSprite() {
  ByteWriter w;
  w.text("IDSP").u32(1).u32(2).u32(0).u32(16000).u32(16000).u32(1).u32(0).u32(0);
  w.u32(0).u32(0).u32(0).u32(16000).u32(16000);  // one frame, pixels cut off
  return w.take();
}

Bytes HugeGroupSprite() {
  ByteWriter w;
  w.text("IDSP").u32(1).u32(2).u32(0).u32(4).u32(4).u32(1).u32(0).u32(0);
  w.u32(1).u32(0x7FFFFFFF);  // a group of 2^31 - 1 frames, intervals cut off
  return w.take();
}

Bytes NegativeGroupSprite() {
  Bytes bytes = HugeGroupSprite();
  PutU32(bytes, 40, 0x80000000u);  // negative as a signed count
  return bytes;
}

// The small model up to its frames, then a frame group of -1 frames.
Bytes NegativeFrameGroupModel() {
  ModelRecipe recipe = SmallModel();
  recipe.frames.clear();
  Bytes bytes = BuildModel(recipe);
  ByteWriter group;
  group.u32(1).i32(-1);
  bytes.insert(bytes.end(), group.bytes().begin(), group.bytes().end());
  PutU32(bytes, 68, 1);
  return bytes;
}

Bytes NegativeSkinGroupModel() {
  Bytes bytes = BuildModel(SmallModel());
  PutU32(bytes, 84, 1);            // the first skin is a group ...
  PutU32(bytes, 88, 0xFFFFFFFBu);  // ... of -5 skins
  bytes.resize(92);
  return bytes;
}

Bytes BadIndexModel() {
  ModelRecipe recipe = SmallModel();
  recipe.triangles[1].index[2] = int32_t(recipe.vertices.size());  // one past the last vertex
  return BuildModel(recipe);
}

Bytes HugeSkinModel() {
  Bytes bytes = BuildModel(SmallModel());
  PutU32(bytes, 52, 0xFFFF);
  PutU32(bytes, 56, 0xFFFF);
  return bytes;
}

Bytes PackHeader(uint32_t dirOffset, uint32_t dirLength, size_t length) {
  ByteWriter w;
  w.text("PACK").u32(dirOffset).u32(dirLength);
  Bytes bytes = w.take();
  bytes.resize(length, 0);
  return bytes;
}

// One member whose directory entry claims more bytes than the pack has.
Bytes MemberBeyondPack() {
  Bytes bytes = BuildPack({{"progs/a.mdl", {1, 2, 3, 4}}});
  PutU32(bytes, bytes.size() - 4, 0xFFFFFFF0u);
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string MapText() {
  return "// comment\r\n{\r\n\"classname\" \"worldspawn\"\r\n\"WAD\" \"gfx.wad\"\r\n{\r\n"
         "( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) tex 0 0 0 1 1\r\n}\r\n}\r\n{\r\n\"classname\" \"light\"\r\n}\r\n";
}

}  // namespace

std::string Base64(const Bytes& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t word = uint32_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) word |= uint32_t(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) word |= bytes[i + 2];
    for (size_t k = 0; k < 4; ++k) out += i + k <= bytes.size() ? digits[(word >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// One textured triangle with a morph target, its buffer and a 1 x 1 PNG inline.
std::string TriangleGltf() {
  ByteWriter w;
  for (float v : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) w.f32(v);  // positions
  for (float v : {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f}) w.f32(v);                    // coordinates
  for (float v : {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f}) w.f32(v);  // target
  const std::string png =
      "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==";
  return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
         R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"targets":[{"POSITION":2}],)"
         R"("material":0}],"extras":{"targetNames":["up"]}}],)"
         R"("materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],)"
         R"("textures":[{"source":0}],"images":[{"uri":"data:image/png;base64,)" +
         png + R"("}],"buffers":[{"byteLength":96,"uri":"data:application/octet-stream;base64,)" + Base64(w.take()) +
         R"("}],"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,)"
         R"("byteLength":24},{"buffer":0,"byteOffset":60,"byteLength":36}],"accessors":[)"
         R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},)"
         R"({"bufferView":1,"componentType":5126,"count":3,"type":"VEC2"},)"
         R"({"bufferView":2,"componentType":5126,"count":3,"type":"VEC3"}]})";
}

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "seeds";
  Bytes model = BuildModel(SmallModel());
  for (const char* target : {"fuzz_model", "fuzz_pipeline"}) {
    Seed(root, target, "small.mdl", model);
    Seed(root, target, "grouped.mdl", GroupedModel());
    CopyCorpus(root, target, ".mdl");
  }
  Bytes hostile = model;
  hostile.resize(100);
  PutU32(hostile, 60, 65535);  // vertices
  PutU32(hostile, 68, 65535);  // frames
  for (const char* target : {"fuzz_model", "fuzz_pipeline"})
    Seed(root, target, "frames_65535_of_65535_vertices.mdl", hostile);
  Seed(root, "fuzz_model", "negative_frame_group.mdl", NegativeFrameGroupModel());
  Seed(root, "fuzz_model", "negative_skin_group.mdl", NegativeSkinGroupModel());
  Seed(root, "fuzz_model", "bad_index.mdl", BadIndexModel());
  Seed(root, "fuzz_model", "huge_skin.mdl", HugeSkinModel());
  // Inputs whose cost, not their handling, was the fault.
  for (const char* target : {"fuzz_model", "fuzz_pipeline"}) {
    Seed(root, target, "skin_group_65535.mdl", SkinGroupModel());
    Seed(root, target, "slivers_600.mdl", BuildModel(SliverModel(600, 256)));
  }
  Seed(root, "fuzz_sprite", "claims_38m_frames.spr", ManyFramesSprite());
  Seed(root, "fuzz_sprite", "claims_gigapixel_frame.spr", GigapixelFrameSprite());

  Seed(root, "fuzz_sprite", "small.spr", Sprite());
  Seed(root, "fuzz_sprite", "many_frames.spr", HostileSprite());
  Seed(root, "fuzz_sprite", "huge_frame.spr", HugeFrameSprite());
  Seed(root, "fuzz_sprite", "huge_group.spr", HugeGroupSprite());
  Seed(root, "fuzz_sprite", "negative_group.spr", NegativeGroupSprite());
  CopyCorpus(root, "fuzz_sprite", ".spr");
  Seed(root, "fuzz_palette", "distinct_palette.lmp", DistinctPalette());
  Seed(root, "fuzz_palette", "colormap_4_rows.lmp", BuildColormap(4, 2));
  CopyCorpus(root, "fuzz_palette", ".lmp", "palette.lmp");
  CopyCorpus(root, "fuzz_palette", ".lmp", "colormap.lmp");
  Seed(root, "fuzz_palette", "colormap_no_rows.lmp", Bytes{5});
  Seed(root, "fuzz_picture", "lump.lmp", BuildLump(3, 2, {1, 2, 3, 4, 5, 6}));
  Seed(root, "fuzz_picture", "huge_claim.lmp", BuildLump(65536, 65536, {}));
  Seed(root, "fuzz_picture", "no_pixels.lmp", BuildLump(0, 5, {}));
  CopyCorpus(root, "fuzz_picture", ".lmp");
  Seed(root, "fuzz_wad", "two.wad", Wad());
  CopyCorpus(root, "fuzz_wad", ".wad");
  Seed(root, "fuzz_wad", "wrapping_count.wad", ByteWriter().text("WAD2").u32(0x08000000u).u32(12).zeros(64).take());
  const std::string triangle = TriangleGltf();
  Seed(root, "fuzz_gltf", "triangle.gltf", Bytes(triangle.begin(), triangle.end()));
  std::string map = MapText();
  Seed(root, "fuzz_map", "small.map", Bytes(map.begin(), map.end()));
  CopyCorpus(root, "fuzz_map", ".map");
  Seed(root, "fuzz_map", "scope_high.map", Text("{\r\n{\r\n{\r\n"));
  Seed(root, "fuzz_map", "scope_low.map", Text("}\r\n"));
  Seed(root, "fuzz_map", "bad_pair.map", Text("{\r\n\"a\" \"b\" \"c\"\r\n}\r\n"));
  Seed(root, "fuzz_map", "lone_breaks.map", Text("{\r\"a\" \"b\"\n}\r\n\r"));
  Seed(root, "fuzz_map", "linux_lines.map", Text("// comment\n{\n\"classname\" \"worldspawn\"\n}\n"));
  Seed(root, "fuzz_pack", "small.pak",
       BuildPack({{"progs/a.mdl", model}, {"gfx\\palette.lmp", DistinctPalette()}, {"", {1}}}));
  Seed(root, "fuzz_pack", "twice.pak", BuildPack({{"a.mdl", {1, 2, 3}}, {" a.mdl", {4, 5}}, {"/a.mdl", {6}}}));
  CopyCorpus(root, "fuzz_pack", ".pak");
  Seed(root, "fuzz_pack", "directory_beyond.pak", PackHeader(12, 64 * 1000, 76));
  Seed(root, "fuzz_pack", "directory_wraps.pak", PackHeader(0xFFFFFFF0u, 64, 76));
  Seed(root, "fuzz_pack", "member_beyond.pak", MemberBeyondPack());
  Seed(root, "fuzz_pack", "climbing_names.pak", BuildPack({{"../../a.mdl", {1}}, {"/b.mdl", {2}}, {" c .mdl ", {3}}}));
  std::string path = std::string("/root/../a//b/./c.MDL") + '\0' + " .ase .obj ";
  Seed(root, "fuzz_paths", "path.txt", Bytes(path.begin(), path.end()));
  Seed(root, "fuzz_paths", "climbing.txt", Text(".. / .. /x/./y//..\\ z .Mdl "));
  Seed(root, "fuzz_paths", "rooted.txt", Text("\\..\\..\\"));
  return 0;
}
