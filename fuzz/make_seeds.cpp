// Writes the seed inputs of every fuzz target: synthetic files from the test
// builder (including odd and hostile ones) and, when present, the real assets.
#include <filesystem>
#include <string>

#include "builders.h"
#include "files.h"

namespace fs = std::filesystem;
using namespace testdata;

namespace {

void Seed(const std::string& root, const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(root + "/" + target);
  WriteFile(root + "/" + target + "/" + name, bytes);
}

void CopyCorpus(const std::string& root, const std::string& target, const std::string& extension) {
  std::string corpus = CorpusDir();
  if (corpus.empty()) return;
  for (auto& entry : fs::recursive_directory_iterator(corpus))
    if (entry.is_regular_file() && entry.path().extension() == extension)
      Seed(root, target, entry.path().filename().string(), ReadFile(entry.path().string()));
}

Bytes GroupedModel() {
  ModelSpec spec = SmallModel();
  spec.skins.push_back(ModelSkin{true, {0.1f, 0.2f}, {SkinPixels(spec, 1), SkinPixels(spec, 2)}});
  ModelFrameEntry group{true, {}, {spec.frames[0].frames[0], spec.frames[1].frames[0]}};
  spec.frames.push_back(group);
  return BuildModel(spec);
}

Bytes Sprite() {
  SpriteSpec spec;
  spec.entries.push_back(SpriteEntry{false, {}, {MakeSpriteFrame(4, 3, -2, 1)}});
  spec.entries.push_back(SpriteEntry{true, {0.1f, 0.2f}, {MakeSpriteFrame(2, 2, 0, 0), MakeSpriteFrame(3, 1, 5, -5)}});
  return BuildSprite(spec);
}

Bytes Wad() {
  ByteWriter w;
  w.text("WAD2").u32(2).u32(12 + 8);
  w.zeros(8);
  w.u32(12).u32(4).u32(4).u8(0x42).u8(0).zeros(2).field("first", 16);
  w.u32(16).u32(4).u32(4).u8(0x44).u8(0).zeros(2).field("sixteen_chars_ab", 16);
  return w.take();
}

std::string MapText() {
  return "// comment\r\n{\r\n\"classname\" \"worldspawn\"\r\n\"WAD\" \"gfx.wad\"\r\n{\r\n"
         "( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) tex 0 0 0 1 1\r\n}\r\n}\r\n{\r\n\"classname\" \"light\"\r\n}\r\n";
}

}  // namespace

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
  Seed(root, "fuzz_model", "hostile.mdl", hostile);

  Seed(root, "fuzz_sprite", "small.spr", Sprite());
  CopyCorpus(root, "fuzz_sprite", ".spr");
  Seed(root, "fuzz_palette", "palette.lmp", DistinctPalette());
  Seed(root, "fuzz_palette", "colormap.lmp", BuildColormap(4, 2));
  Seed(root, "fuzz_picture", "lump.lmp", BuildLump(3, 2, {1, 2, 3, 4, 5, 6}));
  CopyCorpus(root, "fuzz_picture", ".lmp");
  Seed(root, "fuzz_wad", "two.wad", Wad());
  CopyCorpus(root, "fuzz_wad", ".wad");
  std::string map = MapText();
  Seed(root, "fuzz_map", "small.map", Bytes(map.begin(), map.end()));
  CopyCorpus(root, "fuzz_map", ".map");
  Seed(root, "fuzz_pack", "small.pak",
       BuildPack({{"progs/a.mdl", model}, {"gfx\\palette.lmp", DistinctPalette()}, {"", {1}}}));
  std::string path = std::string("/root/../a//b/./c.MDL") + '\0' + " .ase .obj ";
  Seed(root, "fuzz_paths", "path.txt", Bytes(path.begin(), path.end()));
  return 0;
}
